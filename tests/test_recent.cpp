// File > Open Recent, and the folders the file dialogs start in. The list
// lives in the settings, which each test points at a folder of its own.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QtTest>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "MessageTexts.h"
#include "ShownText.h"
#include "WindowFixture.h"

using namespace om;
using omtest::WindowFixture;

namespace {

// The submenu's entries as shown, a separator as an empty text.
QStringList RecentTexts(const CBattleAnimDlg& w) {
    QStringList texts;
    for (const QAction* a : w.command(ID_FILE_OPENRECENT)->menu()->actions())
        if (a->isVisible())
            texts.append(a->isSeparator() ? QString() : a->text());
    return texts;
}

}  // namespace

class TestRecent : public QObject {
    Q_OBJECT
private slots:
    void init();
    void listAfterOpens_data();
    void listAfterOpens();
    void foldersTheDialogsStartIn_data();
    void foldersTheDialogsStartIn();
    void namesKeptAsTheirBytes();
    void unusableSettings_data();
    void unusableSettings();

private:
    std::unique_ptr<QTemporaryDir> settings_;
};

void TestRecent::init() {
    settings_ = std::make_unique<QTemporaryDir>();
    omtest::PrivateSettings::use(settings_->path());
}

void TestRecent::listAfterOpens_data() {
    QTest::addColumn<QList<int>>("opens");  // rom0.smc ... rom9.smc; 10: sub/rom0.smc; 11: markup
    QTest::addColumn<QString>("then");      // "clear", or "choose gone": rom0 deleted, chosen
    QTest::addColumn<QList<int>>("shown");   // the ROMs listed, in order
    QTest::addColumn<QStringList>("texts");  // DIR: the ROMs' folder
    const QString clear = QStringLiteral("&Clear List");
    QTest::newRow("none") << QList<int>{} << "" << QList<int>{} << QStringList{clear};
    QTest::newRow("newest first, a reopened one moves up")
        << QList<int>{0, 1, 2, 0} << "" << QList<int>{0, 2, 1}
        << QStringList{"&1 rom0.smc", "&2 rom2.smc", "&3 rom1.smc", "", clear};
    QTest::newRow("eight at most")
        << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9} << "" << QList<int>{9, 8, 7, 6, 5, 4, 3, 2}
        << QStringList{"&1 rom9.smc", "&2 rom8.smc", "&3 rom7.smc", "&4 rom6.smc",
                       "&5 rom5.smc", "&6 rom4.smc", "&7 rom3.smc", "&8 rom2.smc", "", clear};
    QTest::newRow("one name in two folders")
        << QList<int>{0, 10, 1} << "" << QList<int>{1, 10, 0}
        << QStringList{"&1 rom1.smc", "&2 rom0.smc (DIR/sub)", "&3 rom0.smc (DIR)", "", clear};
    QTest::newRow("a name holding markup, shown as text")
        << QList<int>{11} << "" << QList<int>{11}
        << QStringList{"&1 <b>r<i> && <font x=\"1\">.smc", "", clear};
    QTest::newRow("cleared") << QList<int>{0, 1} << "clear" << QList<int>{} << QStringList{clear};
    QTest::newRow("a ROM gone when chosen") << QList<int>{0, 1} << "choose gone" << QList<int>{1}
                                            << QStringList{"&1 rom1.smc", "", clear};
}

