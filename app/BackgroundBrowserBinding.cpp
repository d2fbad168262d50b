// The main window's side of the background browser: what it shows of the
// open ROM, a cell used (a pick in the layer's picker) and its lookup of
// the groups using a background (the Find Group window).
#include <QComboBox>
#include <array>

#include "app/BackgroundBrowser.h"
#include "app/BattleAnimDlg.h"
#include "app/EditHistory.h"
#include "app/FindGroupDlg.h"
#include "catalogue/GroupFilter.h"

namespace om {

namespace {

int LayerBackground(const GroupValues& v, int layer) {
    return layer == 1 ? BackgroundNumber(v[0], v[1]) : BackgroundNumber(v[2], v[3]);
}

}  // namespace

BackgroundBrowser& CBattleAnimDlg::backgroundBrowser() {
    if (!browser_) {
        BackgroundSource source{
            [this] { return romFile_.isOpen(); },
            [this](int layer) {
                const GroupValuesTable table = history_->Table();
                std::vector<int> usage;
                usage.reserve(table.size());
                for (const GroupValues& v : table)
                    usage.push_back(LayerBackground(v, layer));
                return usage;
            },
            [this](int layer) { return LayerBackground(editor_->valuesOf(editor_->shownGroup()), layer); },
            [this](int layer) -> const ImageList* { return layer == 1 ? &layer1Images_ : &layer2Images_; },
            [](int layer) { return layer == 1 ? Layer1BackgroundNumbers() : Layer2BackgroundNumbers(); },
            [this](int layer, int background, QMenu* menu) {
                AddThumbnailEntries(layer, background, menu);
            }};
        browser_ = new BackgroundBrowser(std::move(source), this);
        connect(browser_, &BackgroundBrowser::useRequested, this, &CBattleAnimDlg::OnUseBackground);
        connect(browser_, &BackgroundBrowser::groupsUsingRequested, this, [this](int layer, int background) {
            findGroupWindow().present(LayerFilter(layer, background));
        });
        // Every change of values is the history's; another group shown is
        // the list's choice (the Find window's too) or an undo, a redo.
        connect(this, &CBattleAnimDlg::romChanged, browser_, &BackgroundBrowser::refresh);
        connect(history_.get(), &EditHistory::valuesChanged, browser_, &BackgroundBrowser::refresh);
        connect(groupList_, &QComboBox::activated, browser_, &BackgroundBrowser::refresh);
    }
    return *browser_;
}

void CBattleAnimDlg::OnBrowseBackgrounds(int layer) { backgroundBrowser().present(layer); }

void CBattleAnimDlg::OnUseBackground(int layer, int entry) {
    ImagePicker* picker = layer == 1 ? layer1Picker_ : layer2Picker_;
    if (!romFile_.isOpen() || entry < 0 || entry >= editor_->catalog(layer).customSlot() ||
        entry >= picker->count())
        return;
    // Exactly a pick in the picker: the selection moves, then everything
    // that listens to the picker's choice hears of it (the fields take the
    // entry's bytes; the history makes it one step).
    picker->setCurrentIndex(entry);
    emit picker->activated(entry);
}

}  // namespace om
