#include "pickers/BuildLayerPickers.h"

#include <QAbstractItemView>

#include "res/Resources.h"

namespace om {

namespace {

void LoadThumbnails(const PickerBuildTarget& t, ProgressSink* progress) {
    for (int k = 0; k < t.catalog->size(); ++k) {
        QImage image = LoadBitmapResource(t.catalog->entry(k).thumbnail);
        if (image.isNull()) {
            // A picture the program lacks still takes its place in the list.
            image = QImage(t.images->imageSize(), QImage::Format_RGB32);
            image.fill(Qt::black);
        }
        t.images->append(image);
        if (progress)
            progress->step();
    }
}

void InsertItems(const PickerBuildTarget& t, ProgressSink* progress) {
    t.picker->setUpdatesEnabled(false);
    for (int k = 0; k < t.catalog->customSlot(); ++k) {
        t.picker->insertImageItem(k, PickerItemText(t.catalog->entry(k)), k);
        if (progress)
            progress->step();
    }
    // Nothing is selected until a group is shown.
    t.picker->setCurrentIndex(-1);
    t.picker->view()->setMinimumWidth(t.images->imageSize().width() + 80);
    t.picker->fitClosedBox();
    t.picker->setUpdatesEnabled(true);
}

}  // namespace

QString PickerItemText(const LayerChoice& choice) {
    return QString::asprintf("%d  %02X %02X", choice.lo + 256 * choice.hi, unsigned(choice.lo),
                             unsigned(choice.hi));
}

void BuildLayerPickers(const PickerBuildTarget& layer1, const PickerBuildTarget& layer2,
                       ProgressSink* progress) {
    LoadThumbnails(layer1, progress);
    LoadThumbnails(layer2, progress);
    layer1.picker->setImageList(layer1.images);
    layer2.picker->setImageList(layer2.images);
    InsertItems(layer1, progress);
    InsertItems(layer2, progress);
}

}  // namespace om
