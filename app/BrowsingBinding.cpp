// The main window's side of group numbers, Go > Back and Forward, View >
// Hexadecimal Bytes and the readme window of our own.
#include <QAction>
#include <QComboBox>
#include <QPushButton>

#include "app/BattleAnimDlg.h"
#include "app/SafeSettings.h"
#include "app/Desktop.h"
#include "app/DialogLayout.h"
#include "app/GroupListView.h"
#include "app/Messages.h"
#include "app/ReadmeWindow.h"
#include "res/ResourceIds.h"

namespace om {

namespace {

constexpr char kHexBytesKey[] = "view/hexBytes";

}  // namespace

void CBattleAnimDlg::BindBrowsing() {
    groupNumbers_ = new GroupListNumbers(groupList_);
    // Heard after the list's own handler: the group is shown by then.
    connect(groupList_, &QComboBox::activated, this, [this] {
        trail_.visit(editor_->shownGroup(), groupNumbers_->continuedNumber());
        UpdateGoCommands();
    });
    connect(this, &CBattleAnimDlg::romChanged, this, [this] {
        trail_.reset(isRomOpen() ? editor_->shownGroup() : -1);
        UpdateGoCommands();
    });
    connect(command(ID_GO_BACK), &QAction::triggered, this, &CBattleAnimDlg::OnGoBack);
    connect(command(ID_GO_FORWARD), &QAction::triggered, this, &CBattleAnimDlg::OnGoForward);
    QAction* hex = command(ID_VIEW_HEXBYTES);
    hex->setCheckable(true);
    hex->setChecked(SettingValue(QLatin1String(kHexBytesKey), false).toBool());
    OnViewHexBytes(hex->isChecked());
    connect(hex, &QAction::toggled, this, [this](bool on) {
        OnViewHexBytes(on);
        SetSetting(QLatin1String(kHexBytesKey), on);
    });
    SetUpOrderButtons(Control<QPushButton>(this, IDC_ORDER_NUMERIC),
                      Control<QPushButton>(this, IDC_ORDER_ALPHA),
                      Control<QPushButton>(this, IDC_ORDER_PROGRESSION));
    ShowActiveOrder(Control<QPushButton>(this, IDC_ORDER_NUMERIC));
    UpdateGoCommands();
}

void CBattleAnimDlg::UpdateGoCommands() {
    command(ID_GO_BACK)->setEnabled(trail_.canGoBack());
    command(ID_GO_FORWARD)->setEnabled(trail_.canGoForward());
}

void CBattleAnimDlg::WalkTrailTo(std::optional<int> group) {
    const int p = group ? PositionOfGroup(displayOrder_, *group) : -1;
    if (!romFile_.isOpen() || p < 0)
        return;
    // A choice in the group list, as the Find window makes one; the trail
    // already stands at that group, so the visit it records changes nothing.
    groupList_->setCurrentIndex(p);
    emit groupList_->activated(p);
}

void CBattleAnimDlg::OnGoBack() { WalkTrailTo(trail_.back()); }

void CBattleAnimDlg::OnGoForward() { WalkTrailTo(trail_.forward()); }

void CBattleAnimDlg::OnViewHexBytes(bool hex) {
    for (ByteField* field : {layer1Lo_, layer1Hi_, layer2Lo_, layer2Hi_})
        field->setHex(hex);
}

void CBattleAnimDlg::ShowReadme(const QString& path) {
    // A program that needs a terminal shows nothing when a desktop starts
    // it, so the readme is not handed to one; nor to nothing, nor to one
    // that could not be started.
    const Desktop::Opener opener = desktop_.documentOpener(path);
    if (opener != Desktop::Opener::TerminalProgram && opener != Desktop::Opener::None &&
        desktop_.openDocument(path))
        return;
    if (!readme_)
        readme_ = new ReadmeWindow(this);
    if (!readme_->showFile(path))
        desktop_.messageBox(this, QString::fromLatin1(kReadmeNotShownText).arg(path),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
}

}  // namespace om
