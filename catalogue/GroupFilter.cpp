#include "catalogue/GroupFilter.h"

#include <iterator>

#include "romdata/RomLayout.h"

namespace om {

namespace {

// Groups are numbered 0 to kGroupCount - 1.
constexpr int kMaxGroupNumber = kGroupCount - 1;

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Whether text holds the number written as digits, not as part of a
// longer run of digits.
bool HoldsNumber(const QString& text, const QString& digits) {
    for (qsizetype at = text.indexOf(digits, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(digits, at + 1, Qt::CaseInsensitive)) {
        const qsizetype end = at + digits.size();
        if ((at == 0 || !IsDigit(text[at - 1])) && (end == text.size() || !IsDigit(text[end])))
            return true;
    }
    return false;
}

struct Prefix {
    const char* text;
    int max;
    const char* what;
};

}  // namespace

std::optional<int> ParseFilterNumber(QStringView text, int max) {
    int base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text = text.mid(2);
    }
    // Every character a digit of the base; no sign, no space.
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    long value = 0;
    for (QChar c : text) {
        const int digit = IsDigit(c)                                     ? c.unicode() - u'0'
                          : base == 16 && c.toLower() >= u'a' && c.toLower() <= u'f'
                              ? c.toLower().unicode() - u'a' + 10
                              : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
    }
    if (value > max)
        return std::nullopt;
    return static_cast<int>(value);
}

GroupFacts MakeGroupFacts(int group, std::string_view displayName, const std::array<int, 4>& bytes) {
    return {group, QString::fromLatin1(displayName.data(), qsizetype(displayName.size())),
            BackgroundNumber(bytes[0], bytes[1]), BackgroundNumber(bytes[2], bytes[3])};
}

QString LayerFilter(int layer, int background) {
    return QStringLiteral("l%1:%2").arg(layer).arg(background);
}

GroupFilter GroupFilter::Parse(const QString& text) {
    static constexpr Prefix kPrefixes[] = {
        {"#", kMaxGroupNumber, "a group number"},
        {"l1:", kMaxBackgroundNumber, "a background number"},
        {"l2:", kMaxBackgroundNumber, "a background number"},
        {"bg:", kMaxBackgroundNumber, "a background number"},
    };
    static constexpr Kind kPrefixKinds[] = {Kind::Group, Kind::Layer1, Kind::Layer2,
                                            Kind::EitherLayer};
    GroupFilter filter;
    for (const QString& raw : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        Term term{Kind::Word, raw, 0};
        bool prefixed = false;
        for (std::size_t i = 0; i < std::size(kPrefixes) && !prefixed; ++i) {
            const Prefix& p = kPrefixes[i];
            const QLatin1String prefix(p.text);
            if (!raw.startsWith(prefix, Qt::CaseInsensitive))
                continue;
            prefixed = true;
            const std::optional<int> n = ParseFilterNumber(QStringView(raw).mid(prefix.size()), p.max);
            if (!n) {
                filter.problem_ = QStringLiteral("\"%1\": %2 takes %3 from 0 to %4 (decimal, or hex "
                                                 "with 0x)")
                                      .arg(raw, QString::fromLatin1(p.text),
                                           QString::fromLatin1(p.what))
                                      .arg(p.max);
                filter.terms_.clear();
                return filter;
            }
            term = {kPrefixKinds[i], raw, *n};
        }
        if (raw.compare(QLatin1String("changed"), Qt::CaseInsensitive) == 0)
            term = {Kind::Changed, raw, 0};
        // A plain number too large for any group is still a number a
        // description may hold.
        else if (!prefixed) {
            if (const std::optional<int> n = ParseFilterNumber(raw, 0x7FFFFFFF))
                term = {Kind::Number, raw, *n};
        }
        filter.terms_.push_back(std::move(term));
    }
    return filter;
}

bool GroupFilter::matches(const Term& term, const GroupFacts& g) const {
    switch (term.kind) {
    case Kind::Word:
        return g.description.contains(term.text, Qt::CaseInsensitive);
    case Kind::Number:
        return g.group == term.number || HoldsNumber(g.description, term.text);
    case Kind::Group:
        return g.group == term.number;
    case Kind::Layer1:
        return g.layer1 == term.number;
    case Kind::Layer2:
        return g.layer2 == term.number;
    case Kind::EitherLayer:
        return g.layer1 == term.number || g.layer2 == term.number;
    case Kind::Changed:
        return g.changed;
    }
    return false;
}

bool GroupFilter::matches(const GroupFacts& group) const {
    if (!valid())
        return false;
    for (const Term& t : terms_)
        if (!matches(t, group))
            return false;
    return true;
}

}  // namespace om
