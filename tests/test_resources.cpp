// The pictures compiled into the program: every identifier the catalogues
// and windows use is there, decodes, and has its size and colour depth.
#include <QCryptographicHash>
#include <QtTest>

#include "pickers/LayerCatalog.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"

using namespace om;

namespace {

struct BmpHeader {
    int width, height, bitCount, compression, colorsUsed;
};

BmpHeader ReadHeader(const QByteArray& b) {
    auto u32 = [&](int at) {
        return int(quint8(b[at]) | quint8(b[at + 1]) << 8 | quint8(b[at + 2]) << 16 |
                   quint8(b[at + 3]) << 24);
    };
    auto u16 = [&](int at) { return int(quint8(b[at]) | quint8(b[at + 1]) << 8); };
    return {u32(18), u32(22), u16(28), u32(30), u32(46)};
}

}  // namespace

class TestResources : public QObject {
    Q_OBJECT
private slots:
    void thumbnailsAreDistinctEightBitRle();
    void placeholdersAndPictures();
    void applicationIcon();
};

void TestResources::thumbnailsAreDistinctEightBitRle() {
    QSet<QByteArray> hashes;
    int count = 0;
    for (const LayerCatalog& c : {MakeLayer1Catalog(), MakeLayer2Catalog()}) {
        for (int k = 1; k < c.customSlot(); ++k) {
            const int id = c.entry(k).thumbnail;
            const QByteArray bytes = ResourceBytes(id);
            QVERIFY2(!bytes.isEmpty(), qPrintable(QString::number(id)));
            const BmpHeader h = ReadHeader(bytes);
            QCOMPARE(h.bitCount, 8);
            QCOMPARE(h.compression, 1);  // run-length encoded
            const QImage image = LoadBitmapResource(id);
            QCOMPARE(image.size(), QSize(166, 145));
            hashes.insert(QCryptographicHash::hash(
                QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()),
                QCryptographicHash::Sha1));
            ++count;
        }
    }
    QCOMPARE(count, 314 + 99);
    QCOMPARE(hashes.size(), count);
}

void TestResources::placeholdersAndPictures() {
    const struct {
        int id;
        QSize size;
        int bits;
    } pictures[] = {
        {IDB_BLANK, {166, 145}, 24},
        {IDB_NOT_AVAILABLE, {166, 145}, 24},
        {IDB_SPLASH, {392, 215}, 24},
        {IDB_ABOUT, {142, 144}, 8},
    };
    for (const auto& p : pictures) {
        const QByteArray bytes = ResourceBytes(p.id);
        const BmpHeader h = ReadHeader(bytes);
        QCOMPARE(h.bitCount, p.bits);
        const QImage image = LoadBitmapResource(p.id);
        QCOMPARE(image.size(), p.size);
    }
    QCOMPARE(ReadHeader(ResourceBytes(IDB_ABOUT)).colorsUsed, 256);
    // Blank and Image not available are black pictures with white words.
    const QImage blank = LoadBitmapResource(IDB_BLANK);
    QCOMPARE(blank.pixelColor(0, 0), QColor(Qt::black));
    QVERIFY(blank != LoadBitmapResource(IDB_NOT_AVAILABLE));
    QVERIFY(ResourceBytes(12345).isEmpty());
    QVERIFY(LoadBitmapResource(12345).isNull());
}

void TestResources::applicationIcon() {
    const QIcon icon = LoadAppIcon();
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(16, 16)));
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
