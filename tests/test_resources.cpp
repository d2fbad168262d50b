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
    void thumbnailsAreDistinctEightBitRle() {
        // The background pictures the pickers show: 245 + 48 + 21 for layer 1,
        // 99 for layer 2, each its own picture.
        const std::pair<int, int> ranges[] = {{405, 649}, {698, 745}, {767, 787}, {788, 886}};
        QSet<QByteArray> hashes;
        int count = 0;
        for (const auto& [first, last] : ranges) {
            for (int id = first; id <= last; ++id) {
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
        QCOMPARE(count, 413);
        QCOMPARE(hashes.size(), count);
        // Nothing lies in the gaps between the runs.
        for (int id : {404, 650, 697, 746, 766, 887})
            QVERIFY2(ResourceBytes(id).isEmpty(), qPrintable(QString::number(id)));
    }

    void placeholdersAndPictures() {
        const struct {
            int id;
            QSize size;
            int bits;
        } pictures[] = {
            {889, {166, 145}, 24},  // Blank
            {890, {166, 145}, 24},  // Image not available
            {897, {392, 215}, 24},  // the splash picture
            {910, {142, 144}, 8},   // the About picture
        };
        for (const auto& p : pictures) {
            const QByteArray bytes = ResourceBytes(p.id);
            const BmpHeader h = ReadHeader(bytes);
            QCOMPARE(h.bitCount, p.bits);
            const QImage image = LoadBitmapResource(p.id);
            QCOMPARE(image.size(), p.size);
        }
        QCOMPARE(ReadHeader(ResourceBytes(910)).colorsUsed, 256);
        // Blank and Image not available are black pictures with white words,
        // the three words taking more white than the one.
        const auto whitePixels = [](const QImage& image) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += image.pixelColor(x, y).lightness() > 128;
            return n;
        };
        const QImage blank = LoadBitmapResource(889);
        const QImage notAvailable = LoadBitmapResource(890);
        QCOMPARE(blank.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(notAvailable.pixelColor(0, 0), QColor(Qt::black));
        QVERIFY(whitePixels(blank) > 0);
        QVERIFY(whitePixels(notAvailable) > 2 * whitePixels(blank));
        QVERIFY(ResourceBytes(12345).isEmpty());
        QVERIFY(LoadBitmapResource(12345).isNull());
    }

    void applicationIcon() {
        const QList<QSize> sizes = LoadAppIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16)));
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
