#include "pickers/BuildLayerPickers.h"

#include <QAbstractItemView>

#include "pickers/ThumbnailStore.h"
#include "res/Resources.h"

namespace om {

QImage ThumbnailOf(const PickerBuildTarget& t, int k) {
    const LayerChoice& c = t.catalog->entry(k);
    QImage image;
    // Only the user's picture is decoded where there is one: it replaces
    // the placeholder, never sits beside it.
    if (t.store && k < t.catalog->customSlot() && t.store->has(t.layer, BackgroundOf(c)))
        image = t.store->load(t.layer, BackgroundOf(c));
    if (image.isNull())
        image = LoadBitmapResource(c.thumbnail);
    if (image.isNull()) {
        // A picture the program lacks still takes its place in the list.
        image = QImage(t.images->imageSize(), QImage::Format_RGB32);
        image.fill(Qt::black);
    }
    return image;
}

namespace {

void LoadThumbnails(const PickerBuildTarget& t, ProgressSink* progress) {
    for (int k = 0; k < t.catalog->size(); ++k) {
        t.images->append(ThumbnailOf(t, k));
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
