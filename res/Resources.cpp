#include "res/Resources.h"

#include "res/ResourceIds.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

extern "C" {
extern const char om_pictures_begin[];
extern const char om_pictures_end[];
}

namespace om {

namespace {

struct ResourceEntry {
    int id;
    unsigned offset;
    unsigned size;
};

// Written by ombattleanim-genpics beside pictures.bin.
constexpr ResourceEntry kIndex[] = {
#include "pictures_index.inc"
};

const ResourceEntry* Find(int id) {
    const auto it = std::lower_bound(std::begin(kIndex), std::end(kIndex), id,
                                     [](const ResourceEntry& e, int v) { return e.id < v; });
    return it != std::end(kIndex) && it->id == id ? it : nullptr;
}

}  // namespace

QByteArray ResourceBytes(int id) {
    const ResourceEntry* e = Find(id);
    if (!e || om_pictures_begin + e->offset + e->size > om_pictures_end)
        return {};
    return QByteArray::fromRawData(om_pictures_begin + e->offset, qsizetype(e->size));
}

QImage LoadBitmapResource(int id) {
    const QByteArray bytes = ResourceBytes(id);
    QImage image;
    if (!bytes.isEmpty())
        image.loadFromData(bytes, "BMP");
    return image;
}

QIcon LoadAppIcon() {
    QByteArray bytes = ResourceBytes(IDR_MAINFRAME);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "ico");
    QIcon icon;
    for (int i = 0; i < reader.imageCount(); ++i) {
        reader.jumpToImage(i);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

std::vector<int> ResourceIds() {
    std::vector<int> ids;
    for (const ResourceEntry& e : kIndex)
        ids.push_back(e.id);
    return ids;
}

}  // namespace om
