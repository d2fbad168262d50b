// Every write the program makes, where it really fails: a full disk (a small
// tmpfs mounted here when running as root), a failing or short write, a kill
// at a chosen write, another program rewriting, moving or deleting the open
// file, and an output the editor holds. Failures are reported, and leave
// files whole.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QtTest>

#include "CliRun.h"
#include "FaultInjection.h"
#include "MessageTexts.h"
#include "WindowFixture.h"

using namespace om;
using omtest::RunCli;
using omtest::WindowFixture;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr long kTable = 776862;  // the table of a headered image, 1,940 bytes
constexpr char kNoSpace[] = "No space left on device";

// Writes an image over path in place (the same file, new contents), as cp does.
bool Overwrite(const QString& path, const RomImage& image) { return image.writeFile(path.toStdString()); }

// The test image with every entry changed: what the reversed CSV imports.
RomImage Imported() {
    RomImage image = omtest::TestImage(true);
    for (int g = 0; g < 485; ++g)
        image.putEntry(g, std::uint8_t(255 - g % 256), 3, std::uint8_t(g % 256), 2);
    return image;
}

// A dump of Imported(), rows from group 484 down to 0.
QByteArray ReversedCsv() {
    QByteArray csv = "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description\n";
    for (int g = 484; g >= 0; --g)
        csv += QByteArray::number(g) + "," + QByteArray::number(qlonglong(kTable + 4 * g), 16) +
               "," + QByteArray::number(255 - g % 256) + ",3," + QByteArray::number(g % 256) +
               ",2,\n";
    return csv;
}

// The image with its two table pages (774144-782335) left as a hole in the
// file and zero, like every other all-zero page: a sparse file.
Bytes WriteSparse(const QString& path, RomImage image) {
    for (long at = 774144; at < 782336; ++at)
        image.put(at, 0);
    const Bytes& b = image.bytes();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    bool ok = fd >= 0 && ::ftruncate(fd, off_t(b.size())) == 0;
    for (std::size_t page = 0; ok && page < b.size(); page += 4096) {
        const std::size_t n = std::min<std::size_t>(4096, b.size() - page);
        if (std::any_of(b.begin() + long(page), b.begin() + long(page + n), [](auto c) { return c; }))
            ok = ::pwrite(fd, b.data() + page, n, off_t(page)) == ssize_t(n);
    }
    return ok && ::close(fd) == 0 ? b : Bytes();
}

