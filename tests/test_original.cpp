// The original ROM: set through the real window, remembered, refused when it
// cannot be one; Export Patch made from it whatever was saved since; the
// marks and the "changed" term of the groups changed from it, in the window
// and in the companion.
#include <QFile>
#include <QTableView>
#include <QtTest>
#include <memory>

#include "CliRun.h"
#include "WindowFixture.h"
#include "app/FindGroupDlg.h"
#include "app/GroupListRoles.h"
#include "patch/ImagePatch.h"

using namespace om;
using omtest::WindowFixture;
using Groups = QList<int>;

namespace {

// The untouched image: the test image (group g: layer 1 background g,
// layer 2 511 - g % 256).
RomImage Untouched(const RomLayout& layout = kSmcLayout) { return omtest::MakeTestImage(layout); }

// The ROM made from it: groups 3, 7 and 480 changed, and an enemy renamed
// (outside the table).
RomImage Hacked() {
    RomImage image = Untouched();
    image.putEntry(3, 9, 9, 9, 9);
    image.putEntry(7, 44, 1, 44, 1);
    image.putEntry(480, 44, 1, 31, 1);
    image.putEnemyName(5, "Bogmire Newt");
    return image;
}

Groups Marked(const WindowFixture& f) {
    Groups groups;
    for (int p = 0; p < f.groupList()->count(); ++p)
        if (f.groupList()->itemData(p, kGroupChangedRole).toBool())
            groups << p;  // numeric order: position p is group p
    return groups;
}

Groups FoundChanged(FindGroupDlg& d) {
    d.present(QStringLiteral("changed"));
    Groups groups;
    for (int r = 0; r < d.rowCount(); ++r) {
        const QModelIndex number = d.table()->model()->index(r, 0);
        if (!number.data(kGroupChangedRole).toBool() || number.data(Qt::DecorationRole).isNull())
            return {-1};  // a row found without its mark
        groups << d.groupAtRow(r);
    }
    return groups;
}

bool SetOriginal(WindowFixture& f, const QString& path) {
    f.desktop.files = {path};
    const std::size_t shown = f.desktop.shown.size();
    f.trigger(ID_FILE_SETORIGINAL);
    return f.desktop.shown.size() == shown;
}

}  // namespace

class TestOriginal : public QObject {
    Q_OBJECT
private slots:
    void patchFromTheOriginalAfterTwoSaves();
    void exportFromTheOriginal_data();
    void exportFromTheOriginal();
    void wrongOriginalRefused_data();
    void wrongOriginalRefused();
    void companion_data();
    void companion();
    void namesNotUtf8();
};

void TestOriginal::patchFromTheOriginalAfterTwoSaves() {
    WindowFixture f(Hacked());
    omtest::TempRom orig(Untouched(), "untouched.smc");
    QVERIFY(f.load());
    QCOMPARE(Marked(f), Groups{});
    QVERIFY(SetOriginal(f, orig.qpath()));
    QCOMPARE(Marked(f), (Groups{3, 7, 480}));

    // Save 1: group 10 changed. Save 2: group 3 back to the original's
    // bytes (3, 0, 252, 1). Then group 20 changed, not saved.
    f.chooseGroup(10);
    f.type(IDC_LAYER1_LO, QStringLiteral("99"));
    f.click(IDC_SAVE);
    f.chooseGroup(3);
    f.type(IDC_LAYER1_LO, QStringLiteral("3"));
    f.type(IDC_LAYER1_HI, QStringLiteral("0"));
    f.type(IDC_LAYER2_LO, QStringLiteral("252"));
    f.type(IDC_LAYER2_HI, QStringLiteral("1"));
    f.click(IDC_SAVE);
    f.chooseGroup(20);
    f.type(IDC_LAYER2_LO, QStringLiteral("5"));
    f.chooseGroup(21);
    const Groups changed{7, 10, 20, 480};
    QCOMPARE(Marked(f), changed);
    QCOMPARE(FoundChanged(f.window->findGroupWindow()), changed);

    const QString path = f.rom.dir() + "/edit.bps";
    f.desktop.patchFiles = {path};
    f.trigger(ID_FILE_EXPORTPATCH);
    QCOMPARE(f.desktop.patchTitles, QStringList{"Export Patch from untouched.smc"});
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, "The patch was written to " + path +
                                          ". It changes the entries of 4 of the 485 groups.");
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Information);
    // Applied to the original: exactly the image the editor holds.
    ByteVector result;
    std::string note, error;
    QVERIFY(ApplyImagePatch(orig.bytes(), omtest::ReadFileBytes((path + "").toStdString()), result,
                            note, error));
    QVERIFY(result == f.window->EditedImage());
    QVERIFY(result != f.rom.bytes());  // group 20 is not saved

    // Remembered for the ROM: a new window finds it again, also when the ROM
    // is opened through a link to it.
    f.restart();
    QVERIFY(f.load());
    QVERIFY(f.window->hasOriginal());
    const QString link = orig.dir() + "/link-to-game.smc";
    QVERIFY(QFile::link(f.rom.qpath(), link));
    f.restart();
    QVERIFY(f.window->LoadRom(link));
    QVERIFY(f.window->hasOriginal());
    QCOMPARE(Marked(f), changed);
}

