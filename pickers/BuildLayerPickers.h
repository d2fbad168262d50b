#pragma once

#include "pickers/LayerCatalog.h"
#include "pickers/Widgets.h"

namespace om {

inline constexpr int kImageListGrowBy = 256;
// One step per thumbnail and one per picker item: 316 + 101 + 315 + 100.
inline constexpr int kPickerBuildSteps = 832;

class ThumbnailStore;

struct PickerBuildTarget {
    ImagePicker* picker;
    ImageList* images;
    const LayerCatalog* catalog;
    // The user's own pictures, which replace the built-in ones of the same
    // background of this layer (1 or 2); none when null.
    const ThumbnailStore* store = nullptr;
    int layer = 0;
};

// The background number an entry's two bytes select.
inline int BackgroundOf(const LayerChoice& c) { return c.lo + 256 * c.hi; }

// The picture entry k of a target's catalogue shows: the user's own for its
// background when there is one (not for the custom slot), else the
// built-in one, else black.
QImage ThumbnailOf(const PickerBuildTarget& t, int k);

// Decodes every thumbnail of both catalogues into the image lists, attaches
// the lists to the pickers and inserts every item but the custom slots,
// reporting one step per thumbnail and per item to progress (may be null).
void BuildLayerPickers(const PickerBuildTarget& layer1, const PickerBuildTarget& layer2,
                       ProgressSink* progress);

// The text of the picker item for a background: its number as the byte
// fields give it (low + 256 * high), two spaces, and its two bytes, low and
// high, in upper-case hex: "307  33 01".
QString PickerItemText(const LayerChoice& choice);

}  // namespace om
