// The pictures compiled into the program: every identifier the catalogues
// and windows use is there, decodes, and has its size and colour depth.
#include <QCryptographicHash>
#include <QtEndian>
#include <QtTest>

#include "res/ResourceIds.h"
#include "res/Resources.h"

using namespace om;

class TestResources : public QObject {
    Q_OBJECT
private slots:
    // Every picture by its runs of identifiers, each its own picture: the
    // background thumbnails (245 + 48 + 21 for layer 1, 99 for layer 2), then
    // Blank and Image not available, the splash and the About picture.
    void bitmaps() {
        const struct {
            int first, last;
            QSize size;
            int bits;
        } runs[] = {
            {405, 649, {166, 145}, 8}, {698, 745, {166, 145}, 8},  {767, 787, {166, 145}, 8},
            {788, 886, {166, 145}, 8}, {889, 890, {166, 145}, 24}, {897, 897, {392, 215}, 24},
            {910, 910, {142, 144}, 8},
        };
        QSet<QByteArray> hashes;
        for (const auto& r : runs) {
            for (int id = r.first; id <= r.last; ++id) {
                const QByteArray bytes = ResourceBytes(id);
                QVERIFY2(!bytes.isEmpty(), qPrintable(QString::number(id)));
                // The file header's bits per pixel and compression (1: run-length
                // encoded, as the thumbnails are).
                QCOMPARE(int(qFromLittleEndian<quint16>(bytes.constData() + 28)), r.bits);
                if (r.size == QSize(166, 145) && r.bits == 8)
                    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 30), 1u);
                const QImage image = LoadBitmapResource(id);
                QCOMPARE(image.size(), r.size);
                hashes.insert(QCryptographicHash::hash(
                    QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()),
                    QCryptographicHash::Sha1));
            }
        }
        QCOMPARE(hashes.size(), 413 + 4);
        QCOMPARE(qFromLittleEndian<quint32>(ResourceBytes(910).constData() + 46), 256u);  // colours
        // Nothing lies in the gaps between the runs.
        for (int id : {404, 650, 697, 746, 766, 887, 12345})
            QVERIFY2(ResourceBytes(id).isEmpty(), qPrintable(QString::number(id)));
        QVERIFY(LoadBitmapResource(12345).isNull());
        // Blank and Image not available are black pictures with white words,
        // the three words taking more white than the one (-1: a corner not black).
        const auto whitePixels = [](int id) {
            const QImage image = LoadBitmapResource(id);
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += image.pixelColor(x, y).lightness() > 128;
            return image.pixelColor(0, 0) == QColor(Qt::black) ? n : -1;
        };
        QVERIFY(whitePixels(889) > 0);
        QVERIFY(whitePixels(890) > 2 * whitePixels(889));
    }

    void applicationIcon() {
        const QList<QSize> sizes = LoadAppIcon().availableSizes();
        QVERIFY(sizes.contains(QSize(32, 32)) && sizes.contains(QSize(16, 16)));
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
