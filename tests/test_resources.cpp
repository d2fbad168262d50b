// The pictures compiled into the program: every identifier the catalogues
// and windows use is there, decodes, and has its size and colour depth.
#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
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
    void themeIconsGrowTheIconsPixelArt_data();
    void themeIconsGrowTheIconsPixelArt();
};

void TestResources::thumbnailsAreDistinctEightBitRle() {
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

void TestResources::placeholdersAndPictures() {
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

void TestResources::applicationIcon() {
    const QIcon icon = LoadAppIcon();
    QVERIFY(!icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    QVERIFY(sizes.contains(QSize(32, 32)));
    QVERIFY(sizes.contains(QSize(16, 16)));
}

void TestResources::themeIconsGrowTheIconsPixelArt_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("drawing");  // which of the .ico's images: 32 or 16 pixels
    QTest::addColumn<int>("scale");
    QTest::newRow("16") << 16 << 16 << 1;
    QTest::newRow("32") << 32 << 32 << 1;
    QTest::newRow("48") << 48 << 16 << 3;
    QTest::newRow("64") << 64 << 32 << 2;
    QTest::newRow("128") << 128 << 32 << 4;
    QTest::newRow("256") << 256 << 32 << 8;
}

void TestResources::themeIconsGrowTheIconsPixelArt() {
    QFETCH(int, size);
    QFETCH(int, drawing);
    QFETCH(int, scale);
    const QString png = qEnvironmentVariable("OM_GEN_DIR") +
                        QStringLiteral("/icons/ombattleanim-%1.png").arg(size);
    QFile file(png);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(png));
    const QByteArray bytes = file.readAll();
    // Signature, then IHDR: size, 8 bits per channel, RGBA, not interlaced.
    QCOMPARE(bytes.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    QCOMPARE(bytes.mid(12, 4), QByteArray("IHDR"));
    const QByteArray be = QByteArray::fromHex(QByteArray::number(size, 16).rightJustified(8, '0'));
    QCOMPARE(bytes.mid(16, 4), be);
    QCOMPARE(bytes.mid(20, 4), be);
    QCOMPARE(bytes.mid(24, 5), QByteArray("\x08\x06\x00\x00\x00", 5));

    // Qt's own PNG reader checks every chunk's CRC and the zlib stream.
    QImage grown;
    QVERIFY(grown.loadFromData(bytes, "PNG"));
    grown = grown.convertToFormat(QImage::Format_ARGB32);

    QByteArray ico = ResourceBytes(IDR_MAINFRAME);
    QBuffer buffer(&ico);
    QImageReader reader(&buffer, "ico");
    QImage art;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage candidate = reader.read();
        if (candidate.width() == drawing)
            art = candidate.convertToFormat(QImage::Format_ARGB32);
    }
    QCOMPARE(art.size(), QSize(drawing, drawing));
    int clear = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const QRgb want = art.pixel(x / scale, y / scale);
            const QRgb got = grown.pixel(x, y);
            if (qAlpha(want) == 0) {
                ++clear;
                QCOMPARE(qAlpha(got), 0);
            } else {
                QCOMPARE(got, want);
                QCOMPARE(qAlpha(got), 255);
            }
        }
    QVERIFY(clear > 0);  // the two cards leave two corners empty
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