// A 4 MiB tmpfs in a temporary folder, unmounted when the object goes.
struct SmallDisk {
    QTemporaryDir dir;
    QString refused;  // why it could not be mounted
    SmallDisk() {
        if (::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=4m") != 0)
            refused = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk() {
        if (refused.isEmpty())
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    // Fills it up, then frees pagesLeft pages of 4 KiB.
    bool fill(int pagesLeft) {
        const int fd = ::open(QFile::encodeName(path(".filler")).constData(), O_WRONLY | O_CREAT, 0600);
        static const char block[4096] = {1};
        off_t total = 0;
        for (ssize_t n; (n = ::write(fd, block, sizeof block)) > 0;)
            total += n;
        return errno == ENOSPC && ::ftruncate(fd, total - 4096 * pagesLeft) == 0 && ::close(fd) == 0;
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

// Runs the companion under strace with the given options, its log in log;
// the exit status, -1 when it was killed.
int Traced(const QStringList& strace, const QStringList& args, const QString& log) {
    QProcess p;
    // LeakSanitizer cannot run under ptrace: the sanitizer build's leak check stays off here.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("strace"), QStringList{"-f", "-qq", "-o", log} + strace +
                                         QStringList{QString::fromLocal8Bit(qgetenv("OM_CLI"))} + args);
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

}  // namespace

class TestWrites : public QObject {
    Q_OBJECT
private slots:
    void fullDisk_data();
    void fullDisk();
    void saveFailsWhole_data();
    void saveFailsWhole();
    void saveOnlyIntoTheFileRead_data();
    void saveOnlyIntoTheFileRead();
    void cliWritesTheTableInOnePiece();
    void heldOutputIsNotReplaced();
    void outputsAtTheEdges_data();
    void outputsAtTheEdges();
    void staleTemporariesGo_data();
    void staleTemporariesGo();
};

void TestWrites::fullDisk_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("pagesLeft");
    for (const char* what : {"make-patch", "apply-patch", "make-demo-rom", "set", "Export Patch"})
        QTest::newRow(what) << what << 0;
    // One page is room for half of the table only.
    QTest::newRow("import, reversed rows") << "import" << 1;
    QTest::newRow("Save") << "Save" << 1;
}

// On a full disk every write is reported, with the file and the reason,
// and leaves no new or partly written file behind.
void TestWrites::fullDisk() {
    QFETCH(QString, what);
    QFETCH(int, pagesLeft);
    SmallDisk disk;
    if (!disk.refused.isEmpty())
        QSKIP(qPrintable("a tmpfs cannot be mounted here (" + disk.refused + "); needs root"));
    QTemporaryDir inputs;
    const RomImage original = omtest::TestImage(true);
    const QString orig = inputs.filePath("orig.smc"), mod = inputs.filePath("mod.smc");
    QVERIFY(Overwrite(orig, original) && Overwrite(mod, Imported()));
    QVERIFY(RunCli({"make-patch", orig, mod, inputs.filePath("p.bps")}).exitCode == 0);
    const QString rom = disk.path("game.smc"), out = disk.path("out");
    const Bytes sparse = WriteSparse(rom, original);
    QVERIFY(!sparse.empty());
    WindowFixture f;
    if (what == "Save" || what == "Export Patch") {
        QVERIFY(f.window->LoadRom(what == "Save" ? rom : f.rom.qpath()));
        f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    }
    QVERIFY(disk.fill(pagesLeft));
    const QStringList before = disk.files();

    const QMap<QString, QStringList> args{
        {"make-patch", {"make-patch", orig, mod, out, "--format", "bps"}},
        {"apply-patch", {"apply-patch", orig, inputs.filePath("p.bps"), out}},
        {"make-demo-rom", {"make-demo-rom", out}},
        {"set", {"set", rom, "0", "1", "2", "3", "4"}},
        {"import", {"import", rom, inputs.filePath("t.csv")}}};
    if (args.contains(what)) {
        QVERIFY(omtest::WriteText(inputs.filePath("t.csv"), ReversedCsv()));
        const QString named = what == "set" || what == "import" ? rom : out;
        OM_CHECK_REFUSED(RunCli(args[what]), 1, "cannot write '" + named.toUtf8() + "': " + kNoSpace);
    } else {
        f.desktop.patchFiles = {out};
        omtest::FaultInjection counted;  // no faults: the disk is full
        f.window->command(what == "Save" ? ID_FILE_SAVECHANGES : ID_FILE_EXPORTPATCH)->trigger();
        QCOMPARE(omtest::FaultInjection::writes, 0);  // refused before writing
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        if (what == "Save")
            QCOMPARE(f.desktop.shown[0].text, omtest::kSaveFailed);
        else
            QVERIFY(f.desktop.shown[0].text.contains(QStringLiteral("'%1': %2").arg(out, QString::fromLatin1(kNoSpace))));
        QCOMPARE(f.field(IDC_LAYER1_LO)->value(), 9);  // the edit is still there
    }
    QCOMPARE(disk.files(), before);
    QVERIFY(omtest::ReadFileBytes(rom.toStdString()) == sparse);
}

void TestWrites::saveFailsWhole_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("writes");
    QTest::addColumn<bool>("tableNew");
    QTest::newRow("none: one write") << "" << 1 << true;
    QTest::newRow("the write fails") << "fail" << 1 << false;
    QTest::newRow("half the table written, then the old one back") << "short" << 2 << false;
    QTest::newRow("the sync fails") << "sync" << 1 << true;
}

// Save puts the whole table in one write: any failure leaves it all old or
// (only a failed sync) all new, says so, and the next Save goes through.
void TestWrites::saveFailsWhole() {
    QFETCH(QString, fault);
    QFETCH(int, writes);
    QFETCH(bool, tableNew);
    WindowFixture f;
    QVERIFY(f.load());
    f.type(IDC_LAYER2_HI, QStringLiteral("2"));  // group 0, and 484: both ends
    f.chooseGroup(484);
    f.type(IDC_LAYER2_HI, QStringLiteral("2"));
    RomImage saved = omtest::TestImage(true);
    saved.putEntry(0, 0, 0, 255, 2);
    saved.putEntry(484, 228, 1, 27, 2);
    {
        omtest::FaultInjection faults;
        omtest::FaultInjection::failWriteAt = fault == "fail" ? 1 : 0;
        omtest::FaultInjection::shortWriteAt = fault == "short" ? 1 : 0;
        omtest::FaultInjection::syncFails = fault == "sync";
        f.window->OnFileSaveChanges();
        QCOMPARE(omtest::FaultInjection::writes, writes);
    }
    QCOMPARE(f.desktop.shown.size(), std::size_t(fault.isEmpty() ? 0 : 1));
    if (!fault.isEmpty())
        QCOMPARE(f.desktop.shown[0].text, omtest::kSaveFailed);
    QCOMPARE(f.window->isWindowModified(), !fault.isEmpty());  // a failed Save keeps the mark
    QVERIFY(f.rom.bytes() == (tableNew ? saved.bytes() : omtest::TestImage(true).bytes()));
    f.window->OnFileSaveChanges();
    QCOMPARE(f.desktop.shown.size(), std::size_t(fault.isEmpty() ? 0 : 1));
    QVERIFY(f.rom.bytes() == saved.bytes());
}

void TestWrites::saveOnlyIntoTheFileRead_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("says");
    for (const char* change : {"only touched", "one table byte changed, the time put back"})
        QTest::newRow(change) << change << omtest::kFileChanged;
    // Gone from its path (as an editor that keeps a backup moves it), the
    // file can never be saved into: the message points to Export Patch.
    for (const char* change : {"deleted", "kept as a backup, the path taken by a new file",
                               "replaced by a new file renamed over it"})
        QTest::newRow(change) << change << omtest::kFileGone;
}

// Another program changes, moves or deletes the open file after a Save: the
// next Save writes nothing, says so, and keeps the edits.
void TestWrites::saveOnlyIntoTheFileRead() {
    QFETCH(QString, change);
    QFETCH(QString, says);
    WindowFixture f;
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    f.window->OnFileSaveChanges();
    f.type(IDC_LAYER1_LO, QStringLiteral("8"));
    const QString path = f.rom.qpath();
    const QByteArray name = QFile::encodeName(path);
    if (change.startsWith("only"))
        QVERIFY(omtest::AgeFile(path));
    else if (change == "deleted")
        QVERIFY(QFile::remove(path));
    else if (change.startsWith("kept as a backup"))
        QVERIFY(QFile::rename(path, path + "~") && Overwrite(path, Imported()));
    else if (change.startsWith("replaced"))
        QVERIFY(Overwrite(path + ".new", Imported()) &&
                ::rename(QFile::encodeName(path + ".new").constData(), name.constData()) == 0);
    else {
        const struct timespec saved = omtest::ModificationTime(path);
        const int fd = ::open(name.constData(), O_WRONLY);
        QCOMPARE(::pwrite(fd, "\x77", 1, kTable + 1000), ssize_t(1));
        ::close(fd);
        const struct timespec times[2] = {saved, saved};
        QCOMPARE(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
    }
    const Bytes theirs = f.rom.bytes();
    QVERIFY(f.desktop.shown.empty());
    f.window->OnFileSaveChanges();
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, says);
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
    QVERIFY(f.rom.bytes() == theirs);
    QCOMPARE(f.field(IDC_LAYER1_LO)->value(), 8);
    QCOMPARE(f.data.record(0).layer1Lo, 8);
}

// import and set write the table with one pwrite; import killed at its
// first, second ... write leaves the table all old or all new.
void TestWrites::cliWritesTheTableInOnePiece() {
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        QSKIP("strace is not installed");
    QTemporaryDir dir;
    const QString rom = dir.filePath("game.smc"), csv = dir.filePath("t.csv"), log = dir.filePath("log");
    QVERIFY(omtest::WriteText(csv, ReversedCsv()));
    const Bytes old = omtest::TestImage(true).bytes(), imported = Imported().bytes();
    for (const QStringList& args : {QStringList{"import", rom, csv}, QStringList{"set", rom, "7", "1", "2", "3", "4"}}) {
        QVERIFY(Overwrite(rom, omtest::TestImage(true)));
        QCOMPARE(Traced({"-e", "trace=pwrite64"}, args, log), 0);
        QFile traced(log);
        QVERIFY(traced.open(QIODevice::ReadOnly));
        // The table's 1,940 bytes in one pwrite; the table history's record
        // (3,900 bytes) is the only other.
        QCOMPARE(traced.readAll().count(", 1940, "), 1);
    }
    for (int n : {1, 2, 3, 100, 344, 485}) {
        QVERIFY(Overwrite(rom, omtest::TestImage(true)));
        Traced({"-e", "trace=pwrite64", "-e", QStringLiteral("inject=pwrite64:signal=SIGKILL:when=%1").arg(n)},
               {"import", rom, csv}, log);
        const Bytes now = omtest::ReadFileBytes(rom.toStdString());
        QVERIFY2(now == old || now == imported, qPrintable(QString::number(n)));
    }
    // A history record whose sync fails is taken back: the set still
    // succeeds, and the history is left as it was, every record whole.
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_STATE_HOME", oldState); });
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path()));
    QVERIFY(Overwrite(rom, omtest::TestImage(true)));
    QCOMPARE(omtest::RunCli({"set", rom, "7", "1", "2", "3", "4"}).exitCode, 0);
    const QStringList hist = QDir(dir.filePath("OMBattleAnim/history")).entryList({"*.hist"});
    QCOMPARE(hist.size(), 1);
    const std::string kept = dir.filePath("OMBattleAnim/history/" + hist[0]).toStdString();
    const Bytes before = omtest::ReadFileBytes(kept);
    QCOMPARE(Traced({"-P", QString::fromStdString(kept), "-e", "trace=fdatasync", "-e", "inject=fdatasync:error=EIO"},
                    {"set", rom, "8", "5", "6", "7", "8"}, log),
             0);
    QCOMPARE(omtest::ReadFileBytes(rom.toStdString())[std::size_t(kTable + 8 * 4)], std::uint8_t(5));
    QCOMPARE(omtest::ReadFileBytes(kept), before);
}

