#include "DemoRom.h"

#include "DemoEnemyNames.h"
#include "pickers/LayerCatalog.h"

namespace om {

RomImage MakeDemoRom() {
    RomImage image;
    image.putTitle();
    for (int k = 0; k < kEnemyNameCount; ++k)
        image.putEnemyName(k, DemoEnemyNames[static_cast<std::size_t>(k)]);
    const LayerCatalog layer1 = MakeLayer1Catalog();
    const LayerCatalog layer2 = MakeLayer2Catalog();
    for (int g = 0; g < kGroupCount; ++g) {
        // Spread the groups over the catalogues with fixed strides.
        const LayerChoice& a = layer1.entry((g * 37 + 11) % layer1.customSlot());
        const LayerChoice& b = layer2.entry((g * 13 + 5) % layer2.customSlot());
        image.putEntry(g, static_cast<std::uint8_t>(a.lo), static_cast<std::uint8_t>(a.hi),
                       static_cast<std::uint8_t>(b.lo), static_cast<std::uint8_t>(b.hi));
    }
    return image;
}

}  // namespace om
