// Hot exit: unsaved edits kept in the state folder, given back by the next
// window that opens the same unchanged file, left alone when the file has
// changed, and a folder that cannot be written reported once.
#include <dirent.h>
#include <signal.h>
#include <sys/mount.h>

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

// The names in a folder as bytes, hidden ones too, sorted.
QByteArrayList NamesIn(const QString& folder) {
    QByteArrayList names;
    if (DIR* d = ::opendir(PathBytes(folder).constData())) {
        while (const dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.append(QByteArray(e->d_name));
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A path on one line as a description writes it.
QByteArray Escaped(QByteArray path) {
    return path.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r");
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
    void everyNameRoundTrips_data();
    void everyNameRoundTrips();
    void damagedRecoveryToldAndSetAside_data();
    void damagedRecoveryToldAndSetAside();
    void failedWriteOnLeavingAskedFirst_data();
    void failedWriteOnLeavingAskedFirst();

private:
    // The recovery files, by name.
    QStringList recoveries() const {
        QStringList names;
        for (const QByteArray& name : NamesIn(state_->path() + "/OMBattleAnim/unsaved"))
            names.append(PathFromBytes(name));
        return names;
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
    // The table history's own report of the same folder, at the open.
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    f.desktop.shown.clear();
    for (const char* value : {"9", "10", "11"}) {
        f.type(IDC_LAYER1_LO, QString::fromLatin1(value));
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->hotExit().pending(), 10000);
    }
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    const QString text = f.desktop.shown[0].text;
    QVERIFY2(text.startsWith("Your unsaved edits could not be kept in case the program ends: "),
             qPrintable(text));
    QVERIFY2(text.endsWith(". Editing goes on; save your changes to keep them. This is not "
                           "reported again until the program is started again."),
             qPrintable(text));
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
    // Leaving the ROM is asked about again, whatever was reported before.
    f.window->OnFileCloseRom();
    QCOMPARE(f.desktop.shown.size(), std::size_t(2));
    QCOMPARE(f.desktop.shown[1].buttons, Desktop::Buttons::YesNo);
    // Editing went on: Save writes what was typed.
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, QStringLiteral("12"));
    f.click(IDC_SAVE);
    QCOMPARE(int(f.rom.bytes()[776862]), 12);
    QCOMPARE(f.desktop.shown.size(), std::size_t(2));
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

void TestHotExit::everyNameRoundTrips_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("twin");  // a copy beside it, whose edits are its own
    QTest::newRow("Latin-1 pair") << QByteArray("caf\xe9.smc") << QByteArray("caf\xe8.smc");
    QTest::newRow("bytes never UTF-8") << QByteArray("\xff\xfe.smc") << QByteArray("\xfe\xff.smc");
    QTest::newRow("a leading dot") << QByteArray(".dot.smc") << QByteArray("dot.smc");
    QTest::newRow("only dots and an extension") << QByteArray("...smc") << QByteArray("..smc");
    // The first 64 bytes of the name end inside a character, at each of its cuts.
    for (const QByteArray& c : {QByteArray("\xc3\xa9"), QByteArray("\xe3\x81\x82"),
                               QByteArray("\xf0\x9f\x90\x89")})
        for (int inside = 1; inside < c.size(); ++inside) {
            const QByteArray start = QByteArray(64 - inside, 'a') + c;
            QTest::addRow("%d-byte character cut after %d", int(c.size()), inside)
                << QByteArray(start + ".smc") << QByteArray(start + "2.smc");
        }
    QTest::newRow("255 bytes") << QByteArray(QByteArray(251, 'n') + ".smc")
                               << QByteArray(QByteArray(250, 'n') + "m.smc");
    QTest::newRow("255 bytes of 3-byte characters")
        << QByteArray(QByteArray("\xe3\x81\x82").repeated(83) + "ab.smc")
        << QByteArray(QByteArray("\xe3\x81\x82").repeated(83) + "ac.smc");
    QTest::newRow("control characters") << QByteArray("\x01tab\there\nline\x1b[0m\r.smc")
                                        << QByteArray("\x01tab\there\nline\x1b[1m\r.smc");
    QTest::newRow("backslashes") << QByteArray("a\\b\\n.smc") << QByteArray("a\\\\b\\n.smc");
    QTest::newRow("spaces") << QByteArray(" my  rom .smc") << QByteArray("my  rom .smc");
    QTest::newRow("a leading dash") << QByteArray("-rom.smc") << QByteArray("--rom.smc");
    QTest::newRow("a wildcard's characters") << QByteArray("rom [!]*.smc") << QByteArray("rom [!].smc");
}

void TestHotExit::everyNameRoundTrips() {
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, twin);
    WindowFixture f;
    const auto original = f.rom.bytes();
    const QString rom = omtest::WriteRomNamed(f.rom.dir(), name);
    const QString other = omtest::WriteRomNamed(f.rom.dir(), twin);
    QVERIFY(!rom.isEmpty() && !other.isEmpty());
    QVERIFY(f.window->LoadRom(rom));
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    f.restart();
    // The description names the file by its bytes.
    const QString folder = state_->path() + "/OMBattleAnim/unsaved";
    const QByteArrayList files = NamesIn(folder);
    QCOMPARE(files.size(), 2);
    QVERIFY2(!files[0].startsWith('.') && !files[1].startsWith('.'), files[0].constData());
    // A name of whole characters is cut where one ends.
    QCOMPARE(QUtf8StringView(files[0]).isValidUtf8(), QUtf8StringView(name).isValidUtf8());
    const auto description = omtest::ReadFileBytes((PathBytes(folder) + '/' + files[1]).toStdString());
    QVERIFY(QByteArray(reinterpret_cast<const char*>(description.data()), qsizetype(description.size()))
                .contains("\nrom=" + Escaped(PathBytes(QFileInfo(f.rom.qpath()).canonicalPath()) +
                                             '/' + name) + "\n"));
    // The copy is not given the edits; the file itself is.
    QVERIFY(f.window->LoadRom(other));
    QCOMPARE(f.window->EditedImage(), original);
    QVERIFY(!f.window->isWindowModified());
    f.restart();
    QVERIFY(f.window->LoadRom(rom));
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("9"));
    QVERIFY(f.window->isWindowModified());
    QVERIFY(f.desktop.shown.empty());
    // Saved into that very file, and the recovery goes.
    f.click(IDC_SAVE);
    QVERIFY(recoveries().isEmpty());
    QCOMPARE(int(omtest::ReadFileBytes(PathBytes(rom).toStdString())[776862]), 9);
    QCOMPARE(omtest::ReadFileBytes(PathBytes(other).toStdString()), original);
}

