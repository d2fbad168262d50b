// The backgrounds each layer's picker knows: a thumbnail and the two layer
// bytes (low, high) that select it in a ROM entry. The last entry of each
// catalogue is the custom slot, whose bytes change at run time.
#pragma once

#include <cstdint>
#include <vector>

namespace om {

// Every thumbnail's size in pixels.
inline constexpr int kThumbnailWidth = 166;
inline constexpr int kThumbnailHeight = 145;

inline constexpr int kCustomSlotLayer1 = 315;
inline constexpr int kCustomSlotLayer2 = 100;

inline constexpr std::uint16_t IDB_BLANK = 889;
inline constexpr std::uint16_t IDB_NOT_AVAILABLE = 890;

struct LayerChoice {
    std::uint16_t thumbnail = 0;
    std::int32_t lo = 0;
    std::int32_t hi = 0;
};

class LayerCatalog {
public:
    explicit LayerCatalog(std::vector<LayerChoice> entries) : entries_(std::move(entries)) {}

    int size() const { return static_cast<int>(entries_.size()); }
    int customSlot() const { return size() - 1; }
    const LayerChoice& entry(int k) const { return entries_.at(static_cast<std::size_t>(k)); }

    // The entry other than the custom slot whose bytes are (lo, hi), or -1.
    int find(int lo, int hi) const;
    void setCustom(int lo, int hi);

private:
    std::vector<LayerChoice> entries_;
};

LayerCatalog MakeLayer1Catalog();
LayerCatalog MakeLayer2Catalog();

// The background numbers behind entries 0 .. custom slot - 1.
std::vector<int> Layer1BackgroundNumbers();
std::vector<int> Layer2BackgroundNumbers();

}  // namespace om