// An output the editor holds is refused and left as it is, whatever
// writes it.
void TestWrites::heldOutputIsNotReplaced() {
    WindowFixture f;
    QVERIFY(f.load());
    QTemporaryDir dir;
    const QString orig = dir.filePath("orig.smc"), mod = dir.filePath("mod.smc");
    QVERIFY(Overwrite(orig, omtest::TestImage(true)) && Overwrite(mod, Imported()));
    QVERIFY(RunCli({"make-patch", orig, mod, dir.filePath("p.bps")}).exitCode == 0);
    const QString held = f.rom.qpath();
    const omtest::Untouched untouched(f.rom);
    const QList<QStringList> commands = {{"apply-patch", orig, dir.filePath("p.bps"), held},
                                         {"make-patch", orig, mod, held, "--format", "bps"},
                                         {"make-demo-rom", held}};
    for (const QStringList& args : commands) {
        const QByteArray says = args[0] == "make-demo-rom" ? "already exists" : "is open in the editor";
        OM_CHECK_REFUSED(RunCli(args), 1, says);
        QVERIFY(untouched.holds());
    }
    QCOMPARE(QDir(f.rom.dir()).entryList(QDir::Files | QDir::Hidden), QStringList{"game.smc"});
}

// Every writing command, and Export Patch, on one rule: a name as long as
// the folder allows is written (its temporary name fits too); a symbolic
// link is followed to the file it leads to; a link that leads to no file
// (dangling, or in a loop) is refused and left as it is. No temporary file
// is left either way.
void TestWrites::outputsAtTheEdges_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("says");  // "" when it is written
    const QByteArray noFile = "is a symbolic link that leads to no file";
    for (const char* command : {"make-patch", "apply-patch", "make-demo-rom", "Export Patch"}) {
        const auto row = [&](const char* out, const QString& says) {
            QTest::addRow("%s, %s", command, out) << command << out << says;
        };
        row("a 255-byte name", "");
        row("a dangling link", noFile);
        row("a link in a loop", noFile);
        row("a link to a file", QByteArray(command) == "make-demo-rom" ? "already exists" : "");
    }
}