void TestHotExit::damagedRecoveryToldAndSetAside_data() {
    QTest::addColumn<QString>("damage");
    for (const char* row : {"description deleted", "description cut short", "description emptied",
                            "description of the other ROM copied over", "patch deleted",
                            "patch damaged", "patch of the other ROM copied over"})
        QTest::newRow(row) << QString::fromLatin1(row);
}

void TestHotExit::damagedRecoveryToldAndSetAside() {
    QFETCH(QString, damage);
    WindowFixture f;
    const auto original = f.rom.bytes();
    // A copy of the same content whose recovery changes group 5.
    omtest::TempRom copy(omtest::MakeTestImage(), "copy.smc");
    QVERIFY(f.window->LoadRom(copy.qpath()));
    f.chooseGroup(5);
    f.type(IDC_LAYER1_LO, QStringLiteral("201"));
    QVERIFY(f.load());  // the copy's recovery is written as it is left
    const QStringList copyFiles = recoveries();
    QCOMPARE(copyFiles.size(), 2);
    const QString before = f.text(IDC_LAYER1_LO);
    const QString folder = state_->path() + "/OMBattleAnim/unsaved/";
    for (int round = 1; round <= 2; ++round) {
        f.type(IDC_LAYER1_LO, QStringLiteral("9"));
        f.restart();
        QStringList files = recoveries();
        for (const QString& c : copyFiles)
            files.removeAll(c);
        const QString stem = files.filter(QRegularExpression("^game\\.smc-[0-9a-f]{16}-[0-9A-F]{8}\\.bps$"))
                                 .value(0).chopped(4);
        QVERIFY2(!stem.isEmpty(), qPrintable(files.join(' ')));
        const QString bps = folder + stem + ".bps", txt = folder + stem + ".txt";
        const QString fromCopy = folder + copyFiles[damage.startsWith("patch") ? 0 : 1];
        if (damage.endsWith("deleted"))
            QVERIFY(QFile::remove(damage.startsWith("patch") ? bps : txt));
        else if (damage == "description cut short")
            QVERIFY(QFile::resize(txt, QFileInfo(txt).size() - 2));
        else if (damage == "description emptied")
            QVERIFY(QFile::resize(txt, 0));
        else if (damage.endsWith("copied over"))
            QVERIFY(QFile::remove(damage.startsWith("patch") ? bps : txt) &&
                    QFile::copy(fromCopy, damage.startsWith("patch") ? bps : txt));
        else {
            QFile patch(bps);
            QVERIFY(patch.open(QIODevice::ReadWrite) && patch.seek(20) && patch.write("\x55", 1) == 1);
        }
        const QByteArray keptBps = FileBytes(bps), keptTxt = FileBytes(txt);
        const bool hadBps = QFile::exists(bps), hadTxt = QFile::exists(txt);

        // Not given back; told once, naming the files it is kept in.
        QVERIFY(f.load());
        QCOMPARE(f.window->EditedImage(), original);
        QVERIFY(!f.window->isWindowModified());
        QCOMPARE(f.desktop.shown.size(), std::size_t(round));
        const QString text = f.desktop.shown.back().text;
        QVERIFY2(text.startsWith("The unsaved edits kept for this ROM could not be given back: "),
                 qPrintable(text));
        QVERIFY2(text.endsWith(". The ROM is shown as it is on the disk."), qPrintable(text));
        QCOMPARE(f.desktop.shown.back().icon, Desktop::Icon::Warning);
        const QString aside = folder + stem + QStringLiteral(".damaged-%1").arg(round);
        for (const auto& [path, kept, had] :
             {std::tuple{aside + ".bps", keptBps, hadBps}, {aside + ".txt", keptTxt, hadTxt}}) {
            QCOMPARE(QFile::exists(path), had);
            QCOMPARE(text.contains(path), had);
            QCOMPARE(FileBytes(path), kept);
        }
        QVERIFY(!QFile::exists(bps) && !QFile::exists(txt));
        // Editing goes on; the next recovery is made beside them, and given back.
        f.type(IDC_LAYER1_LO, QStringLiteral("7"));
        f.restart();
        QVERIFY(f.load());
        QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("7"));
        QCOMPARE(f.desktop.shown.size(), std::size_t(round));
        for (int r = 1; r <= round; ++r)
            QVERIFY(QFile::exists(folder + stem + QStringLiteral(".damaged-%1.txt").arg(r)) ||
                    QFile::exists(folder + stem + QStringLiteral(".damaged-%1.bps").arg(r)));
        QCOMPARE(FileBytes(aside + ".bps") + FileBytes(aside + ".txt"), keptBps + keptTxt);
        // Typed back: the file's own content again, and no recovery of it.
        f.type(IDC_LAYER1_LO, before);
        f.window->hotExit().Flush();
        QCOMPARE(recoveries().filter(QRegularExpression("^game\\.smc-[0-9a-f]{16}-[0-9A-F]{8}\\.(bps|txt)$")).size(), 0);
    }
    // The copy's own recovery is untouched.
    f.restart();
    QVERIFY(f.window->LoadRom(copy.qpath()));
    f.chooseGroup(5);
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("201"));
}

