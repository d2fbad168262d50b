// The main window's side of the original ROM: File > Set Original ROM...,
// the original remembered for each ROM, the marks of the groups changed from
// it, and the source Export Patch makes its patch from.
#include <QComboBox>
#include <QFile>
#include <QFileInfo>

#include "app/BattleAnimDlg.h"
#include "app/Desktop.h"
#include "app/FindGroupDlg.h"
#include "app/GroupListRoles.h"
#include "app/LocalPath.h"
#include "app/Messages.h"
#include "app/OriginalRomSettings.h"
#include "patch/Recovery.h"

namespace om {

namespace {

QString Decoded(const std::string& path) { return PathFromBytes(QByteArray::fromStdString(path)); }

std::string Encoded(const QString& path) { return PathBytes(path).toStdString(); }

}  // namespace

void CBattleAnimDlg::OnFileSetOriginal() {
    if (!romFile_.isOpen())
        return;
    const QString romPath = Decoded(romFile_.held()->path());
    const QString chosen = desktop_.chooseRomFile(this, QFileInfo(romPath).absolutePath());
    if (chosen.isEmpty())
        return;
    const QString path = AbsolutePath(chosen);
    ByteVector image;
    OriginalRom original;
    std::string reason;
    if (!ReadCandidateOriginal(Encoded(path), Encoded(romPath), layout_, image, original, reason)) {
        desktop_.messageBox(
            this, QString::fromLatin1(kOriginalRefusedText).arg(path, QString::fromStdString(reason)),
            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    original_ = original;
    const ByteSpan table = TableOf(image, layout_);
    originalTable_.assign(table.begin(), table.end());
    MarkChangedGroups();
    if (!RememberOriginal(romPath, original))
        desktop_.messageBox(this, QString::fromLatin1(kOriginalNotRememberedText),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
}

void CBattleAnimDlg::LoadOriginalOfRom(const QString& romPath) {
    original_ = RememberedOriginal(romPath);
    originalTable_.clear();
    ByteVector image;
    std::string reason;
    // One that cannot be read as it was set marks nothing; Export Patch says why.
    if (original_ && ReadRememberedOriginal(*original_, Encoded(romPath),
                                            layout_, image, reason)) {
        const ByteSpan table = TableOf(image, layout_);
        originalTable_.assign(table.begin(), table.end());
    }
    MarkChangedGroups();
}

void CBattleAnimDlg::MarkChangedGroups() {
    changedFromOriginal_.fill(false);
    if (romFile_.isOpen() && hasOriginal())
        for (const int g : ChangedGroupsOfTables(originalTable_, EditedTable()))
            changedFromOriginal_[static_cast<std::size_t>(g)] = true;
    // Only the items whose mark changes: each change repaints.
    for (int p = 0; p < groupList_->count() && p < kGroupCount; ++p) {
        const bool changed = changedFromOriginal(displayOrder_[static_cast<std::size_t>(p)]);
        if (groupList_->itemData(p, kGroupChangedRole).toBool() != changed)
            groupList_->setItemData(p, changed, kGroupChangedRole);
    }
    if (findGroup_)
        findGroup_->refreshChanged();
}

bool CBattleAnimDlg::PatchSource(std::vector<std::uint8_t>& source, QString& title) {
    if (!original_) {
        source = openedImage_;
        title = QString::fromLatin1(kExportPatchTitle);
        return true;
    }
    const QString path = Decoded(original_->path);
    std::string reason;
    if (!ReadRememberedOriginal(*original_, romFile_.held()->path(), layout_, source, reason)) {
        desktop_.messageBox(
            this, QString::fromLatin1(kOriginalUnusableText).arg(path, QString::fromStdString(reason)),
            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return false;
    }
    title = QString::fromLatin1(kExportPatchFromTitle).arg(QFileInfo(path).fileName());
    return true;
}

}  // namespace om