void TestWrites::outputsAtTheEdges() {
    QFETCH(QString, command);
    QFETCH(QString, out);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString orig = dir.filePath("orig.smc"), mod = dir.filePath("mod.smc");
    const QString patch = dir.filePath("p.bps"), linked = dir.filePath("linked.out");
    QVERIFY(Overwrite(orig, omtest::TestImage(true)) && Overwrite(mod, Imported()));
    QCOMPARE(RunCli({"make-patch", orig, mod, patch}).exitCode, 0);
    const QString ext = command == "make-patch" || command == "Export Patch" ? ".bps" : ".smc";
    const QString path = out == "a 255-byte name" ? dir.filePath(QString(251, 'n') + ext)
                                                  : dir.filePath("out" + ext);
    const QByteArray pathBytes = QFile::encodeName(path);
    const QByteArray old = "the old file";
    if (out == "a dangling link")
        QCOMPARE(::symlink("missing.out", pathBytes.constData()), 0);
    if (out == "a link in a loop")
        QCOMPARE(::symlink(pathBytes.constData(), pathBytes.constData()), 0);
    if (out == "a link to a file") {
        QFile f(linked);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        f.close();
        QCOMPARE(::symlink("linked.out", pathBytes.constData()), 0);
    }
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

    bool written = false;
    if (command == "Export Patch") {
        WindowFixture f;
        QVERIFY(f.load());
        f.type(IDC_LAYER1_LO, QStringLiteral("9"));
        f.desktop.patchFiles = {path};
        f.window->OnFileExportPatch();
        // A patch written is told with the information icon, and nothing else.
        written = f.desktop.shown.size() == 1 &&
                  f.desktop.shown[0].icon == Desktop::Icon::Information;
        if (!says.isEmpty()) {
            QCOMPARE(f.desktop.shown.size(), std::size_t(1));
            QVERIFY2(f.desktop.shown[0].text.contains(says), qPrintable(f.desktop.shown[0].text));
        }
    } else {
        const QStringList args = command == "make-patch"    ? QStringList{command, orig, mod, path}
                                 : command == "apply-patch" ? QStringList{command, orig, patch, path}
                                                            : QStringList{command, path};
        const omtest::CliRun r = RunCli(args);
        if (says.isEmpty())
            QVERIFY2(r.exitCode == 0, r.err.constData());
        else
            OM_CHECK_REFUSED(r, 1, says.toUtf8());
        written = r.exitCode == 0;
    }
    QCOMPARE(written, says.isEmpty());

    // The link stays a link, to where it led; what it leads to is written
    // or left alone; nothing else appears.
    struct stat st {};
    QCOMPARE(::lstat(pathBytes.constData(), &st), 0);
    QCOMPARE(S_ISLNK(st.st_mode), out.contains("link"));
    QStringList after = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    if (out == "a 255-byte name")
        QVERIFY(after.removeOne(QFileInfo(path).fileName()));
    QCOMPARE(after, before);
    const QString target = out == "a link to a file" ? linked : path;
    QFile result(target);
    if (out == "a link to a file" || written) {
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll() == old, !written);
    }
    if (out == "a dangling link")
        QVERIFY(!QFile::exists(dir.filePath("missing.out")));
}

