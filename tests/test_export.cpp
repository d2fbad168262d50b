// File > Export Patch...: the changes made since the ROM was opened, saved or
// not, as a patch that turns the file as it was opened into the table shown.
#include <QAction>
#include <QFileDialog>
#include <QtTest>

#include "WindowFixture.h"
#include "patch/Patch.h"

using namespace om;
using omtest::WindowFixture;

namespace {

constexpr long kHeaderedTable = 776862;
constexpr long kHeaderlessTable = 776350;

ByteVector Apply(const ByteVector& source, const ByteVector& patch) {
    ByteVector target;
    std::string error;
    if (!ApplyPatch(source, patch, target, error))
        qWarning("%s", error.c_str());
    return target;
}

}  // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void patchGivesTheTableShown_data();
    void patchGivesTheTableShown();
    void nothingToExport();
    void cancelledOrNoRomWritesNothing();
    void failedWriteIsReported();
    void patchDialog();
};

void TestExport::patchGivesTheTableShown_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("BPS, .smc") << true << "edit.bps" << QByteArray("BPS1");
    QTest::newRow("IPS, .smc") << true << "edit.ips" << QByteArray("PATCH");
    QTest::newRow("BPS, .sfc") << false << "edit.BPS" << QByteArray("BPS1");
    QTest::newRow("IPS, .sfc") << false << "edit.IPS" << QByteArray("PATCH");
    QTest::newRow("no extension: BPS") << true << "edit" << QByteArray("BPS1");
}

void TestExport::patchGivesTheTableShown() {
    QFETCH(bool, headered);
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    WindowFixture f(omtest::MakeTestImage(headered ? kSmcLayout : kSfcLayout));
    const long table = headered ? kHeaderedTable : kHeaderlessTable;
    const auto original = f.rom.bytes();
    QVERIFY(f.load());

    // A saved edit in group 0, then an unsaved one left in group 3's
    // record, and one still only in the fields of group 484.
    f.choosePicker(1, 245);  // bytes (255, 0)
    f.click(IDC_SAVE);
    f.chooseGroup(3);
    f.type(IDC_LAYER2_HI, QStringLiteral("7"));
    f.chooseGroup(484);
    f.type(IDC_LAYER1_LO, QStringLiteral("300"));  // 300 & 0xFF = 44
    const auto saved = f.rom.bytes();

    const QString path = f.rom.dir() + "/" + name;
    f.desktop.patchFiles = {path};
    f.window->command(ID_FILE_EXPORTPATCH)->trigger();
    QCOMPARE(f.desktop.patchDialogs, 1);
    QVERIFY(f.desktop.shown.empty());
    const auto patch = omtest::ReadFileBytes(path.toStdString());
    QVERIFY(QByteArray(reinterpret_cast<const char*>(patch.data()), qsizetype(patch.size()))
                .startsWith(magic));

    // Applied to the file as it was opened: exactly these three bytes change.
    const ByteVector target = Apply(original, patch);
    QCOMPARE(target.size(), original.size());
    QCOMPARE(omtest::DifferingOffsets(original, target),
             (std::vector<long>{table, table + 4 * 3 + 3, table + 4 * 484}));
    QCOMPARE(int(target[std::size_t(table)]), 255);
    QCOMPARE(int(target[std::size_t(table + 15)]), 7);
    QCOMPARE(int(target[std::size_t(table + 1936)]), 44);
    // Exporting neither saved nor changed the ROM or the records.
    QCOMPARE(f.rom.bytes(), saved);
    QCOMPARE(f.data.record(484).layer1Lo, 228);
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("300"));

    // A BPS is refused by any other image.
    if (magic == "BPS1") {
        ByteVector other = original, out;
        other[0] ^= 1;
        std::string error;
        QVERIFY(!ApplyPatch(other, patch, out, error));
    }
}

void TestExport::nothingToExport() {
    WindowFixture f;
    QVERIFY(f.load());
    // A change made and taken back, saved in between: no difference to the
    // file as it was opened.
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    f.click(IDC_SAVE);
    f.type(IDC_LAYER1_LO, QStringLiteral("0"));
    f.desktop.patchFiles = {f.rom.dir() + "/none.bps"};
    f.window->OnFileExportPatch();
    QCOMPARE(f.desktop.patchDialogs, 0);
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text,
             QStringLiteral("There is nothing to export: the battle background table in the "
                            "editor is the same as in the ROM when it was opened. No patch was "
                            "written."));
    QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::Ok);
    QVERIFY(!QFile::exists(f.rom.dir() + "/none.bps"));
}

void TestExport::cancelledOrNoRomWritesNothing() {
    WindowFixture f;
    // No ROM open: nothing is asked or shown.
    f.window->OnFileExportPatch();
    QCOMPARE(f.desktop.patchDialogs, 0);
    QVERIFY(f.desktop.shown.empty());
    // After Close ROM neither.
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    f.window->OnFileCloseRom();
    f.window->OnFileExportPatch();
    QCOMPARE(f.desktop.patchDialogs, 0);
    // Cancelled dialog: nothing written, nothing shown.
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    f.window->OnFileExportPatch();
    QCOMPARE(f.desktop.patchDialogs, 1);
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(QDir(f.rom.dir()).entryList(QDir::Files), QStringList{"game.smc"});
}

void TestExport::failedWriteIsReported() {
    WindowFixture f;
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    // An existing patch in a folder that cannot be written keeps its bytes.
    const QString folder = f.rom.dir() + "/missing-folder/edit.bps";
    f.desktop.patchFiles = {folder};
    f.window->OnFileExportPatch();
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    const QString text = f.desktop.shown[0].text;
    QVERIFY2(text.startsWith(QStringLiteral(
                 "An error occurred while attempting to write the patch: ")),
             qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral(". No patch was written.")), qPrintable(text));
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
    QVERIFY(!QFile::exists(folder));
}

void TestExport::patchDialog() {
    const std::unique_ptr<QFileDialog> dialog = MakePatchFileDialog(nullptr);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Export Patch"));
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(dialog->nameFilters(),
             (QStringList{"BPS patches (*.bps)", "IPS patches (*.ips)"}));
    QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("BPS patches (*.bps)"));
    QCOMPARE(dialog->defaultSuffix(), QStringLiteral("bps"));
    dialog->selectNameFilter(QStringLiteral("IPS patches (*.ips)"));
    emit dialog->filterSelected(QStringLiteral("IPS patches (*.ips)"));
    QCOMPARE(dialog->defaultSuffix(), QStringLiteral("ips"));

    // A suggested path: its folder shown, its name proposed.
    QTemporaryDir dir;
    const auto suggesting = MakePatchFileDialog(nullptr, dir.path() + "/Fen Keep.bps");
    QCOMPARE(suggesting->directory().absolutePath(), dir.path());
    QCOMPARE(suggesting->selectedFiles(), QStringList{dir.path() + "/Fen Keep.bps"});
}

QTEST_MAIN(TestExport)
#include "test_export.moc"
