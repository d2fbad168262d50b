// Hot exit: unsaved edits kept in the state folder, given back by the next
// window that opens the same unchanged file, left alone when the file has
// changed, and a folder that cannot be written reported once.
#include <signal.h>

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "CliRun.h"
#include "WindowFixture.h"
#include "app/HotExit.h"
#include "patch/Patch.h"
#include "patch/Recovery.h"

using namespace om;
using omtest::WindowFixture;

namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestHotExit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void restoredByTheNextWindow_data();
    void restoredByTheNextWindow();
    void writtenAfterTheTypingRemovedOnceSaved();
    void notAppliedLeftInPlace_data();
    void notAppliedLeftInPlace();
    void unwritableFolderReportedOnce();
    void killedProcessLosesNothingOlderThanTheDelay();
    void descriptionText_data();
    void descriptionText();

private:
    // The recovery files, by name.
    QStringList recoveries() const {
        return QDir(state_->path() + "/OMBattleAnim/unsaved").entryList(QDir::Files, QDir::Name);
    }
    QString recovery(const QString& name) const {
        return state_->path() + "/OMBattleAnim/unsaved/" + name;
    }
    std::unique_ptr<QTemporaryDir> state_;
};

void TestHotExit::init() {
    state_ = std::make_unique<QTemporaryDir>();
    qputenv("XDG_STATE_HOME", state_->path().toLocal8Bit());
}

void TestHotExit::restoredByTheNextWindow_data() {
    QTest::addColumn<bool>("headered");
    // 0: the window ends, 1: Close ROM, 2: another ROM opened; 3: the window
    // ends, another ROM of the same size having been open before
    QTest::addColumn<int>("leave");
    QTest::newRow(".smc, the window ends") << true << 0;
    QTest::newRow(".sfc, the window ends") << false << 0;
    QTest::newRow(".smc, Close ROM") << true << 1;
    QTest::newRow(".sfc, another ROM opened") << false << 2;
    QTest::newRow(".smc, after another ROM") << true << 3;
}

void TestHotExit::restoredByTheNextWindow() {
    QFETCH(bool, headered);
    QFETCH(int, leave);
    WindowFixture f(omtest::MakeTestImage(headered ? kSmcLayout : kSfcLayout));
    const long table = headered ? 776862 : 776350;
    const auto original = f.rom.bytes();
    RomImage otherImage = omtest::MakeTestImage();
    otherImage.putEnemyName(5, "Bogmire Newt");
    omtest::TempRom other(otherImage, "other.smc");
    if (leave == 3)
        QVERIFY(f.window->LoadRom(other.qpath()));
    QVERIFY(f.load());
    // Group 0 by a picture, group 3 typed and left, group 484 typed and
    // still only in the fields; the ROM is left at once.
    f.choosePicker(1, 245);  // bytes (255, 0)
    f.chooseGroup(3);
    f.type(IDC_LAYER2_HI, QStringLiteral("7"));
    f.chooseGroup(484);
    f.type(IDC_LAYER1_LO, QStringLiteral("44"));
    if (leave == 0 || leave == 3)
        f.restart();
    else if (leave == 1)
        f.window->command(ID_FILE_CLOSEROM)->trigger();
    else
        QVERIFY(f.window->LoadRom(other.qpath()));

    // The patch and its description, nothing else.
    const QString stem = recoveries().value(0).chopped(4);
    QVERIFY2(stem.startsWith("game.smc-"), qPrintable(stem));
    QCOMPARE(recoveries(), (QStringList{stem + ".bps", stem + ".txt"}));
    QStringList lines = QString::fromUtf8(FileBytes(recovery(stem + ".txt"))).split('\n');
    QVERIFY(QDateTime::fromString(lines.takeAt(4).mid(5), Qt::ISODate).isValid());
    QCOMPARE(lines, (QStringList{"OMBattleAnim unsaved edits",
                                 "rom=" + QFileInfo(f.rom.qpath()).canonicalFilePath(),
                                 headered ? "size=3146240" : "size=3145728",
                                 "crc32=" + QString::number(Crc32(original), 16).toUpper().rightJustified(8, '0'),
                                 "groups=0 3 484", ""}));
    // Applied by hand to a copy of the file, the patch gives the edited table.
    const QString out = f.rom.dir() + "/by-hand.smc";
    QCOMPARE(omtest::RunCli({"apply-patch", f.rom.qpath(), recovery(stem + ".bps"), out}).exitCode, 0);
    const auto patched = omtest::ReadFileBytes(out.toStdString());
    QCOMPARE(omtest::DifferingOffsets(original, patched),
             (std::vector<long>{table, table + 15, table + 1936}));
    QCOMPARE(int(patched[std::size_t(table)]), 255);
    QCOMPARE(int(patched[std::size_t(table + 15)]), 7);
    QCOMPARE(int(patched[std::size_t(table + 1936)]), 44);

    // The next window on the same file shows the edits, unsaved.
    if (leave == 1 || leave == 2)
        f.restart();
    QVERIFY(f.load());
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(f.fields(), (QStringList{"255", "0", "255", "1"}));
    QCOMPARE(f.window->EditedImage(), patched);
    QCOMPARE(f.rom.bytes(), original);
    QVERIFY(f.window->isWindowModified());
    // One undo takes them all back; the recovery goes when the window ends.
    QAction* undo = f.window->command(ID_EDIT_UNDO);
    QCOMPARE(undo->text(), QStringLiteral("&Undo Restore Unsaved Edits"));
    undo->trigger();
    QCOMPARE(f.window->EditedImage(), original);
    QVERIFY(!f.window->isWindowModified());
    QVERIFY(!undo->isEnabled());
    f.restart();
    QVERIFY(recoveries().isEmpty());
    QCOMPARE(f.rom.bytes(), original);
}

