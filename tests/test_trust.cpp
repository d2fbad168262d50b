// A user's own files: files that cannot be opened or cannot hold the table,
// files that fail to read, files that change behind the editor's back, a
// failing disk, and a second editor on the same file. (Images of every
// layout and size, opened and saved, are in test_robustness.)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <optional>

#include "FaultInjection.h"
#include "MessageTexts.h"
#include "WindowFixture.h"

using namespace om;
using omtest::FaultInjection;
using omtest::kOpenFailed;
using omtest::kSaveFailed;
using omtest::WindowFixture;

namespace {

// Where the table starts in each kind of image, and the titles.
constexpr long kHeaderedTable = 776862;  // 0xBDA9E
constexpr long kHeaderedTitle = 0x101C0;
constexpr long kHeaderlessTitle = 0xFFC0;

// Everything the window shows or keeps of a loaded ROM.
struct State {
    QStringList list;
    int position = -1;
    QStringList fields;
    int pickers[2] = {-1, -1};
    bool open = false;
    bool editing = false;
    long header = -1;
    std::vector<int> records;
    std::vector<std::string> names;
    bool operator==(const State&) const = default;
};

State Take(const WindowFixture& f) {
    State s;
    for (int i = 0; i < f.groupList()->count(); ++i)
        s.list.append(f.groupList()->itemText(i));
    s.position = f.groupList()->currentIndex();
    s.fields = f.fields() << f.text(IDC_ENTRY_OFFSET);
    s.pickers[0] = f.picker(1)->currentIndex();
    s.pickers[1] = f.picker(2)->currentIndex();
    s.open = f.window->isRomOpen();
    s.editing = f.groupList()->isEnabled();
    s.header = f.window->romLayout().headerSize;
    for (int g = 0; g < kGroupCount; ++g) {
        const GroupRecord& r = f.data.record(g);
        s.records.insert(s.records.end(), {r.entryOffset, r.layer1Lo, r.layer1Hi, r.layer2Lo,
                                           r.layer2Hi});
    }
    for (int k = 0; k < kEnemyNameCount; ++k)
        s.names.emplace_back(f.data.enemyName(k));
    return s;
}

// A window with the test image loaded, group 7 chosen and an unsaved edit.
void LoadAndEdit(WindowFixture& f) {
    f.desktop.files = {f.rom.qpath()};
    f.window->OnFileOpenRom();
    QVERIFY(f.window->isRomOpen());
    f.chooseGroup(7);
    f.type(IDC_LAYER1_LO, QStringLiteral("42"));
    f.desktop.shown.clear();
}

// Another program's lock on a file, for as long as the object lives.
struct OtherLock {
    explicit OtherLock(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~OtherLock() { ::close(fd); }
    bool take() const { return ::flock(fd, LOCK_EX | LOCK_NB) == 0; }
    int fd;
};

}  // namespace

class TestTrust : public QObject {
    Q_OBJECT
private slots:
    // While a ROM is open with an unsaved edit, another file is refused by
    // File > Open ROM and by a load of its own alike, with one message and
    // nothing changed; the open ROM then still saves into its own file.
    void openRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<long>("size");  // of a short image, or where reads start to fail
        QTest::addColumn<int>("title");  // short images: 0 none, 1 after a header, 2 headerless
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("reason");  // the system's, under the message
        const QString notAFile =
            QStringLiteral("It is not a regular file: a folder, a device, a pipe or the like.");
        const std::pair<const char*, QString> kinds[] = {
            {"fifo", notAFile},
            {"/dev/null", notAFile},
            {"folder", notAFile},
            {"missing", "No such file or directory"},
            {"inside a file", "Not a directory"},
            {"read-only", "Permission denied"},
            {"removed while chosen", "No such file or directory"},
            {"locked by another program",
             "The file is locked by another program: another editor has it open, or a command "
             "is writing it."}};
        for (const auto& [kind, reason] : kinds)
            QTest::newRow(kind) << QString(kind) << 0L << 0 << kOpenFailed << reason;
        // A disk error wherever the check or the load meets it: no question
        // about the title comes first.
        for (long at : {0L, kHeaderedTitle + 3, kHeaderedTable + 1000, 0x15EC5BL + 10,
                        3L * 1024 * 1024 + 511})
            QTest::addRow("reads fail from %ld", at)
                << "read error" << at << 0 << kOpenFailed << QStringLiteral("Input/output error");
        // Too short for the table of the layout its title (or its size) gives.
        const std::tuple<long, int, long> shortFiles[] = {
            {0, 0, 778290}, {1, 0, 778802}, {1024, 0, 778290}, {kHeaderedTitle + 5, 0, 778802},
            {kHeaderedTitle + 11, 1, 778802}, {kHeaderlessTitle + 11, 2, 778290},
            {778801, 1, 778802}, {778289, 2, 778290}, {778801, 0, 778802}};
        for (const auto& [size, title, end] : shortFiles)
            QTest::addRow("%ld bytes, title %d", size, title)
                << "short" << size << title << omtest::TooShort(size, end) << QString();
    }
    void openRefused() {
        QFETCH(QString, kind);
        QFETCH(long, size);
        QFETCH(int, title);
        QFETCH(QString, says);
        QFETCH(QString, reason);
        if (kind == "read-only" && geteuid() == 0)
            QSKIP("root may write a read-only file");
        WindowFixture f;
        LoadAndEdit(f);
        const State before = Take(f);
        RomImage image = omtest::MakeTestImage();
        if (kind == "short") {
            image = RomImage(size, title == 2 ? kSfcLayout : kSmcLayout);
            if (title > 0)
                image.putTitle();
        }
        omtest::TempRom other(image, "other.smc");
        QString path = other.qpath();
        if (kind == "fifo") {
            path = other.dir() + "/pipe.smc";  // no writer: opening must not hang
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "/dev/null") {
            path = kind;
        } else if (kind == "folder") {
            path = other.dir();
        } else if (kind == "missing" || kind == "inside a file") {
            path += kind == "missing" ? ".gone" : "/inside.smc";
        } else if (kind == "read-only") {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        } else if (kind == "removed while chosen") {
            f.desktop.whileChoosing = [&] { QFile::remove(path); };
        }
        // A second ROM is tried against the lock as the first one was.
        OtherLock lock(path);
        if (kind == "locked by another program")
            QVERIFY(lock.take());
        std::optional<FaultInjection> faults;
        if (kind == "read error") {
            faults.emplace();
            FaultInjection::readsFailFrom = size;
        }
        for (const bool byMenu : {true, false}) {
            f.desktop.shown.clear();
            f.desktop.files = {path};
            f.desktop.answers = {Desktop::Answer::Yes};
            if (byMenu)
                f.window->OnFileOpenRom();
            else
                QVERIFY(!f.window->LoadRom(path));
            QCOMPARE(f.desktop.shown.size(), std::size_t(1));
            QCOMPARE(f.desktop.shown[0].text, says);
            QCOMPARE(f.desktop.shown[0].informative, reason);
            QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
            QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::Ok);
            QVERIFY(Take(f) == before);
        }
        faults.reset();
        const auto romBefore = f.rom.bytes();
        f.click(IDC_SAVE);
        QCOMPARE(omtest::DifferingOffsets(romBefore, f.rom.bytes()),
                 std::vector<long>{kHeaderedTable + 4 * 7});
        if (QFile::exists(other.qpath()))
            QCOMPARE(other.bytes(), image.bytes());
    }

    // A Save that cannot reach the file the editor opened is reported, and
    // the editor goes on with its edits; a file put in its place is not
    // touched.
    void saveFailed_data() {
        QTest::addColumn<QString>("what");
        QTest::newRow("deleted") << "deleted";
        QTest::newRow("renamed away") << "renamed";
        QTest::newRow("replaced by another file") << "replaced";
        // An editor that keeps a backup: the old file lives on under another
        // name, and a new one takes its path.
        QTest::newRow("kept as a backup, path taken by a new file") << "backup";
        QTest::newRow("disk full") << "write";
        QTest::newRow("sync fails") << "sync";
    }
    void saveFailed() {
        QFETCH(QString, what);
        WindowFixture f;
        LoadAndEdit(f);
        const QString path = f.rom.qpath();
        const auto original = f.rom.bytes();
        RomImage replacement(4096);
        replacement.putTitle();
        if (what == "deleted") {
            QVERIFY(QFile::remove(path));
        } else if (what == "renamed") {
            QVERIFY(QFile::rename(path, path + ".old"));
        } else if (what == "backup") {
            QVERIFY(QFile::rename(path, path + "~"));
            QVERIFY(replacement.writeFile(path.toStdString()));
        } else if (what == "replaced") {
            // What an editor that saves by writing a new file and renaming it does.
            QVERIFY(replacement.writeFile((path + ".new").toStdString()));
            QCOMPARE(::rename(QFile::encodeName(path + ".new").constData(),
                              QFile::encodeName(path).constData()),
                     0);
        }
        {
            FaultInjection faults;
            FaultInjection::writesFail = what == "write";
            FaultInjection::syncFails = what == "sync";
            f.click(IDC_SAVE);
        }
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        // A write that fails may succeed next time; a file gone from its
        // path never will: that message points to Export Patch.
        QCOMPARE(f.desktop.shown[0].text,
                 what == "write" || what == "sync" ? kSaveFailed : omtest::kFileGone);
        QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
        QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::Ok);
        QVERIFY(f.window->isRomOpen());
        QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("42"));
        if (what == "replaced" || what == "backup") {
            QCOMPARE(f.rom.bytes(), replacement.bytes());
        } else if (what == "deleted" || what == "renamed") {
            QVERIFY(!QFile::exists(path));
        } else {
            // The fault gone, the next Save writes the edit.
            f.click(IDC_SAVE);
            QCOMPARE(f.desktop.shown.size(), std::size_t(1));
            QCOMPARE(omtest::DifferingOffsets(original, f.rom.bytes()),
                     std::vector<long>{kHeaderedTable + 4 * 7});
        }
    }

    // The open ROM is locked against other programs (and a second editor)
    // for as long as it is open, also when it is opened again; Close ROM
    // releases it.
    void lockHeldWhileOpen() {
        WindowFixture f;
        LoadAndEdit(f);
        const QString path = f.rom.qpath();
        const auto lockedByOthers = [&] { return !OtherLock(path).take(); };
        QVERIFY(lockedByOthers());
        f.desktop.files = {path};
        f.window->OnFileOpenRom();
        QVERIFY(f.desktop.shown.empty());
        QVERIFY(f.window->isRomOpen());
        QVERIFY(lockedByOthers());
        f.window->OnFileCloseRom();
        QVERIFY(!lockedByOthers());
    }
};

QTEST_MAIN(TestTrust)
#include "test_trust.moc"
