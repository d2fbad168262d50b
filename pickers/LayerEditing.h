// Keeps the four byte fields, the two thumbnail pickers and the group
// records consistent. The fields are the truth on screen; the pickers follow
// them; a record takes the fields' values only when its group is left or the
// table is saved.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <array>
#include <functional>

#include "catalogue/GroupOrder.h"
#include "pickers/LayerCatalog.h"
#include "pickers/Widgets.h"
#include "romdata/BattleAnimData.h"

namespace om {

struct LayerControls {
    ImagePicker* picker = nullptr;
    ByteField* lo = nullptr;
    ByteField* hi = nullptr;
};

class LayerEditor {
public:
    LayerEditor(BattleAnimData& data, const DisplayOrderArray& order, QComboBox* groupList,
                QLineEdit* offsetField, LayerControls layer1, LayerControls layer2);

    // Layer numbers are 1 and 2.
    LayerCatalog& catalog(int layer) { return layer_(layer).catalog; }
    const LayerCatalog& catalog(int layer) const { return layers_[static_cast<std::size_t>(layer - 1)].catalog; }
    int syncGuard(int layer) const { return layers_[static_cast<std::size_t>(layer - 1)].syncGuard; }

    void SelectGroup(int position, bool storeFirst);
    void OnSelchangePicker(int layer);
    void OnChangeFields(int layer);
    void FindLayerChoice(int layer, int lo, int hi);
    void StoreFieldsToCurrentGroup();
    // Where the custom slot finds the user's own picture for a background
    // of a layer (a null image: none, the slot's own picture shows).
    using CustomPictures = std::function<QImage(int layer, int background)>;
    void setCustomPictures(CustomPictures pictures) { customPictures_ = std::move(pictures); }

    // The group whose values the fields show.
    int shownGroup() const;
    // The four values the editor holds for group g (layer 1 low, high,
    // layer 2 low, high): the fields' for the group they show, the record's
    // for any other.
    std::array<int, 4> valuesOf(int g) const;
    // The four fields' values, in the order of a group's entry.
    GroupValues FieldValues() const;

private:
    struct Layer {
        LayerControls controls;
        LayerCatalog catalog;
        int syncGuard = 0;
    };
    Layer& layer_(int layer) { return layers_[static_cast<std::size_t>(layer - 1)]; }

    BattleAnimData& data_;
    const DisplayOrderArray& order_;
    QComboBox* groupList_;
    QLineEdit* offsetField_;
    std::array<Layer, 2> layers_;
    CustomPictures customPictures_;
};

}  // namespace om