// A temporary file that a killed writer left is removed by the next write in
// its folder once it is an hour old and its writer is gone (another boot, or
// a process that no longer runs); the editor removes its own from the
// recoveries' folder when it starts, at any age. Nothing else goes.
void TestWrites::staleTemporariesGo_data() {
    QTest::addColumn<QString>("where");  // "make-patch": its output's folder; "start-up"
    QTest::addColumn<QString>("name");   // PID: no such process; ME: this one; BOOT: this boot's
    QTest::addColumn<int>("minutes");    // its age
    QTest::addColumn<bool>("removed");
    for (const char* where : {"make-patch", "start-up"}) {
        const bool startUp = QByteArray(where) == "start-up";
        const auto row = [&](const char* what, const char* name, int minutes, bool removed) {
            QTest::addRow("%s, %s", where, what) << where << name << minutes << removed;
        };
        row("writer gone, 2 hours old", ".game.bps.omtmp-PID-BOOT-Ab12Cd", 120, true);
        row("writer gone, 10 minutes old", ".game.bps.omtmp-PID-BOOT-Ab12Cd", 10, startUp);
        row("written before this boot", ".game.bps.omtmp-ME-OTHER-Ab12Cd", 120, true);
        row("writer still running", ".game.bps.omtmp-ME-BOOT-Ab12Cd", 120, false);
        row("another program's hidden file", ".game.bps.Ab12Cd", 120, false);
        row("not hidden", "game.bps.omtmp-PID-BOOT-Ab12Cd", 120, false);
        row("a symbolic link so named", "LINK.game.bps.omtmp-PID-BOOT-Ab12Cd", 120, false);
    }
}

