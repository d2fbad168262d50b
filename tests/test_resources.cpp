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