void TestHotExit::failedWriteOnLeavingAskedFirst_data() {
    QTest::addColumn<int>("leave");  // 0: the window closes, 1: Close ROM, 2: another ROM opened
    QTest::addColumn<bool>("stay");   // the answer
    QTest::addColumn<QString>("then");  // how the question ends
    const QString quit = "If you choose No, the program ends and they are lost.";
    const QString close = "If you choose No, the ROM is closed and they are lost.";
    const QString other = "If you choose No, the other ROM is opened and they are lost.";
    QTest::newRow("the window closes, the user stays") << 0 << true << quit;
    QTest::newRow("the window closes, the user goes") << 0 << false << quit;
    QTest::newRow("Close ROM, the user stays") << 1 << true << close;
    QTest::newRow("Close ROM, the user goes") << 1 << false << close;
    QTest::newRow("another ROM, the user stays") << 2 << true << other;
    QTest::newRow("another ROM, the user goes") << 2 << false << other;
}

void TestHotExit::failedWriteOnLeavingAskedFirst() {
    QFETCH(int, leave);
    QFETCH(bool, stay);
    QFETCH(QString, then);
    // The state folder on a tmpfs filled to the last byte.
    QTemporaryDir disk;
    const QByteArray mountPoint = QFile::encodeName(disk.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("a tmpfs can be mounted only by root");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    QVERIFY(QDir(disk.path()).mkpath("OMBattleAnim/unsaved"));
    QFile filler(disk.path() + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray block(4096, 'x');
    while (filler.write(block) > 0) {
    }
    qputenv("XDG_STATE_HOME", disk.path().toLocal8Bit());

    WindowFixture f;
    omtest::TempRom other(omtest::MakeTestImage(), "other.smc");
    QVERIFY(f.load());
    // The full folder has no room for the table history either: said once,
    // when the ROM is opened.
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QVERIFY2(f.desktop.shown[0].text.startsWith("The table history of this ROM could not be written"),
             qPrintable(f.desktop.shown[0].text));
    f.desktop.shown.clear();
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    bool romStillOpen = false;
    f.desktop.whileShowing = [&] {
        romStillOpen = f.window->isVisible() && f.window->isRomOpen() && f.window->isWindowModified();
    };
    f.desktop.answers = {stay ? Desktop::Answer::Yes : Desktop::Answer::No};
    if (leave == 0)
        f.window->close();
    else if (leave == 1)
        f.trigger(ID_FILE_CLOSEROM);
    else
        QCOMPARE(f.window->LoadRom(other.qpath()), !stay);
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    const auto& box = f.desktop.shown[0];
    QVERIFY2(box.text.startsWith("Your unsaved edits could not be kept in case the program ends: "),
             qPrintable(box.text));
    QVERIFY2(box.text.endsWith(". Keep the ROM open, to save your changes or export them as a "
                               "patch? " + then),
             qPrintable(box.text));
    QCOMPARE(box.buttons, Desktop::Buttons::YesNo);
    QVERIFY(romStillOpen);
    QCOMPARE(f.window->isVisible(), stay || leave != 0);
    QCOMPARE(f.window->isRomOpen(), stay || leave != 1);  // a closed window keeps it till it ends
    if (!stay)
        return;
    // Still there: Save writes the edit, and then the ROM is left without a word.
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("9"));
    f.click(IDC_SAVE);
    QCOMPARE(int(f.rom.bytes()[776862]), 9);
    f.window->close();
    QVERIFY(!f.window->isVisible());
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
}

QTEST_MAIN(TestHotExit)
#include "test_hotexit.moc"
