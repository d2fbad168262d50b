// A user's own files: files that cannot be opened or cannot hold the table,
// files that fail to read, and a second editor on the same file. (Images of
// every layout and size, opened and saved, are in test_robustness; Saves into
// a file that fails or that another program changed, moved or deleted, in
// test_writes.)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>
#include <optional>

#include "FaultInjection.h"
#include "MessageTexts.h"
#include "Unprivileged.h"
#include "WindowFixture.h"

using namespace om;
using omtest::FaultInjection;
using omtest::kOpenFailed;
using omtest::WindowFixture;

namespace {

// Where the table starts in each kind of image, and the titles.
constexpr long kHeaderedTable = 776862;  // 0xBDA9E
constexpr long kHeaderedTitle = 0x101C0;
constexpr long kHeaderlessTitle = 0xFFC0;

// Everything the window shows or keeps of a loaded ROM: the list, the
// fields, the pickers, the layout and the image as it would be saved.
QVariantList Take(const WindowFixture& f) {
    QStringList list;
    for (int i = 0; i < f.groupList()->count(); ++i)
        list.append(f.groupList()->itemText(i));
    const auto image = f.window->EditedImage();
    return {list, f.groupList()->currentIndex(), f.fields() << f.text(IDC_ENTRY_OFFSET),
            f.picker(1)->currentIndex(), f.picker(2)->currentIndex(), f.window->isRomOpen(),
            f.groupList()->isEnabled(), qlonglong(f.window->romLayout().headerSize),
            QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size()))};
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
            {"folder", notAFile},
            {"missing", "No such file or directory"},
            {"read-only", "Permission denied"},
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
        if (kind == "read-only" && omtest::RanUnprivileged())
            return;
        WindowFixture f;
        LoadAndEdit(f);
        const QVariantList before = Take(f);
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
        } else if (kind == "folder") {
            path = other.dir();
        } else if (kind == "missing") {
            path += ".gone";
        } else if (kind == "read-only") {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        }
        // A second ROM is tried against the lock as the first one was.
        OtherLock lock(path);
        if (kind == "locked by another program")
            QVERIFY(lock.take());
        std::optional<FaultInjection> faults;
        if (kind == "read error")
            faults.emplace().readsFailFrom = size;
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

        // The open ROM is locked against other programs (and a second
        // editor) for as long as it is open, also when it is opened again;
        // Close ROM releases it.
        const auto lockedByOthers = [&] { return !OtherLock(f.rom.qpath()).take(); };
        QVERIFY(lockedByOthers());
        f.desktop.shown.clear();
        f.desktop.files = {f.rom.qpath()};
        f.window->OnFileOpenRom();
        QVERIFY(f.desktop.shown.empty() && f.window->isRomOpen());
        QVERIFY(lockedByOthers());
        f.window->OnFileCloseRom();
        QVERIFY(!lockedByOthers());
    }
};

QTEST_MAIN(TestTrust)
#include "test_trust.moc"
