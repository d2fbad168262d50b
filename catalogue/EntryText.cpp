#include "catalogue/EntryText.h"

#include <QRegularExpression>

#include "catalogue/GroupFilter.h"

namespace om {

QString FormatEntryText(const GroupValues& v) {
    return QStringLiteral("L1 %1 L2 %2")
        .arg(BackgroundNumber(v[0], v[1]))
        .arg(BackgroundNumber(v[2], v[3]));
}

std::optional<GroupValues> ParseEntryText(const QString& text) {
    const QString t = text.trimmed();
    static const QRegularExpression layers(
        QStringLiteral("^L1\\s+(\\S+)\\s+L2\\s+(\\S+)$"), QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = layers.match(t); m.hasMatch()) {
        const std::optional<int> l1 = ParseFilterNumber(m.capturedView(1), kMaxBackgroundNumber);
        const std::optional<int> l2 = ParseFilterNumber(m.capturedView(2), kMaxBackgroundNumber);
        if (!l1 || !l2)
            return std::nullopt;
        return GroupValues{*l1 & 0xFF, *l1 >> 8, *l2 & 0xFF, *l2 >> 8};
    }
    static const QRegularExpression bytes(
        QStringLiteral("^([0-9A-Fa-f]{2})\\s*([0-9A-Fa-f]{2})\\s*([0-9A-Fa-f]{2})\\s*([0-9A-Fa-f]{2})$"));
    if (const QRegularExpressionMatch m = bytes.match(t); m.hasMatch()) {
        GroupValues v{};
        for (int i = 0; i < 4; ++i)
            v[static_cast<std::size_t>(i)] = m.capturedView(i + 1).toInt(nullptr, 16);
        return v;
    }
    return std::nullopt;
}

GroupValues WithBackground(const GroupValues& values, int layer, int background) {
    GroupValues v = values;
    const std::size_t at = layer == 1 ? 0 : 2;
    v[at] = background & 0xFF;
    v[at + 1] = (background >> 8) & 0xFF;
    return v;
}

QString ChangeGroupsText(int n) {
    return n == 1 ? QStringLiteral("Change 1 Group") : QStringLiteral("Change %1 Groups").arg(n);
}

}  // namespace om
