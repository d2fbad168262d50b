// The user's own thumbnails: set from a file, the clipboard and the newest
// emulator screenshot, kept across a restart, reset, imported and exported,
// and bad pictures refused with nothing written.
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QApplication>
#include <QBuffer>
#include <QDateTime>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "ToolWindowKeys.h"
#include "WindowFixture.h"
#include "app/BackgroundBrowser.h"
#include "res/Resources.h"

using namespace om;
using omtest::WindowFixture;

namespace {

// The pictures of both layers are kept here, never in the user's own folder.
QTemporaryDir gData;
const bool gDataSet = qputenv("XDG_DATA_HOME", gData.path().toLocal8Bit());

QString Store() { return gData.path() + QStringLiteral("/OMBattleAnim/thumbnails"); }

// Vertical bands of colours, equally wide.
QImage Bands(int w, int h, std::initializer_list<QRgb> colours) {
    QImage image(w, h, QImage::Format_RGB32);
    const int n = static_cast<int>(colours.size());
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            image.setPixel(x, y, colours.begin()[x * n / w]);
    return image;
}

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
           std::abs(qBlue(a) - qBlue(b)) <= 2;
}

// The thumbnail has 166 x 145 pixels, and pixel x is left's colour for x
// below split - 1 and right's from split + 1 on (the two columns between may
// blend).
bool Shows(const QImage& shown, int split, QRgb left, QRgb right) {
    if (shown.size() != QSize(166, 145))
        return false;
    for (int y = 0; y < 145; ++y)
        for (int x = 0; x < 166; ++x)
            if ((x < split - 1 && !Near(shown.pixel(x, y), left)) ||
                (x > split && !Near(shown.pixel(x, y), right)))
                return false;
    return true;
}

QImage ItemImage(const QComboBox* picker, int k) {
    return picker->itemIcon(k).pixmap(QSize(166, 145)).toImage().convertToFormat(QImage::Format_RGB32);
}

bool ShowsBuiltIn(const QComboBox* picker, int k, int bitmap) {
    return ItemImage(picker, k) == LoadBitmapResource(bitmap).convertToFormat(QImage::Format_RGB32);
}

bool ChooseFromMenu(QWidget* w, int id) { return omtest::ChooseFromMenu(w, QPoint(4, 4), id); }

// The middle of the picture a browser cell draws for a background.
QRgb CellColour(BackgroundBrowser* b, int background) {
    for (int r = 0; r < b->rowCount(); ++r)
        if (b->backgroundAtRow(r) == background) {
            const QRect cell = b->view()->visualRect(b->view()->model()->index(r, 0));
            const QImage shown = b->view()->viewport()->grab().toImage();
            return shown.pixel(cell.center().x(), cell.top() + 6 + b->thumbnailSize().height() / 2);
        }
    return 0;
}

QStringList StoredFiles() {
    QStringList files;
    for (const char* layer : {"layer1", "layer2"})
        for (const QString& f : QDir(Store() + QLatin1Char('/') + QLatin1String(layer)).entryList(QDir::Files))
            files << QLatin1String(layer) + QLatin1Char('/') + f;
    return files;
}

void Save(const QImage& image, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(image.save(path, "PNG"));
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray Chunk(const char* type, const QByteArray& data) {
    QByteArray c;
    const quint32 n = static_cast<quint32>(data.size());
    c.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    QByteArray body = QByteArray(type) + data;
    const quint32 crc = static_cast<quint32>(
        crc32(0, reinterpret_cast<const Bytef*>(body.constData()), static_cast<uInt>(body.size())));
    c.append(body).append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
    return c;
}

// A grey PNG of side x side pixels whose pixel data, all zero, deflates to
// a few kilobytes: decoded it would take side * side bytes.
QByteArray BombPng(int side) {
    QByteArray ihdr;
    for (int v : {side, side})
        ihdr.append(char(v >> 24)).append(char(v >> 16)).append(char(v >> 8)).append(char(v));
    ihdr.append(char(8)).append(char(0)).append(char(0)).append(char(0)).append(char(0));
    z_stream z{};
    deflateInit(&z, 9);
    const QByteArray row(side + 1, '\0');
    QByteArray out(1 << 20, '\0');
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    for (int y = 0; y < side; ++y) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(row.constData()));
        z.avail_in = static_cast<uInt>(row.size());
        deflate(&z, y + 1 == side ? Z_FINISH : Z_NO_FLUSH);
    }
    out.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", out) +
           Chunk("IEND", {});
}

constexpr QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kGreen = 0xFF00FF00;

}  // namespace