void TestHotExit::writtenAfterTheTypingRemovedOnceSaved() {
    WindowFixture f;
    QVERIFY(f.load());
    // Not written on the typing path, but soon after.
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    QVERIFY(f.window->hotExit().pending());
    QVERIFY(recoveries().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(recoveries().size(), 2, 10000);
    // Saved: the recovery goes.
    f.click(IDC_SAVE);
    QVERIFY(recoveries().isEmpty());
    // The next one is made against the file as saved.
    f.type(IDC_LAYER1_LO, QStringLiteral("10"));
    QTRY_COMPARE_WITH_TIMEOUT(recoveries().size(), 2, 10000);
    f.restart();
    QVERIFY(f.load());
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("10"));
    QCOMPARE(int(f.rom.bytes()[776862]), 9);
    // Typed back to what the file holds: the recovery goes too.
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    QTRY_VERIFY_WITH_TIMEOUT(recoveries().isEmpty(), 10000);
}

void TestHotExit::notAppliedLeftInPlace_data() {
    QTest::addColumn<bool>("fileChanged");  // else the patch is damaged
    QTest::newRow("the file changed since") << true;
    QTest::newRow("the patch is damaged") << false;
}

void TestHotExit::notAppliedLeftInPlace() {
    QFETCH(bool, fileChanged);
    WindowFixture f;
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    f.restart();
    const QStringList files = recoveries();
    QCOMPARE(files.size(), 2);
    if (fileChanged) {
        RomImage image = omtest::MakeTestImage();
        image.put(0x8000, 0x5A);  // outside the table
        QVERIFY(image.writeFile(f.rom.path()));
    } else {
        QFile patch(recovery(files[0]));
        QVERIFY(patch.open(QIODevice::ReadWrite));
        QVERIFY(patch.seek(20));
        QVERIFY(patch.write("\x55", 1) == 1);
    }
    const QByteArray kept = FileBytes(recovery(files[0])) + FileBytes(recovery(files[1]));
    const auto rom = f.rom.bytes();

    QVERIFY(f.load());
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(f.window->EditedImage(), rom);
    QVERIFY(!f.window->isWindowModified());
    f.chooseGroup(1);
    f.restart();
    QCOMPARE(recoveries(), files);
    QCOMPARE(FileBytes(recovery(files[0])) + FileBytes(recovery(files[1])), kept);
    QCOMPARE(f.rom.bytes(), rom);
    if (fileChanged) {
        // Edits of the new content are kept beside it, not over it.
        QVERIFY(f.load());
        f.type(IDC_LAYER1_LO, QStringLiteral("5"));
        f.restart();
        QCOMPARE(recoveries().size(), 4);
        QCOMPARE(FileBytes(recovery(files[0])) + FileBytes(recovery(files[1])), kept);
    }
}

