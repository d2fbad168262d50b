// The main window's side of the Find Group window: the Edit menu command,
// the right-click lookups of the two layers, and a group chosen there.
#include <QComboBox>
#include <array>

#include "app/BattleAnimDlg.h"
#include "app/FindGroupDlg.h"
#include "catalogue/GroupFilter.h"

namespace om {

FindGroupDlg& CBattleAnimDlg::findGroupWindow() {
    if (!findGroup_) {
        GroupSource source{[this] { return romFile_.isOpen(); },
                           [this](int g) {
                               GroupFacts facts =
                                   MakeGroupFacts(g, groupDisplayNames_[static_cast<std::size_t>(g)],
                                                  editor_->valuesOf(g));
                               facts.changed = changedFromOriginal(g);
                               return facts;
                           }};
        findGroup_ = new FindGroupDlg(std::move(source), this);
        connect(findGroup_, &FindGroupDlg::groupChosen, this, &CBattleAnimDlg::OnFindGroupChosen);
        connect(findGroup_, &FindGroupDlg::setLayerRequested, this, &CBattleAnimDlg::OnFindSetLayer);
        connect(findGroup_, &FindGroupDlg::pasteEntryRequested, this,
                &CBattleAnimDlg::OnFindPasteEntry);
        connect(this, &CBattleAnimDlg::romChanged, findGroup_, &FindGroupDlg::refreshAll);
        // The rows follow every step done, undone or redone through
        // MarkChangedGroups, after the marks they show.
    }
    return *findGroup_;
}

void CBattleAnimDlg::OnEditFindGroup() { findGroupWindow().present(); }

void CBattleAnimDlg::OnGroupsUsingBackground(int layer) {
    // The background the layer's fields (and so its picker) show now.
    const std::array<int, 4> v = editor_->valuesOf(editor_->shownGroup());
    const int background = layer == 1 ? BackgroundNumber(v[0], v[1]) : BackgroundNumber(v[2], v[3]);
    findGroupWindow().present(LayerFilter(layer, background));
}

void CBattleAnimDlg::OnFindGroupChosen(int group) {
    const int p = PositionOfGroup(displayOrder_, group);
    if (!romFile_.isOpen() || p < 0)
        return;
    // Exactly a choice in the group list: the selection moves, then
    // everything that listens to the list's choice hears of it (its handler
    // stores the shown fields and shows the group; the history ends the
    // typing step of the group left).
    groupList_->setCurrentIndex(p);
    emit groupList_->activated(p);
}

}  // namespace om
