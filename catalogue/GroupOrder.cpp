#include "catalogue/GroupOrder.h"

#include <QCollator>
#include <QString>
#include <algorithm>
#include <numeric>
#include <vector>

namespace om {

DisplayOrderArray AlphabeticalOrder(const GroupNameArray& names) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    constexpr int kSorted = kGroupCount - 1;
    // QCollator's sort keys ignore the case setting in the C locale, so the
    // names are compared directly.
    std::vector<QString> text;
    text.reserve(kSorted);
    for (int g = 0; g < kSorted; ++g) {
        const std::string& n = names[static_cast<std::size_t>(g)];
        text.push_back(QString::fromLatin1(n.data(), qsizetype(n.size())));
    }

    DisplayOrderArray order{};
    std::iota(order.begin(), order.begin() + kSorted, 0);
    // Names that collate alike but differ in their bytes ("Imp" and "imp")
    // are ordered by their bytes, so byte-equal names always end up adjacent.
    std::stable_sort(order.begin(), order.begin() + kSorted, [&](std::int32_t a, std::int32_t b) {
        const auto ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
        if (const int c = collator.compare(text[ia], text[ib]); c != 0)
            return c < 0;
        return names[ia] < names[ib];
    });
    order[kSorted] = kSorted;
    return order;
}

int PositionOfGroup(const DisplayOrderArray& order, int g) {
    const auto it = std::find(order.begin(), order.end(), g);
    return it == order.end() ? -1 : static_cast<int>(it - order.begin());
}

}  // namespace om