void TestHotExit::unwritableFolderReportedOnce() {
    WindowFixture f;
    // A file where the state folder should be: no folder can be made there.
    qputenv("XDG_STATE_HOME", f.rom.qpath().toLocal8Bit());
    QVERIFY(f.load());
    for (const char* value : {"9", "10", "11"}) {
        f.type(IDC_LAYER1_LO, QString::fromLatin1(value));
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->hotExit().pending(), 10000);
    }
    f.window->OnFileCloseRom();
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    const QString text = f.desktop.shown[0].text;
    QVERIFY2(text.startsWith("Your unsaved edits could not be kept in case the program ends: "),
             qPrintable(text));
    QVERIFY2(text.endsWith(". Editing goes on; save your changes to keep them. This is not "
                           "reported again until the program is started again."),
             qPrintable(text));
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
    // Editing went on: Save writes what was typed.
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, QStringLiteral("12"));
    f.click(IDC_SAVE);
    QCOMPARE(int(f.rom.bytes()[776862]), 12);
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
}

void TestHotExit::killedProcessLosesNothingOlderThanTheDelay() {
    WindowFixture f;
    const auto original = f.rom.bytes();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(qEnvironmentVariable("OM_HOTEXIT_CHILD"), {f.rom.qpath()});
    QVERIFY(child.waitForStarted());
    while (!child.canReadLine() && child.waitForReadyRead(60000)) {
    }
    QCOMPARE(child.readLine(), QByteArray("typed\n"));
    QTest::qWait(3000);
    QCOMPARE(::kill(pid_t(child.processId()), SIGKILL), 0);
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    QVERIFY(f.load());
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("77"));
    QCOMPARE(f.rom.bytes(), original);
}

void TestHotExit::descriptionText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    const QByteArray good = "OMBattleAnim unsaved edits\nrom=/a\\\\b\\nc.smc\nsize=3146240\n"
                            "crc32=00C0FFEE\ntime=2026-12-07T20:00:00Z\ngroups=0 484\n";
    QTest::newRow("as written") << good << true;
    QTest::newRow("a later key") << QByteArray(good + "note=x\n") << true;
    QTest::newRow("cut short") << good.chopped(1) << false;
    QTest::newRow("no groups") << good.left(good.indexOf("groups")) << false;
    QTest::newRow("group 485") << QByteArray(good).replace("484", "485") << false;
    QTest::newRow("short crc") << QByteArray(good).replace("00C0FFEE", "C0FFEE") << false;
    QTest::newRow("size not a number") << QByteArray(good).replace("3146240", "3146240x") << false;
    QTest::newRow("unknown escape") << QByteArray(good).replace("\\nc", "\\tc") << false;
    QTest::newRow("another first line") << QByteArray(good).replace("edits", "edit") << false;
}

void TestHotExit::descriptionText() {
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    const auto d = ParseRecoveryDescription(std::string_view(text.constData(), size_t(text.size())));
    QCOMPARE(d.has_value(), valid);
    if (!valid || text.contains("note"))
        return;
    QCOMPARE(d->romPath, std::string("/a\\b\nc.smc"));
    QCOMPARE(d->romSize, std::uint64_t(3146240));
    QCOMPARE(d->romCrc, std::uint32_t(0x00C0FFEE));
    QCOMPARE(d->groups, (std::vector<int>{0, 484}));
    QCOMPARE(QByteArray::fromStdString(FormatRecoveryDescription(*d)), text);
}

QTEST_MAIN(TestHotExit)
#include "test_hotexit.moc"
