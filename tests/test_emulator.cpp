// Tools > Run in Emulator and Tools > Emulator..., driven through the real
// main window with a stand-in emulator (tests/fake_emulator.cpp) that
// records its arguments and the image it was given.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QUndoStack>
#include <QtTest>
#include <optional>

#include "ScriptedDesktop.h"
#include "TestImages.h"
#include "WindowFixture.h"
#include "app/EditHistory.h"
#include "app/EmulatorRun.h"
#include "romdata/EmulatorCopies.h"

using namespace om;
using namespace omtest;

namespace {

// Group 0's entry in an image with a copier header; its four bytes are the
// layer 1 and layer 2 numbers, low byte first.
constexpr long kGroup0Entry = 0xBDA9E;

QStringList Lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

std::vector<std::uint8_t> Bytes(const QString& path) { return ReadFileBytes(QFile::encodeName(path).toStdString()); }

// An executable file (an empty script) named name in folder.
void MakeProgram(const QString& folder, const QString& name) {
    QDir().mkpath(folder);
    QFile f(folder + QLatin1Char('/') + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

// The command that runs the stand-in: it records into record (a path with
// a space, so the quotes must be read as a shell reads them).
QString FakeCommand(const QString& record, const char* mode) {
    return QStringLiteral("\"%1\" \"%2\" %3 %f").arg(qEnvironmentVariable("OM_FAKE_EMULATOR"), record,
                                                      QString::fromLatin1(mode));
}

}  // namespace

class TestEmulator : public QObject {
    Q_OBJECT
    QTemporaryDir runtime_;  // $XDG_RUNTIME_DIR
    QTemporaryDir work_;

    QString base() const { return runtime_.path() + QStringLiteral("/OMBattleAnim"); }
    // The copies in the folder, as "sub-folder/name", locks left out.
    QStringList copies() const {
        QStringList found;
        const QDir dir(base());
        for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString& name : QDir(dir.filePath(sub)).entryList(QDir::Files))
                found << sub + QLatin1Char('/') + name;
        return found;
    }

private slots:
    void initTestCase() {
        QVERIFY(QFileInfo(qEnvironmentVariable("OM_FAKE_EMULATOR")).isExecutable());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
        QDir().mkpath(work_.path() + QStringLiteral("/rec ords"));
    }
    void init() { StoreEmulatorCommand(QString()); }

    // F5 with an edit not yet saved, still in its field: the copy is the
    // file with that edit, the emulator gets it, and nothing of the
    // editor's changes. A second F5 closes the first emulator and runs the
    // new state; the end of the editor closes the emulator and removes the copy.
    void runsTheImageAsShown() {
        const QString record1 = work_.path() + QStringLiteral("/rec ords/first");
        const QString record2 = work_.path() + QStringLiteral("/rec ords/second");
        WindowFixture f;
        QAction* run = f.window->command(ID_TOOLS_RUNEMULATOR);
        QVERIFY(!run->isEnabled());
        QCOMPARE(run->shortcut(), QKeySequence(Qt::Key_F5));
        QVERIFY(f.load());
        QVERIFY(run->isEnabled());
        StoreEmulatorCommand(FakeCommand(record1, "stay"));

        const std::vector<std::uint8_t> original = f.rom.bytes();
        f.type(IDC_LAYER2_HI, QStringLiteral("77"));
        const int steps = f.window->history().stack()->count();
        QVERIFY(f.window->isWindowModified());
        QTest::keyClick(f.window.get(), Qt::Key_F5);
        QTRY_VERIFY(QFileInfo::exists(record1));

        std::vector<std::uint8_t> expected = original;
        expected[kGroup0Entry + 3] = 77;
        const QStringList args = Lines(record1);
        QCOMPARE(args.size(), 2);
        QCOMPARE(args[0], QStringLiteral("stay"));
        const QString copy = args[1];
        QCOMPARE(QFileInfo(copy).fileName(), QStringLiteral("game.smc"));
        QCOMPARE(QFileInfo(QFileInfo(copy).path()).path(), base());
        QCOMPARE(copies().size(), 1);
        QVERIFY(Bytes(record1 + QStringLiteral(".image")) == expected);
        QVERIFY(Bytes(copy) == expected);
        // The file, the history and the mark as they were; the edit still shown.
        QVERIFY(f.rom.bytes() == original);
        QCOMPARE(f.window->history().stack()->count(), steps);
        QVERIFY(f.window->isWindowModified());
        QCOMPARE(f.text(IDC_LAYER2_HI), QStringLiteral("77"));
        QVERIFY(f.desktop.shown.empty());
        // Running once the editor has heard that it started (the record may
        // be written before that under load).
        QProcess* first = f.window->emulator().process();
        QVERIFY(first);
        QTRY_COMPARE(first->state(), QProcess::Running);
        const qint64 firstPid = first->processId();

        // Another edit, and F5 again.
        f.type(IDC_LAYER1_LO, QStringLiteral("42"));
        StoreEmulatorCommand(FakeCommand(record2, "stay"));
        f.trigger(ID_TOOLS_RUNEMULATOR);
        QTRY_VERIFY(QFileInfo::exists(record2));
        QCOMPARE(::kill(pid_t(firstPid), 0), -1);  // the first one is closed
        expected[kGroup0Entry] = 42;
        QVERIFY(Bytes(record2 + QStringLiteral(".image")) == expected);
        QCOMPARE(Lines(record2), (QStringList{QStringLiteral("stay"), copy}));
        QCOMPARE(copies().size(), 1);
        QVERIFY(f.rom.bytes() == original);
        QVERIFY(f.desktop.shown.empty());

        const qint64 secondPid = f.window->emulator().process()->processId();
        f.window.reset();
        QCOMPARE(::kill(pid_t(secondPid), 0), -1);
        QVERIFY(!QFileInfo::exists(copy));
        QCOMPARE(QDir(base()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // What is reported, and that nothing runs then: no emulator at all, one
    // that cannot be started, one that ends at once with an error.
    void failuresAreReported_data() {
        QTest::addColumn<QString>("command");  // empty: none set, none found
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("informative");  // what the reason must hold
        QTest::addColumn<QStringList>("notInformative");
        QTest::addColumn<bool>("copyWritten");
        QTest::newRow("none set and none found")
            << QString() << QString::fromLatin1(kNoEmulatorText) << QStringList() << QStringList()
            << false;
        QTest::newRow("a program that is not there")
            << QStringLiteral("/nonexistent/emulator -f %f")
            << QStringLiteral("The emulator could not be started.")
            << QStringList{QStringLiteral("/nonexistent/emulator -f %f")} << QStringList() << true;
        QTest::newRow("exits at once with status 3")
            << QStringLiteral("fail") << QStringLiteral("The emulator stopped at once with an error.")
            << QStringList{QStringLiteral("It exited with status 3."), QStringLiteral("emulator line 5\n"),
                           QStringLiteral("emulator line 12")}
            << QStringList{QStringLiteral("emulator line 4\n")} << true;
    }
    void failuresAreReported() {
        QFETCH(QString, command);
        QFETCH(QString, text);
        QFETCH(QStringList, informative);
        QFETCH(QStringList, notInformative);
        QFETCH(bool, copyWritten);
        const QString record = work_.path() + QStringLiteral("/rec ords/") + QTest::currentDataTag();
        const QByteArray path = qgetenv("PATH");
        // Nowhere to find an emulator: an empty PATH and no other folder.
        qputenv("PATH", QFile::encodeName(work_.path() + QStringLiteral("/empty")));
        WindowFixture f;
        f.window->emulator().setSearch({});
        QVERIFY(f.load());
        StoreEmulatorCommand(command == QLatin1String("fail") ? FakeCommand(record, "fail") : command);
        f.trigger(ID_TOOLS_RUNEMULATOR);
        QTRY_COMPARE(f.desktop.shown.size(), std::size_t(1));
        qputenv("PATH", path);
        QCOMPARE(f.desktop.shown[0].text, text);
        for (const QString& part : informative)
            QVERIFY2(f.desktop.shown[0].informative.contains(part), qPrintable(f.desktop.shown[0].informative));
        for (const QString& part : notInformative)
            QVERIFY2(!f.desktop.shown[0].informative.contains(part), qPrintable(f.desktop.shown[0].informative));
        QCOMPARE(copies().size(), copyWritten ? 1 : 0);
        QTRY_VERIFY(!f.window->emulator().process());
        QVERIFY(!f.window->isWindowModified());
        // Reported once only.
        QTest::qWait(50);
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    }

    // Tools > Emulator...: the dialog shows the command kept, and what the
    // user leaves in it is kept; cancelled, nothing changes; emptied, the
    // setting goes (and the first emulator found is used).
    void commandIsKept() {
        WindowFixture f;
        QVERIFY(f.window->command(ID_TOOLS_EMULATOR)->isEnabled());
        f.desktop.emulatorCommands = {QStringLiteral(" mednafen -sound 0 %f "), std::nullopt,
                                      QString()};
        f.trigger(ID_TOOLS_EMULATOR);
        QCOMPARE(QSettings(QStringLiteral("OMBattleAnim"), QStringLiteral("OMBattleAnim"))
                     .value(QStringLiteral("Emulator/Command")).toString(),
                 QStringLiteral("mednafen -sound 0 %f"));
        f.trigger(ID_TOOLS_EMULATOR);
        QCOMPARE(StoredEmulatorCommand(), QStringLiteral("mednafen -sound 0 %f"));
        QCOMPARE(f.window->emulator().Command(), QStringLiteral("mednafen -sound 0 %f"));
        f.trigger(ID_TOOLS_EMULATOR);
        QCOMPARE(f.desktop.shownCommands,
                 (QStringList{QString(), QStringLiteral("mednafen -sound 0 %f"),
                              QStringLiteral("mednafen -sound 0 %f")}));
        QVERIFY(!QSettings(QStringLiteral("OMBattleAnim"), QStringLiteral("OMBattleAnim"))
                     .contains(QStringLiteral("Emulator/Command")));
        const QString folder = work_.path() + QStringLiteral("/games");
        MakeProgram(folder, QStringLiteral("mednafen"));
        f.window->emulator().setSearch({{folder}, {}});
        QCOMPARE(f.window->emulator().Command(), folder + QStringLiteral("/mednafen %f"));
    }

    // The command line split as a shell splits it; %f is the copy.
    void arguments_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("arguments");
        const QString file = QStringLiteral("/run/a b/it's \"x\".smc");
        QTest::newRow("program and %f") << "mednafen %f" << QStringList{"mednafen", file};
        QTest::newRow("quoted core path")
            << "retroarch -L \"/usr/lib/a core/snes.so\" %f"
            << QStringList{"retroarch", "-L", "/usr/lib/a core/snes.so", file};
        QTest::newRow("%f inside an argument") << "emu --rom=%f -x" << QStringList{"emu", "--rom=" + file, "-x"};
        QTest::newRow("no %f: the file last") << "emu -sound 0" << QStringList{"emu", "-sound", "0", file};
        QTest::newRow("quoted %f") << "\"my emu\" \"%f\"" << QStringList{"my emu", file};
        QTest::newRow("no shell: ; and $ are plain text")
            << "emu ; rm $HOME %f" << QStringList{"emu", ";", "rm", "$HOME", file};
        QTest::newRow("nothing") << "   " << QStringList{};
    }
    void arguments() {
        QFETCH(QString, command);
        QFETCH(QStringList, arguments);
        QCOMPARE(EmulatorArguments(command, QStringLiteral("/run/a b/it's \"x\".smc")), arguments);
    }

    // Without a setting, the first emulator found, in this order.
    void firstFound_data() {
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<QStringList>("cores");
        QTest::addColumn<QString>("command");  // "@" stands for the programs' folder
        QTest::newRow("mednafen before all")
            << QStringList{"higan", "bsnes", "snes9x", "snes9x-gtk", "mednafen"} << QStringList{}
            << "@/mednafen %f";
        QTest::newRow("snes9x-gtk") << QStringList{"higan", "snes9x-gtk", "retroarch"}
                                    << QStringList{"snes9x_libretro.so"} << "@/snes9x-gtk %f";
        QTest::newRow("snes9x") << QStringList{"snes9x", "bsnes"} << QStringList{} << "@/snes9x %f";
        QTest::newRow("bsnes") << QStringList{"bsnes", "higan"} << QStringList{} << "@/bsnes %f";
        QTest::newRow("higan") << QStringList{"higan"} << QStringList{} << "@/higan %f";
        QTest::newRow("retroarch with a core")
            << QStringList{"retroarch"} << QStringList{"bsnes_libretro.so"}
            << "@/retroarch -L \"@/co res/bsnes_libretro.so\" %f";
        QTest::newRow("retroarch without a core") << QStringList{"retroarch"} << QStringList{} << "";
        QTest::newRow("none") << QStringList{} << QStringList{} << "";
    }
    void firstFound() {
        QFETCH(QStringList, programs);
        QFETCH(QStringList, cores);
        QFETCH(QString, command);
        QTemporaryDir dir;
        const QString bin = dir.path() + QStringLiteral("/bin");
        const QString coreDir = bin + QStringLiteral("/co res");
        QDir().mkpath(coreDir);
        for (const QString& p : programs)
            MakeProgram(bin, p);
        for (const QString& c : cores)
            QVERIFY(QFile(coreDir + QLatin1Char('/') + c).open(QIODevice::WriteOnly));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.path() + QStringLiteral("/empty")));
        const QString found = FindEmulatorCommand({{bin}, {coreDir}});
        qputenv("PATH", path);
        QCOMPARE(found, QString(command).replace(QLatin1Char('@'), bin));
    }

    // At start-up the copies of editors that no longer run go; those of a
    // running one (another process holding its lock) stay.
    void abandonedCopiesRemoved() {
        const QString ended = base() + QStringLiteral("/ended");
        const QString running = base() + QStringLiteral("/running");
        for (const QString& sub : {ended, running}) {
            QVERIFY(QDir().mkpath(sub));
            QFile copy(sub + QStringLiteral("/game.smc"));
            QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write("copy") == 4);
            QFile lock(sub + QStringLiteral(".lock"));
            QVERIFY(lock.open(QIODevice::WriteOnly));
        }
        QFile orphan(base() + QStringLiteral("/orphan.lock"));
        QVERIFY(orphan.open(QIODevice::WriteOnly));
        orphan.close();
        QProcess holder;
        // -o: the lock is flock's alone, not also its sleep's.
        holder.start(QStringLiteral("flock"), {QStringLiteral("-no"), running + QStringLiteral(".lock"),
                                               QStringLiteral("sleep"), QStringLiteral("60")});
        QVERIFY(holder.waitForStarted());
        QTest::qWait(200);
        QCOMPARE(holder.state(), QProcess::Running);
        {
            WindowFixture f;
            QCOMPARE(QDir(base()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     (QStringList{"running", "running.lock"}));
        }
        holder.kill();
        holder.waitForFinished();
        WindowFixture f;
        QCOMPARE(QDir(base()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // The copy's folder without $XDG_RUNTIME_DIR: the state folder's.
    void folderWithoutRuntimeDir() {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray state = qgetenv("XDG_STATE_HOME");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_STATE_HOME", "/some/state");
        const std::string folder = EmulatorCopyFolder();
        qputenv("XDG_RUNTIME_DIR", "relative/run");
        const std::string relative = EmulatorCopyFolder();
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("XDG_STATE_HOME", state);
        QCOMPARE(QString::fromStdString(folder), QStringLiteral("/some/state/OMBattleAnim/emulator"));
        QCOMPARE(QString::fromStdString(relative), QStringLiteral("/some/state/OMBattleAnim/emulator"));
        QCOMPARE(QString::fromStdString(EmulatorCopyFolder()), base());
    }
};

QTEST_MAIN(TestEmulator)
#include "test_emulator.moc"