void TestRecent::listAfterOpens() {
    QFETCH(QList<int>, opens);
    QFETCH(QString, then);
    QFETCH(QList<int>, shown);
    QFETCH(QStringList, texts);
    WindowFixture f;
    const QString dir = f.rom.dir();
    QVERIFY(QDir(dir).mkdir(QStringLiteral("sub")));
    const auto path = [&](int i) {
        return i == 10   ? dir + "/sub/rom0.smc"
               : i == 11 ? dir + "/<b>r<i> & <font x=\"1\">.smc"
                         : dir + QStringLiteral("/rom%1.smc").arg(i);
    };
    for (int i = 0; i <= 11; ++i)
        QVERIFY(QFile::copy(f.rom.qpath(), path(i)));
    for (int i : opens)
        QVERIFY(f.window->OpenRomPath(path(i)));
    if (then == "clear")
        f.window->command(ID_FILE_CLEARRECENT)->trigger();
    if (then == "choose gone") {
        QVERIFY(QFile::remove(path(0)));
        f.window->command(ID_FILE_MRU_FILE1 + 1)->trigger();
    }
    QCOMPARE(f.desktop.shown.size(), std::size_t(then == "choose gone" ? 1 : 0));
    for (const auto& box : f.desktop.shown)
        QCOMPARE((QStringList{box.text, box.informative}),
                 (QStringList{omtest::kOpenFailed, "No such file or directory"}));
    texts.replaceInStrings(QStringLiteral("DIR"), dir);
    QCOMPARE(RecentTexts(*f.window), texts);

    // Kept in ~/.config/OMBattleAnim/OMBattleAnim.conf: another window shows
    // the same list, each entry with its full path as its tooltip, and opens
    // the ROM it names.
    QVERIFY(QFile::exists(settings_->path() + "/OMBattleAnim/OMBattleAnim.conf") || opens.isEmpty());
    f.window.reset();
    BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    CBattleAnimDlg second(data, desktop);
    QCOMPARE(RecentTexts(second), texts);
    for (int n = 0; n < shown.size(); ++n)
        QCOMPARE(omtest::ShownText(second.command(ID_FILE_MRU_FILE1 + n)->toolTip()), path(shown[n]));
    if (!shown.isEmpty()) {
        second.show();
        QTRY_VERIFY_WITH_TIMEOUT(second.pickersBuilt(), 30000);
        second.command(ID_FILE_MRU_FILE1)->trigger();
        QVERIFY(second.isRomOpen());
    }
}

void TestRecent::foldersTheDialogsStartIn_data() {
    QTest::addColumn<QString>("rom");
    QTest::addColumn<QString>("patch");
    QTest::newRow(".smc") << "game.smc" << "game.bps";
    QTest::newRow("dots in the name") << "Fen.Keep v2.sfc" << "Fen.Keep v2.bps";
    QTest::newRow("no extension") << "marsh" << "marsh.bps";
}

void TestRecent::foldersTheDialogsStartIn() {
    QFETCH(QString, rom);
    QFETCH(QString, patch);
    omtest::TempRom file(omtest::MakeTestImage(), rom.toLatin1().constData());
    WindowFixture f;
    f.window->OnFileOpenRom();  // cancelled; nothing opened yet, no folder
    f.desktop.files = {file.qpath()};
    f.window->OnFileOpenRom();
    f.window->OnFileOpenRom();  // cancelled
    QCOMPARE(f.desktop.startFolders, (QStringList{"", "", file.dir()}));
    f.type(IDC_LAYER1_LO, QStringLiteral("9"));
    f.window->OnFileExportPatch();  // cancelled
    QCOMPARE(f.desktop.suggestedPatches, QStringList{file.dir() + "/" + patch});
}

void TestRecent::namesKeptAsTheirBytes() {
    // Two names that differ only in a byte that is not UTF-8.
    WindowFixture f;
    const QString first = omtest::WriteRomNamed(f.rom.dir(), "caf\xe9.smc");
    const QString second = omtest::WriteRomNamed(f.rom.dir(), "caf\xe8.smc");
    QVERIFY(f.window->OpenRomPath(first));
    QVERIFY(f.window->OpenRomPath(second));
    f.window.reset();
    // Another window lists both, and opens each by its own bytes.
    BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    CBattleAnimDlg w(data, desktop);
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.pickersBuilt(), 30000);
    QCOMPARE(RecentTexts(w).size(), 4);  // two entries, a separator, Clear List
    // The older one each time, which then comes first.
    for (const QString& path : {first, second}) {
        QAction* entry = w.command(ID_FILE_MRU_FILE1 + 1);
        QCOMPARE(PathBytes(entry->data().toString()), PathBytes(path));
        entry->trigger();
        QVERIFY(w.isRomOpen());
        QCOMPARE(PathBytes(w.command(ID_FILE_MRU_FILE1)->data().toString()), PathBytes(path));
    }
    QVERIFY(desktop.shown.empty());
    // One that cannot be opened but is there stays listed.
    QVERIFY(::truncate(PathBytes(first).constData(), 100) == 0);
    w.command(ID_FILE_MRU_FILE1 + 1)->trigger();
    QCOMPARE(desktop.shown.size(), std::size_t(1));
    QCOMPARE(RecentTexts(w).size(), 4);
}