// Export Patch compares the whole images with the original, not only the
// tables: a ROM changed only outside the table still gets its patch, and
// one the same as the original gets none.
void TestOriginal::exportFromTheOriginal_data() {
    QTest::addColumn<bool>("renamed");  // the ROM: the untouched image, an enemy renamed or not
    QTest::addColumn<QString>("says");  // %1: the patch's path; %2: the original's
    QTest::newRow("changed outside the table only")
        << true << "The patch was written to %1. It changes the entries of 0 of the 485 groups.";
    QTest::newRow("the same as the original")
        << false << "There is nothing to export: the image in the editor is the same as the "
                    "original ROM %2. No patch was written.";
}

void TestOriginal::exportFromTheOriginal() {
    QFETCH(bool, renamed);
    QFETCH(QString, says);
    RomImage rom = Untouched();
    if (renamed)
        rom.putEnemyName(5, "Bogmire Newt");
    WindowFixture f(rom);
    omtest::TempRom orig(Untouched(), "untouched.smc");
    QVERIFY(f.load());
    QVERIFY(SetOriginal(f, orig.qpath()));
    const QString path = f.rom.dir() + "/edit.bps";
    f.desktop.patchFiles = {path};
    f.trigger(ID_FILE_EXPORTPATCH);
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, says.replace("%1", path).replace("%2", orig.qpath()));
    QCOMPARE(QFile::exists(path), renamed);
    if (!renamed)
        return;
    ByteVector result;
    std::string note, error;
    QVERIFY(ApplyImagePatch(orig.bytes(), omtest::ReadFileBytes(path.toStdString()), result, note,
                            error));
    QVERIFY(result == f.rom.bytes());
}

void TestOriginal::wrongOriginalRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("not a ROM") << "zeros" << "it is not a ROM of this game";
    QTest::newRow("other layout family")
        << "sfc" << "it is a ROM of the other layout: it has no copier header";
    QTest::newRow("the ROM itself") << "self" << "it is the ROM itself";
    QTest::newRow("a link to the ROM") << "link" << "it is the ROM itself";
    QTest::newRow("changed since it was set") << "changed" << "it has changed since it was set";
}

