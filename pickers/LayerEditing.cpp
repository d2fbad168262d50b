#include "pickers/LayerEditing.h"

namespace om {

LayerEditor::LayerEditor(BattleAnimData& data, const DisplayOrderArray& order,
                         QComboBox* groupList, QLineEdit* offsetField, LayerControls layer1,
                         LayerControls layer2)
    : data_(data),
      order_(order),
      groupList_(groupList),
      offsetField_(offsetField),
      layers_{Layer{layer1, MakeLayer1Catalog()}, Layer{layer2, MakeLayer2Catalog()}} {}

int LayerEditor::shownGroup() const {
    return order_[static_cast<std::size_t>(data_.currentPosition())];
}

std::array<int, 4> LayerEditor::valuesOf(int g) const {
    if (g == shownGroup())
        return FieldValues();
    return ValuesOf(data_.record(g));
}

GroupValues LayerEditor::FieldValues() const {
    return {layers_[0].controls.lo->value(), layers_[0].controls.hi->value(),
            layers_[1].controls.lo->value(), layers_[1].controls.hi->value()};
}

void LayerEditor::StoreFieldsToCurrentGroup() {
    SetValues(data_.record(shownGroup()), FieldValues());
}

void LayerEditor::SelectGroup(int position, bool storeFirst) {
    if (storeFirst)
        StoreFieldsToCurrentGroup();
    groupList_->setCurrentIndex(position);
    data_.setCurrentPosition(position);

    const GroupRecord& r = data_.record(shownGroup());
    // Each update runs its layer's change handler: the first searches with
    // the new low byte and the previous high byte, the second with both.
    layers_[0].controls.lo->setValue(r.layer1Lo);
    layers_[0].controls.hi->setValue(r.layer1Hi);
    layers_[1].controls.lo->setValue(r.layer2Lo);
    layers_[1].controls.hi->setValue(r.layer2Hi);
    offsetField_->setText(QString::number(r.entryOffset, 16).toUpper());
}

void LayerEditor::OnSelchangePicker(int layer) {
    Layer& l = layer_(layer);
    l.syncGuard = -1;
    const int k = l.controls.picker->currentIndex();
    if (k < 0 || k >= l.catalog.size()) {
        l.syncGuard = 0;
        return;
    }
    const LayerChoice choice = l.catalog.entry(k);
    // The first of the two change notifications only brings the guard back
    // to 0; the second searches with both new bytes.
    l.controls.lo->setValue(choice.lo);
    l.controls.hi->setValue(choice.hi);
}

void LayerEditor::OnChangeFields(int layer) {
    Layer& l = layer_(layer);
    if (++l.syncGuard != 1)
        return;
    l.syncGuard = 0;
    FindLayerChoice(layer, l.controls.lo->value(), l.controls.hi->value());
}

void LayerEditor::FindLayerChoice(int layer, int lo, int hi) {
    Layer& l = layer_(layer);
    const int match = l.catalog.find(lo, hi);
    if (match >= 0) {
        l.controls.picker->setCurrentIndex(match);
        return;
    }
    const int custom = l.catalog.customSlot();
    if (l.controls.picker->count() > custom)
        l.controls.picker->removeItem(custom);
    const QImage own = customPictures_ ? customPictures_(layer, lo + 256 * hi) : QImage();
    if (own.isNull())
        l.controls.picker->insertImageItem(custom, QString(), custom);
    else
        l.controls.picker->insertPictureItem(custom, QString(), QPixmap::fromImage(own));
    l.controls.picker->setCurrentIndex(custom);
    l.catalog.setCustom(lo, hi);
}

}  // namespace om