class TestThumbnails : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(Store()).removeRecursively(); }

    // Each source, on layer 1's entry 200 (background 200, its built-in
    // picture bitmap 604): shown at once, kept as layer1/200.png, there
    // again after a restart, and reset to the built-in picture.
    void setKeptAndReset_data() {
        QTest::addColumn<int>("source");
        QTest::newRow("file, 256 x 224 scaled to the same shape") << int(ID_THUMBNAIL_FROMFILE);
        QTest::newRow("clipboard, 800 x 290 cropped, not stretched") << int(ID_THUMBNAIL_PASTE);
        QTest::newRow("newest screenshot of the folder") << int(ID_THUMBNAIL_SCREENSHOT);
    }
    void setKeptAndReset() {
        QFETCH(int, source);
        QTemporaryDir pictures;
        const QImage halves = Bands(256, 224, {kRed, kBlue});
        // Red, green, blue bands: the middle, all green, is what a crop keeps.
        const QImage bands = Bands(800, 290, {kRed, kGreen, kGreen, kBlue});
        WindowFixture f;
        QVERIFY(f.load());
        f.choosePicker(1, 200);
        int split = 83;
        QRgb left = kRed, right = kBlue;
        if (source == ID_THUMBNAIL_FROMFILE) {
            Save(halves, pictures.filePath(QStringLiteral("mine.png")));
            f.desktop.pictureFiles.push_back(pictures.filePath(QStringLiteral("mine.png")));
        } else if (source == ID_THUMBNAIL_PASTE) {
            QGuiApplication::clipboard()->setImage(bands);
            left = right = kGreen;
        } else {
            // An older screenshot and the newest one; the setting names the folder.
            Save(Bands(256, 224, {kGreen}), pictures.filePath(QStringLiteral("a-older.png")));
            Save(halves, pictures.filePath(QStringLiteral("b-newest.png")));
            QFile older(pictures.filePath(QStringLiteral("a-older.png")));
            QVERIFY(older.open(QIODevice::ReadWrite));
            QVERIFY(older.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                      QFileDevice::FileModificationTime));
            f.desktop.folders.push_back(pictures.path());
            f.trigger(ID_TOOLS_SCREENSHOTFOLDER);
        }
        QVERIFY(ChooseFromMenu(f.picker(1), source));
        QVERIFY(f.desktop.shown.empty());
        QVERIFY(Shows(ItemImage(f.picker(1), 200), split, left, right));
        QCOMPARE(StoredFiles(), QStringList{"layer1/200.png"});
        QVERIFY(Shows(QImage(Store() + QStringLiteral("/layer1/200.png")), split, left, right));
        // Its neighbours keep theirs.
        QVERIFY(ShowsBuiltIn(f.picker(1), 199, 603));
        QVERIFY(ShowsBuiltIn(f.picker(1), 201, 605));

        f.restart();
        QVERIFY(Shows(ItemImage(f.picker(1), 200), split, left, right));
        QVERIFY(f.load());
        f.choosePicker(1, 200);
        QVERIFY(ChooseFromMenu(f.picker(1), ID_THUMBNAIL_RESET));
        QVERIFY(ShowsBuiltIn(f.picker(1), 200, 604));
        QCOMPARE(StoredFiles(), QStringList{});
        // Nothing left to reset.
        QVERIFY(!ChooseFromMenu(f.picker(1), ID_THUMBNAIL_RESET));
    }

    // A browser cell's right-click menu has the same entries, acting on the
    // cell's background, not on the one the picker shows: set from a file,
    // the cell and the picker's item show it, the shown group is unchanged;
    // reset from the cell, the built-in picture is back in both.
    void browserCellCommands() {
        QTemporaryDir pictures;
        Save(Bands(256, 224, {kGreen}), pictures.filePath(QStringLiteral("g.png")));
        WindowFixture f;
        QVERIFY(f.load());
        f.choosePicker(1, 200);
        const QStringList bytes = f.fields();
        auto* b = omtest::PressForToolWindow<BackgroundBrowser>(f.window.get(), Qt::Key_B);
        QVERIFY(b);
        QTest::keyClicks(b->filterField(), QStringLiteral("150"));
        QVERIFY(!Near(CellColour(b, 150), kGreen));
        const auto cellMenu = [&](int id) {
            for (int r = 0; r < b->rowCount(); ++r)
                if (b->backgroundAtRow(r) == 150)
                    return omtest::ChooseFromMenu(
                        b->view()->viewport(),
                        b->view()->visualRect(b->view()->model()->index(r, 0)).center(), id);
            return false;
        };
        QVERIFY(!cellMenu(ID_THUMBNAIL_RESET));
        f.desktop.pictureFiles.push_back(pictures.filePath(QStringLiteral("g.png")));
        QVERIFY(cellMenu(ID_THUMBNAIL_FROMFILE));
        QVERIFY(f.desktop.shown.empty());
        QCOMPARE(StoredFiles(), QStringList{"layer1/150.png"});
        QVERIFY(Shows(ItemImage(f.picker(1), 150), 83, kGreen, kGreen));
        QVERIFY(ShowsBuiltIn(f.picker(1), 200, 604));
        QVERIFY(Near(CellColour(b, 150), kGreen));
        QCOMPARE(f.picker(1)->currentIndex(), 200);
        QCOMPARE(f.fields(), bytes);

        QVERIFY(cellMenu(ID_THUMBNAIL_RESET));
        QCOMPARE(StoredFiles(), QStringList{});
        QVERIFY(ShowsBuiltIn(f.picker(1), 150, 554));
        QVERIFY(!Near(CellColour(b, 150), kGreen));
    }

    // The custom slot shows the user's picture of the background its bytes
    // select (layer 2's 1 1: background 257, in no entry).
    void customSlotShowsOwnPicture() {
        QTemporaryDir pictures;
        Save(Bands(166, 145, {kBlue, kRed}), pictures.filePath(QStringLiteral("p.png")));
        WindowFixture f;
        QVERIFY(f.load());
        f.type(IDC_LAYER2_LO, QStringLiteral("1"));
        f.type(IDC_LAYER2_HI, QStringLiteral("1"));
        QCOMPARE(f.picker(2)->currentIndex(), 100);
        f.desktop.pictureFiles.push_back(pictures.filePath(QStringLiteral("p.png")));
        QVERIFY(ChooseFromMenu(f.picker(2), ID_THUMBNAIL_FROMFILE));
        QCOMPARE(StoredFiles(), QStringList{"layer2/257.png"});
        QVERIFY(Shows(ItemImage(f.picker(2), 100), 83, kBlue, kRed));
        f.restart();
        QVERIFY(f.load());
        f.type(IDC_LAYER2_LO, QStringLiteral("1"));
        f.type(IDC_LAYER2_HI, QStringLiteral("1"));
        QVERIFY(Shows(ItemImage(f.picker(2), 100), 83, kBlue, kRed));
        QVERIFY(ChooseFromMenu(f.picker(2), ID_THUMBNAIL_RESET));
        QVERIFY(ShowsBuiltIn(f.picker(2), 100, 890));
    }

    // Each bad picture is refused with a message naming it and why; nothing
    // is written and the picker keeps its picture.
    void badPicturesRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a picture") << "notes.png" << "it is not a picture";
        QTest::newRow("damaged") << "cut.png" << "it is damaged";
        QTest::newRow("0 x 0") << "empty.gif" << "it has no pixels (0 x 0)";
        QTest::newRow("bomb") << "bomb.png" << "it is larger than 8192 x 8192 pixels (9000 x 9000)";
        QTest::newRow("over 64 MiB") << "huge.png" << "it is larger than 64 MiB";
        QTest::newRow("folder") << "folder.png" << "it is a folder";
        QTest::newRow("FIFO") << "fifo.png" << "it is a FIFO";
    }
    void badPicturesRefused() {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QByteArray png;
        {
            QBuffer b(&png);
            b.open(QIODevice::WriteOnly);
            Bands(16, 16, {kRed}).save(&b, "PNG");
        }
        if (name == QLatin1String("notes.png"))
            WriteBytes(path, "These are not pixels.\n");
        else if (name == QLatin1String("cut.png"))
            WriteBytes(path, png.left(png.size() - 20));
        else if (name == QLatin1String("empty.gif"))
            WriteBytes(path, QByteArray("GIF89a\0\0\0\0\0\0\0,\0\0\0\0\0\0\0\0\0\2\2D\1\0;", 29));
        else if (name == QLatin1String("bomb.png"))
            WriteBytes(path, BombPng(9000));
        else if (name == QLatin1String("huge.png")) {
            WriteBytes(path, png);
            QVERIFY(::truncate(path.toLocal8Bit().constData(), 64LL * 1024 * 1024 + 1) == 0);
        } else if (name == QLatin1String("folder.png"))
            QVERIFY(QDir().mkdir(path));
        else
            QVERIFY(::mkfifo(path.toLocal8Bit().constData(), 0600) == 0);

        WindowFixture f;
        QVERIFY(f.load());
        f.choosePicker(1, 200);
        f.desktop.pictureFiles.push_back(path);
        QVERIFY(ChooseFromMenu(f.picker(1), ID_THUMBNAIL_FROMFILE));
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        const QString text = f.desktop.shown[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("The picture %1 cannot be used as a thumbnail: %2")
                                     .arg(path, reason)),
                 qPrintable(text));
        QVERIFY(text.endsWith(QStringLiteral(". Nothing was changed.")));
        QCOMPARE(StoredFiles(), QStringList{});
        QVERIFY(ShowsBuiltIn(f.picker(1), 200, 604));

        // In a pack, the same picture stops the whole import.
        QTemporaryDir pack;
        Save(Bands(256, 224, {kGreen}), pack.filePath(QStringLiteral("layer1/5.png")));
        QVERIFY(QDir().mkpath(pack.filePath(QStringLiteral("layer2"))));
        QVERIFY(QFile::rename(path, pack.filePath(QStringLiteral("layer2/18.png"))));
        f.desktop.folders.push_back(pack.path());
        f.trigger(ID_TOOLS_IMPORTTHUMBNAILS);
        QCOMPARE(f.desktop.shown.size(), std::size_t(2));
        QVERIFY2(f.desktop.shown[1].text.startsWith(
                     QStringLiteral("No thumbnails were imported: %1: %2")
                         .arg(pack.filePath(QStringLiteral("layer2/18.png")), reason)),
                 qPrintable(f.desktop.shown[1].text));
        QCOMPARE(StoredFiles(), QStringList{});
        QVERIFY(ShowsBuiltIn(f.picker(1), 5, 409));
    }

    // A pack's names decide layer and number; anything else is skipped and
    // listed. Exported, the same files come out; imported again, the same
    // pictures show.
    void importExportRoundTrip() {
        QTemporaryDir pack, out;
        Save(Bands(256, 224, {kRed, kBlue}), pack.filePath(QStringLiteral("layer1/5.png")));
        Save(Bands(166, 145, {kBlue, kRed}), pack.filePath(QStringLiteral("layer2/18.png")));
        Save(Bands(16, 16, {kGreen}), pack.filePath(QStringLiteral("layer1/007.png")));
        Save(Bands(16, 16, {kGreen}), pack.filePath(QStringLiteral("layer1/70000.png")));
        Save(Bands(16, 16, {kGreen}), pack.filePath(QStringLiteral("layer3/1.png")));
        WriteBytes(pack.filePath(QStringLiteral("readme.txt")), "A pack of pictures.\n");
        WindowFixture f;
        f.desktop.folders = {pack.path()};
        f.trigger(ID_TOOLS_IMPORTTHUMBNAILS);
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        QCOMPARE(f.desktop.shown[0].text, QStringLiteral("2 thumbnails were imported."));
        QCOMPARE(f.desktop.shown[0].informative,
                 QStringLiteral("Skipped, not named layer1/N.png or layer2/N.png:\n"
                                "layer1/007.png\nlayer1/70000.png\nlayer3\nlayer3/1.png\nreadme.txt"));
        QCOMPARE(StoredFiles(), (QStringList{"layer1/5.png", "layer2/18.png"}));
        // Layer 1's entry 5 is background 5; layer 2's entry 1 is background 18.
        QVERIFY(Shows(ItemImage(f.picker(1), 5), 83, kRed, kBlue));
        QVERIFY(Shows(ItemImage(f.picker(2), 1), 83, kBlue, kRed));
        QVERIFY(ShowsBuiltIn(f.picker(1), 4, 408));

        f.desktop.folders = {out.path()};
        f.trigger(ID_TOOLS_EXPORTTHUMBNAILS);
        QCOMPARE(f.desktop.shown.back().text,
                 QStringLiteral("2 thumbnails were exported to %1.").arg(out.path()));
        for (const char* name : {"layer1/5.png", "layer2/18.png"}) {
            QFile a(Store() + QLatin1Char('/') + QLatin1String(name)), b(out.filePath(QLatin1String(name)));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QCOMPARE(b.readAll(), a.readAll());
        }
        QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"layer1", "layer2"}));

        QDir(Store()).removeRecursively();
        f.restart();
        QVERIFY(ShowsBuiltIn(f.picker(1), 5, 409));
        f.desktop.folders = {out.path()};
        f.trigger(ID_TOOLS_IMPORTTHUMBNAILS);
        QVERIFY(Shows(ItemImage(f.picker(1), 5), 83, kRed, kBlue));
        QVERIFY(Shows(ItemImage(f.picker(2), 1), 83, kBlue, kRed));
        QCOMPARE(f.desktop.shown.back().informative, QString());
    }
};

QTEST_MAIN(TestThumbnails)
#include "test_thumbnails.moc"