void TestOriginal::wrongOriginalRefused() {
    QFETCH(QString, kind);
    QFETCH(QString, says);
    WindowFixture f(Hacked());
    QVERIFY(f.load());
    omtest::TempRom orig(kind == "sfc" ? Untouched(kSfcLayout) : Untouched(), "orig.smc");
    QString path = orig.qpath();
    if (kind == "zeros") {
        QFile z(path);
        QVERIFY(z.open(QIODevice::WriteOnly));
        QVERIFY(z.write(QByteArray(3 * 1024 * 1024 + 512, '\0')) > 0);
    } else if (kind == "self") {
        path = f.rom.qpath();
    } else if (kind == "link") {
        path = orig.dir() + "/link.smc";
        QVERIFY(QFile::link(f.rom.qpath(), path));
    }
    if (kind != "changed") {
        QVERIFY(!SetOriginal(f, path));
        QCOMPARE(f.desktop.shown.back().icon, Desktop::Icon::Warning);
        QVERIFY2(f.desktop.shown.back().text.startsWith(path + " cannot be the original") &&
                     f.desktop.shown.back().text.contains(says),
                 qPrintable(f.desktop.shown.back().text));
        QVERIFY(!f.window->hasOriginal());
        QCOMPARE(Marked(f), Groups{});
        return;
    }
    QVERIFY(SetOriginal(f, path));
    RomImage other = Untouched();
    other.putEntry(100, 1, 2, 3, 4);
    QVERIFY(other.writeFile(orig.path()));
    f.desktop.patchFiles = {f.rom.dir() + "/edit.bps"};
    f.trigger(ID_FILE_EXPORTPATCH);
    QCOMPARE(f.desktop.patchDialogs, 0);
    QVERIFY(!QFile::exists(f.rom.dir() + "/edit.bps"));
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QVERIFY2(f.desktop.shown[0].text.contains(says) &&
                 f.desktop.shown[0].text.endsWith("No patch was written."),
             qPrintable(f.desktop.shown[0].text));
}

void TestOriginal::companion_data() {
    QTest::addColumn<QString>("original");  // "untouched", "self", "sfc"
    QTest::addColumn<QStringList>("terms");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("changed") << "untouched" << QStringList{"changed"} << 0
                             << QByteArray("3\t2313\t2313\tEnemy 2\n7\t300\t300\tEnemy 129 x2\n"
                                           "480\t300\t287\tSunken Tower Guardian (Hollow Moon Gate)\n")
                             << QByteArray();
    QTest::newRow("changed and a term") << "untouched" << QStringList{"changed", "l2:300"} << 0
                                        << QByteArray("7\t300\t300\tEnemy 129 x2\n") << QByteArray();
    QTest::newRow("changed without an original") << "" << QStringList{"changed"} << 1 << QByteArray()
                                                 << QByteArray();
    QTest::newRow("the ROM itself") << "self" << QStringList{"changed"} << 2 << QByteArray()
                                    << QByteArray("it is the ROM itself");
    QTest::newRow("other layout") << "sfc" << QStringList{"changed"} << 2 << QByteArray()
                                  << QByteArray("it is a ROM of the other layout");
}

void TestOriginal::companion() {
    QFETCH(QString, original);
    QFETCH(QStringList, terms);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, says);
    omtest::TempRom rom(Hacked());
    omtest::TempRom orig(original == "sfc" ? Untouched(kSfcLayout) : Untouched(), "orig.smc");
    QStringList args{"find", rom.qpath()};
    args << terms;
    if (!original.isEmpty())
        args << "--original" << (original == "self" ? rom.qpath() : orig.qpath());
    const omtest::CliRun r = omtest::RunCli(args);
    QCOMPARE(r.exitCode, status);
    QCOMPARE(r.out, out);
    QVERIFY2(says.isEmpty() ? r.err.isEmpty() : r.err.contains(says), r.err.constData());
}

// A ROM and an original whose names are not UTF-8 (Latin-1 bytes): the
// original is remembered by the ROM's bytes and found again after a restart.
void TestOriginal::namesNotUtf8() {
    WindowFixture f;
    const QString rom = omtest::WriteRomNamed(f.rom.dir(), "caf\xe9.smc");
    const QString orig = omtest::WriteRomNamed(f.rom.dir(), "caf\xe8 untouched.smc");
    QVERIFY(!rom.isEmpty() && !orig.isEmpty());
    QVERIFY(f.window->LoadRom(rom));
    QVERIFY(SetOriginal(f, orig));
    f.restart();
    QVERIFY(f.window->LoadRom(rom));
    f.desktop.patchFiles = {f.rom.dir() + "/edit.bps"};
    f.trigger(ID_FILE_EXPORTPATCH);
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    // The message shows a byte that is not UTF-8 as U+FFFD.
    QCOMPARE(f.desktop.shown[0].text, "There is nothing to export: the image in the editor is the same as the "
                                      "original ROM " + f.rom.dir() + QString::fromUtf8("/caf\xef\xbf\xbd untouched.smc") +
                                      ". No patch was written.");
}

QTEST_MAIN(TestOriginal)
#include "test_original.moc"