void TestWrites::staleTemporariesGo() {
    QFETCH(QString, where);
    QFETCH(QString, name);
    QFETCH(int, minutes);
    QFETCH(bool, removed);
    QFile bootId("/proc/sys/kernel/random/boot_id");
    QVERIFY(bootId.open(QIODevice::ReadOnly));
    const QString boot = QString::fromLatin1(bootId.readAll().left(8));
    QFile pidMax("/proc/sys/kernel/pid_max");
    QVERIFY(pidMax.open(QIODevice::ReadOnly));
    const bool link = name.startsWith("LINK");
    name.remove(0, link ? 4 : 0);
    name.replace("PID", QString::number(pidMax.readAll().trimmed().toLong() + 1))
        .replace("ME", QString::number(QCoreApplication::applicationPid()))
        .replace("OTHER", boot[0] == '0' ? "1" + boot.mid(1) : "0" + boot.mid(1))
        .replace("BOOT", boot);

    QTemporaryDir dir;
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_STATE_HOME", oldState); });
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path()));
    const QString in = where == "start-up" ? dir.filePath("OMBattleAnim/unsaved") : dir.path();
    QVERIFY(QDir().mkpath(in));
    const QString path = in + "/" + name;
    {
        QFile f(link ? in + "/kept.txt" : path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("half a patch") == 12);
    }
    if (link)
        QVERIFY(QFile::link("kept.txt", path));
    const QDateTime then = QDateTime::currentDateTime().addSecs(-60 * minutes);
    const timespec times[2] = {{then.toSecsSinceEpoch(), 0}, {then.toSecsSinceEpoch(), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);

    if (where == "start-up") {
        WindowFixture f;
    } else {
        const QString orig = dir.filePath("orig.smc"), mod = dir.filePath("mod.smc");
        QVERIFY(Overwrite(orig, omtest::TestImage(true)) && Overwrite(mod, Imported()));
        QCOMPARE(RunCli({"make-patch", orig, mod, dir.filePath("game.bps")}).exitCode, 0);
    }
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &st) == 0, !removed);
}

QTEST_MAIN(TestWrites)
#include "test_writes.moc"
