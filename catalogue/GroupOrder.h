// The three orders of the group list. An order maps list positions to group
// numbers and is always a permutation of 0-484.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "romdata/RomLayout.h"

namespace om {

using DisplayOrderArray = std::array<std::int32_t, kGroupCount>;
using GroupNameArray = std::array<std::string, kGroupCount>;

constexpr DisplayOrderArray NumericOrder() {
    DisplayOrderArray order{};
    for (int p = 0; p < kGroupCount; ++p)
        order[static_cast<std::size_t>(p)] = p;
    return order;
}

namespace detail {

struct GroupRun {
    int first;
    int last;
};

// Groups of one area stay together: the game's own progression.
inline constexpr GroupRun kProgressionRuns[] = {
    {0, 2},     {7, 10},    {196, 204}, {29, 56},   {205, 213}, {57, 76},   {11, 13},
    {18, 20},   {181, 187}, {25, 25},   {214, 220}, {77, 103},  {221, 234}, {104, 107},
    {235, 247}, {108, 126}, {248, 254}, {127, 132}, {14, 17},   {21, 24},   {188, 195},
    {26, 28},   {133, 180}, {3, 6},     {255, 484},
};

constexpr DisplayOrderArray MakeProgressionOrder() {
    DisplayOrderArray order{};
    std::size_t p = 0;
    for (const GroupRun& run : kProgressionRuns)
        for (int g = run.first; g <= run.last; ++g)
            order[p++] = g;  // a run too many fails constant evaluation here
    return order;
}

constexpr int RunLength() {
    int n = 0;
    for (const GroupRun& run : kProgressionRuns)
        n += run.last - run.first + 1;
    return n;
}

constexpr bool IsPermutation(const DisplayOrderArray& order) {
    std::array<bool, kGroupCount> seen{};
    for (std::int32_t g : order) {
        if (g < 0 || g >= kGroupCount || seen[static_cast<std::size_t>(g)])
            return false;
        seen[static_cast<std::size_t>(g)] = true;
    }
    return true;
}

}  // namespace detail

inline constexpr DisplayOrderArray ProgressionOrder = detail::MakeProgressionOrder();

static_assert(detail::RunLength() == kGroupCount);
static_assert(detail::IsPermutation(ProgressionOrder));
static_assert(detail::IsPermutation(NumericOrder()));
static_assert(ProgressionOrder[3] == 7 && ProgressionOrder[7] == 196 &&
              ProgressionOrder[251] == 3 && ProgressionOrder[484] == 484);

// Groups 0-483 sorted by display name (8-bit text read as Latin-1), letters
// compared without regard to case by the locale's collation, equal names in
// group order; group 484 stays last.
DisplayOrderArray AlphabeticalOrder(const GroupNameArray& names);

// The position at which order shows group g.
int PositionOfGroup(const DisplayOrderArray& order, int g);

}  // namespace om
