// The main window's changes of whole entries: Copy Entry and Paste Entry of
// the Edit menu, and Find Group's changes of its selected groups.
#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <vector>

#include "app/BattleAnimDlg.h"
#include "app/Desktop.h"
#include "app/EditHistory.h"
#include "app/FindGroupDlg.h"
#include "catalogue/EntryText.h"
#include "catalogue/GroupFilter.h"

namespace om {

namespace {

// How much of a refused clipboard text the message quotes.
constexpr int kQuotedClipboardChars = 60;

}  // namespace

void CBattleAnimDlg::OnEditCopyEntry() {
    if (!romFile_.isOpen())
        return;
    QGuiApplication::clipboard()->setText(
        FormatEntryText(history_->Values(editor_->shownGroup())));
}

std::optional<GroupValues> CBattleAnimDlg::EntryFromClipboard(QWidget* owner) {
    const QString text = QGuiApplication::clipboard()->text();
    if (const std::optional<GroupValues> v = ParseEntryText(text))
        return v;
    QString quoted = text.simplified();
    if (quoted.size() > kQuotedClipboardChars)
        quoted = quoted.left(kQuotedClipboardChars) + QStringLiteral("...");
    desktop_.messageBox(owner, QString::fromLatin1(kNoEntryOnClipboardText),
                        Desktop::Buttons::Ok, Desktop::Icon::Warning,
                        quoted.isEmpty() ? QStringLiteral("The clipboard holds no text.")
                                         : QStringLiteral("It holds: %1").arg(quoted));
    return std::nullopt;
}

void CBattleAnimDlg::OnEditPasteEntry() {
    if (!romFile_.isOpen())
        return;
    if (const std::optional<GroupValues> v = EntryFromClipboard(this))
        history_->Push(QStringLiteral("Paste Entry"), {{editor_->shownGroup(), *v}});
}

namespace {

// One step for every group whose values change, named with their count;
// the group shown stays shown when it is among them.
void PushGroupChanges(EditHistory& history, int shown, std::vector<GroupValuesChange> changes) {
    std::erase_if(changes, [&](const GroupValuesChange& c) { return history.Values(c.group) == c.values; });
    if (changes.empty())
        return;
    const auto it = std::find_if(changes.begin(), changes.end(),
                                 [shown](const GroupValuesChange& c) { return c.group == shown; });
    if (it != changes.end())
        std::rotate(changes.begin(), it, it + 1);
    history.Push(ChangeGroupsText(static_cast<int>(changes.size())), changes);
}

}  // namespace

void CBattleAnimDlg::OnFindSetLayer(int layer, const QList<int>& groups) {
    if (!romFile_.isOpen() || groups.isEmpty())
        return;
    const GroupValues first = history_->Values(groups.constFirst());
    const int current = layer == 1 ? BackgroundNumber(first[0], first[1])
                                   : BackgroundNumber(first[2], first[3]);
    const QString title = QStringLiteral("Set Layer %1 Background").arg(layer);
    const std::optional<QString> typed = desktop_.askText(
        findGroup_,
        title,
        groups.size() == 1
            ? QStringLiteral("Layer %1 background of group %2 (0 to 65535, or 0x hex):")
                  .arg(layer).arg(groups.constFirst())
            : QStringLiteral("Layer %1 background of the %2 selected groups (0 to 65535, or 0x hex):")
                  .arg(layer).arg(groups.size()),
        QString::number(current));
    if (!typed)
        return;
    const std::optional<int> background = ParseFilterNumber(QStringView(*typed).trimmed(),
                                                            kMaxBackgroundNumber);
    if (!background) {
        desktop_.messageBox(findGroup_,
                            QStringLiteral("\"%1\" is not a background number.").arg(*typed),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning,
                            QStringLiteral("Type 0 to 65535, or 0x0 to 0xFFFF."));
        return;
    }
    std::vector<GroupValuesChange> changes;
    for (int g : groups)
        changes.push_back({g, WithBackground(history_->Values(g), layer, *background)});
    PushGroupChanges(*history_, editor_->shownGroup(), std::move(changes));
}

void CBattleAnimDlg::OnFindPasteEntry(const QList<int>& groups) {
    if (!romFile_.isOpen() || groups.isEmpty())
        return;
    const std::optional<GroupValues> v = EntryFromClipboard(findGroup_);
    if (!v)
        return;
    std::vector<GroupValuesChange> changes;
    for (int g : groups)
        changes.push_back({g, *v});
    PushGroupChanges(*history_, editor_->shownGroup(), std::move(changes));
}

}  // namespace om