void TestRecent::unusableSettings_data() {
    QTest::addColumn<QString>("file");  // under the settings folder
    QTest::addColumn<QString>("what");  // "fifo", "folder", "50 MB", "another host"
    QTest::addColumn<QString>("told");  // the message's "... cannot be used: FILE WHY", or ""
    const QString conf = QStringLiteral("OMBattleAnim/OMBattleAnim.conf");
    const QString lock = conf + QStringLiteral(".lock");
    const QString notRegular = QStringLiteral(" is not a regular file");
    QTest::newRow("settings a FIFO") << conf << "fifo" << conf + notRegular;
    QTest::newRow("settings a folder") << conf << "folder" << conf + notRegular;
    QTest::newRow("settings of 50 MB")
        << conf << "50 MB" << conf + QStringLiteral(" is larger than 1,048,576 bytes");
    QTest::newRow("lock a folder") << lock << "folder" << lock + notRegular;
    QTest::newRow("lock a FIFO") << lock << "fifo" << lock + notRegular;
    QTest::newRow("lock held on another computer") << lock << "another host" << "";
}

// Settings are a convenience: whatever stands where they are kept, the
// window comes up, opens ROMs, says once what is wrong, and leaves the
// thing as it found it. A test that hung would be freed by the watchdog
// (it gives a waiting reader its end of file and takes a waited-on folder
// away) and fail.
void TestRecent::unusableSettings() {
    QFETCH(QString, file);
    QFETCH(QString, what);
    QFETCH(QString, told);
    const QString path = settings_->path() + "/" + file;
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    const QByteArray bytes = QFile::encodeName(path);
    if (what == "fifo")
        QCOMPARE(::mkfifo(bytes.constData(), 0600), 0);
    if (what == "folder")
        QVERIFY(QDir().mkdir(path));
    QByteArray content;
    if (what == "50 MB")
        content = "[RecentFiles]\nPaths=" + QByteArray(50 * 1024 * 1024, 'x') + "\n";
    if (what == "another host")  // as QLockFile writes it: pid, program, host
        content = QByteArray::number(QCoreApplication::applicationPid()) +
                  "\nOMBattleAnim\nsome-other-computer\n";
    if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }

    std::mutex m;
    std::condition_variable done;
    bool finished = false, hung = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (done.wait_for(lock, std::chrono::seconds(20), [&] { return finished; }))
            return;
        hung = true;
        const int fd = ::open(bytes.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        ::rmdir(bytes.constData());
    });
    const auto stopWatchdog = qScopeGuard([&] {
        {
            std::lock_guard lock(m);
            finished = true;
        }
        done.notify_one();
        watchdog.join();
    });

    WindowFixture f;
    const QString second = f.rom.dir() + "/second.smc";
    QVERIFY(QFile::copy(f.rom.qpath(), second));
    QVERIFY(f.window->OpenRomPath(f.rom.qpath()));
    QVERIFY(f.window->OpenRomPath(second));
    f.window->command(ID_FILE_OPENRECENT)->menu()->aboutToShow();
    QTRY_COMPARE(f.desktop.shown.size(), std::size_t(told.isEmpty() ? 0 : 1));
    QTest::qWait(50);
    QVERIFY(!hung);
    QCOMPARE(f.desktop.shown.size(), std::size_t(told.isEmpty() ? 0 : 1));
    if (!told.isEmpty())
        QCOMPARE(f.desktop.shown[0].text,
                 "The editor's settings cannot be used: " + settings_->path() + "/" + told +
                     ". The editor goes on without them and does not keep the list of recent "
                     "ROMs; move that file away to have the list kept again.");
    QVERIFY(f.window->isRomOpen());
    // Left as it was; no list kept beside it.
    struct stat st {};
    QCOMPARE(::lstat(bytes.constData(), &st), 0);
    QCOMPARE(S_ISFIFO(st.st_mode), what == "fifo");
    QCOMPARE(S_ISDIR(st.st_mode), what == "folder");
    if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.size(), content.size());
        QVERIFY(f.read(content.size()) == content);
    }
    QCOMPARE(RecentTexts(*f.window), QStringList{"&Clear List"});
}

QTEST_MAIN(TestRecent)
#include "test_recent.moc"
