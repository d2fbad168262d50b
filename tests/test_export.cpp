// File > Export Patch...: the changes made since the ROM was opened, saved or
// not, as a patch that turns the file as it was opened into the table shown.
#include <QAction>
#include <QFileDialog>
#include <QtTest>

#include "MessageTexts.h"
#include "WindowFixture.h"
#include "patch/ImagePatch.h"

using namespace om;
using omtest::WindowFixture;

namespace {

constexpr long kHeaderedTable = 776862;
constexpr long kHeaderlessTable = 776350;

ByteVector Apply(const ByteVector& source, const ByteVector& patch) {
    ByteVector target;
    std::string note, error;
    if (!ApplyImagePatch(source, patch, target, note, error))
        qWarning("%s", error.c_str());
    return target;
}

}  // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void patchGivesTheTableShown_data() {
        QTest::addColumn<bool>("headered");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("magic");
        // BPS: made behind the header, of 3 MiB to 3 MiB, for images with or without one.
        const QByteArray bps = QByteArray::fromHex("42505331 007f3e80 007f3e80");
        QTest::newRow("BPS, .smc") << true << "edit.bps" << bps;
        QTest::newRow("IPS, .smc") << true << "edit.ips" << QByteArray("PATCH");
        QTest::newRow("BPS, .sfc") << false << "edit.BPS" << bps;
        QTest::newRow("IPS, .sfc") << false << "edit.IPS" << QByteArray("PATCH");
        QTest::newRow("no extension: BPS") << true << "edit" << bps;
    }

    void patchGivesTheTableShown() {
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
        f.type(IDC_LAYER1_LO, QStringLiteral("44"));
        const auto saved = f.rom.bytes();

        const QString path = f.rom.dir() + "/" + name;
        f.desktop.patchFiles = {path};
        f.window->command(ID_FILE_EXPORTPATCH)->trigger();
        QCOMPARE(f.desktop.patchDialogs, 1);
        // Where it went and how many groups it changes (0, 3 and 484), as information.
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        QCOMPARE(f.desktop.shown[0].text, "The patch was written to " + path +
                                              ". It changes the entries of 3 of the 485 groups.");
        QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Information);
        const auto patch = omtest::ReadFileBytes(path.toStdString());
        QVERIFY(QByteArray(reinterpret_cast<const char*>(patch.data()), qsizetype(patch.size()))
                    .startsWith(magic));

        // Applied to the file as it was opened: exactly these three bytes change.
        const ByteVector target = Apply(original, patch);
        QCOMPARE(omtest::DifferingOffsets(original, target),
                 (std::vector<long>{table, table + 4 * 3 + 3, table + 4 * 484}));
        QCOMPARE(int(target[std::size_t(table)]), 255);
        QCOMPARE(int(target[std::size_t(table + 15)]), 7);
        QCOMPARE(int(target[std::size_t(table + 1936)]), 44);
        // Exporting neither saved nor changed the ROM or the records.
        QCOMPARE(f.rom.bytes(), saved);
        QCOMPARE(f.data.record(484).layer1Lo, 228);
        QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("44"));

        // A BPS is made behind the header: it applies to the image without one.
        if (magic.startsWith("BPS1") && headered) {
            const ByteVector bare(original.begin() + 512, original.end());
            QVERIFY(Apply(bare, patch) == ByteVector(target.begin() + 512, target.end()));
        }
    }

    // Export Patch writes nothing: with no ROM open (before a load or after
    // Close ROM) without a word, after a cancelled dialog, with nothing
    // changed since the ROM was opened, or into a folder that is missing.
    void writesNothing_data() {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("dialogs");
        QTest::addColumn<QString>("says");  // the start of the message, if any
        QTest::newRow("no ROM") << "no ROM" << 0 << QString();
        QTest::newRow("after Close ROM") << "closed" << 0 << QString();
        QTest::newRow("dialog cancelled") << "cancelled" << 1 << QString();
        QTest::newRow("change taken back") << "unchanged" << 0 << omtest::kNothingToExport;
        QTest::newRow("missing folder") << "missing folder" << 1 << omtest::kExportFailedStart;
    }
    void writesNothing() {
        QFETCH(QString, when);
        QFETCH(int, dialogs);
        QFETCH(QString, says);
        WindowFixture f;
        if (when != "no ROM") {
            QVERIFY(f.load());
            f.type(IDC_LAYER1_LO, QStringLiteral("9"));
        }
        if (when == "closed")
            f.window->OnFileCloseRom();
        if (when == "unchanged") {
            // Saved in between: no difference to the file as it was opened.
            f.click(IDC_SAVE);
            f.type(IDC_LAYER1_LO, QStringLiteral("0"));
        }
        if (when != "cancelled")
            f.desktop.patchFiles = {f.rom.dir() + (when == "missing folder" ? "/gone/" : "/") +
                                    "edit.bps"};
        f.window->OnFileExportPatch();
        QCOMPARE(f.desktop.patchDialogs, dialogs);
        QCOMPARE(f.desktop.shown.size(), std::size_t(says.isEmpty() ? 0 : 1));
        if (!says.isEmpty()) {
            const QString text = f.desktop.shown[0].text;
            QVERIFY2(text.startsWith(says), qPrintable(text));
            if (says != omtest::kNothingToExport)
                QVERIFY2(text.endsWith(omtest::kExportFailedEnd), qPrintable(text));
            QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
            QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::Ok);
        }
        QCOMPARE(QDir(f.rom.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"game.smc"});
    }

    void patchDialog() {
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
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
