#pragma once

#include "pickers/LayerCatalog.h"
#include "pickers/Widgets.h"

namespace om {

inline constexpr int kThumbnailWidth = 166;
inline constexpr int kThumbnailHeight = 145;
inline constexpr int kImageListGrowBy = 256;
// One step per thumbnail and one per picker item: 316 + 101 + 315 + 100.
inline constexpr int kPickerBuildSteps = 832;

struct PickerBuildTarget {
    ImagePicker* picker;
    ImageList* images;
    const LayerCatalog* catalog;
};

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
