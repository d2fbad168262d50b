#include "pickers/LayerCatalog.h"

#include <initializer_list>

namespace om {

namespace {

struct NumberRun {
    int first;
    int last;
};

constexpr NumberRun kLayer1Numbers[] = {{0, 234},   {237, 237}, {240, 240},
                                        {243, 243}, {246, 246}, {248, 253},
                                        {255, 264}, {266, 278}, {280, 326}};

constexpr NumberRun kLayer2Numbers[] = {
    {0, 0},     {18, 18},   {43, 43},   {45, 45},   {83, 83},   {104, 105}, {110, 110},
    {150, 150}, {163, 188}, {190, 194}, {199, 207}, {210, 219}, {221, 224}, {228, 229},
    {234, 234}, {237, 237}, {248, 248}, {252, 252}, {255, 255}, {258, 258}, {263, 264},
    {266, 267}, {269, 270}, {272, 277}, {281, 283}, {289, 290}, {292, 293}, {295, 295},
    {306, 307}, {309, 312}, {320, 320}, {323, 323}, {326, 326}};

template <std::size_t N>
constexpr int CountNumbers(const NumberRun (&runs)[N]) {
    int n = 0;
    int previous = -1;
    for (const NumberRun& r : runs) {
        if (r.first <= previous || r.last < r.first)
            return -1;  // ascending and without repeats, so no pair occurs twice
        n += r.last - r.first + 1;
        previous = r.last;
    }
    return n;
}

static_assert(CountNumbers(kLayer1Numbers) == kCustomSlotLayer1);
static_assert(CountNumbers(kLayer2Numbers) == kCustomSlotLayer2);

template <std::size_t N>
std::vector<int> Expand(const NumberRun (&runs)[N]) {
    std::vector<int> numbers;
    for (const NumberRun& r : runs)
        for (int n = r.first; n <= r.last; ++n)
            numbers.push_back(n);
    return numbers;
}

struct ThumbnailRun {
    int firstEntry;
    int lastEntry;
    std::uint16_t firstBitmap;
};

LayerCatalog MakeCatalog(const std::vector<int>& numbers, std::initializer_list<ThumbnailRun> runs) {
    std::vector<LayerChoice> entries;
    entries.reserve(numbers.size() + 1);
    for (int n : numbers)
        entries.push_back({IDB_BLANK, n % 256, n / 256});
    for (const ThumbnailRun& r : runs)
        for (int k = r.firstEntry; k <= r.lastEntry; ++k)
            entries[static_cast<std::size_t>(k)].thumbnail =
                static_cast<std::uint16_t>(r.firstBitmap + (k - r.firstEntry));
    entries.push_back({IDB_NOT_AVAILABLE, 0, 0});
    return LayerCatalog(std::move(entries));
}

}  // namespace

int LayerCatalog::find(int lo, int hi) const {
    for (int k = 0; k < customSlot(); ++k)
        if (entries_[static_cast<std::size_t>(k)].lo == lo &&
            entries_[static_cast<std::size_t>(k)].hi == hi)
            return k;
    return -1;
}

void LayerCatalog::setCustom(int lo, int hi) {
    entries_.back().lo = lo;
    entries_.back().hi = hi;
}

std::vector<int> Layer1BackgroundNumbers() { return Expand(kLayer1Numbers); }

std::vector<int> Layer2BackgroundNumbers() { return Expand(kLayer2Numbers); }

LayerCatalog MakeLayer1Catalog() {
    // Entry 0 (background 0) shows the Blank picture.
    return MakeCatalog(Layer1BackgroundNumbers(), {{1, 245, 405}, {246, 293, 698}, {294, 314, 767}});
}

LayerCatalog MakeLayer2Catalog() {
    return MakeCatalog(Layer2BackgroundNumbers(), {{1, 99, 788}});
}

}  // namespace om
