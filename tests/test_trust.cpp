// A user's own files: images with and without a copier header, files that
// cannot hold the table, files that fail to read, files that change behind
// the editor's back, and a second editor on the same file.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>

#include "FaultInjection.h"
#include "WindowFixture.h"
#include "app/Messages.h"

using namespace om;
using omtest::WindowFixture;

namespace {

// Where the table starts in each kind of image, and its length.
constexpr long kHeaderedTable = 776862;    // 0xBDA9E
constexpr long kHeaderlessTable = 776350;  // 0xBD89E
constexpr long kTableBytes = 1940;
constexpr long kHeaderedTitle = 0x101C0;
constexpr long kHeaderlessTitle = 0xFFC0;
constexpr long kThreeMiB = 3L * 1024 * 1024;

const QString kOpenFailed = QStringLiteral(
    "An error occurred while attempting to open this file. Check to make sure the file is not "
    "read-only, and is not currently in use by another application.");
const QString kSaveFailed = QStringLiteral(
    "An error occurred while attempting to save the changes to this file. Check to make sure "
    "there is enough free space on the disk, and that the file has not been removed or made "
    "read-only. Your changes are still in the editor; try saving again.");

QString TooShort(long size, long end) {
    return QStringLiteral(
               "This file is too short to be an Orbitmarsh ROM image: it is %1 bytes long, and "
               "the battle background table of an Orbitmarsh ROM image ends at byte %2. The "
               "file was not opened.")
        .arg(size)
        .arg(end);
}

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
    s.fields = {f.text(IDC_LAYER1_LO), f.text(IDC_LAYER1_HI), f.text(IDC_LAYER2_LO),
                f.text(IDC_LAYER2_HI), f.text(IDC_ENTRY_OFFSET)};
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

void Put(RomImage& image, long at, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        image.put(at + long(i), static_cast<std::uint8_t>(text[i]));
}

}  // namespace

class TestTrust : public QObject {
    Q_OBJECT
private slots:
    void onlyTheTableChanges_data();
    void onlyTheTableChanges();
    void titleDecidesTheLayout_data();
    void titleDecidesTheLayout();
    void shortFilesAreRefused_data();
    void shortFilesAreRefused();
    void nonRegularFilesAreRefused_data();
    void nonRegularFilesAreRefused();
    void readFailureRefusesTheFile_data();
    void readFailureRefusesTheFile();
    void saveReportsAFileGoneOrReplaced_data();
    void saveReportsAFileGoneOrReplaced();
    void aSecondEditorIsRefused();
};

void TestTrust::onlyTheTableChanges_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<long>("size");
    QTest::addColumn<QString>("name");
    QTest::addColumn<long>("table");
    QTest::addColumn<QString>("offsetShown");
    QTest::newRow(".smc, 3 MiB + 512") << true << kThreeMiB + 512 << "mine.smc" << kHeaderedTable
                                       << "BDA9E";
    QTest::newRow(".sfc, 3 MiB") << false << kThreeMiB << "game.sfc" << kHeaderlessTable << "BD89E";
    // The name says nothing: the title decides.
    QTest::newRow("headerless named .smc") << false << kThreeMiB << "odd.smc" << kHeaderlessTable
                                           << "BD89E";
    QTest::newRow("headered, odd size") << true << kThreeMiB + 512 + 77 << "big.smc"
                                        << kHeaderedTable << "BDA9E";
    QTest::newRow("headerless, 1024-multiple but short of 3 MiB")
        << false << 2L * 1024 * 1024 << "small.sfc" << kHeaderlessTable << "BD89E";
}

void TestTrust::onlyTheTableChanges() {
    QFETCH(bool, headered);
    QFETCH(long, size);
    QFETCH(QString, name);
    QFETCH(long, table);
    QFETCH(QString, offsetShown);
    const RomImage image = omtest::MakeTestImage(headered ? kSmcLayout : kSfcLayout, size);
    QCOMPARE(long(image.bytes().size()), size);
    WindowFixture f(image);
    const QString path = f.rom.dir() + "/" + name;
    QVERIFY(QFile::rename(f.rom.qpath(), path));
    const auto before = omtest::ReadFileBytes(path.toStdString());

    f.desktop.files = {path};
    f.window->OnFileOpenRom();
    QVERIFY(f.window->isRomOpen());
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(f.text(IDC_ENTRY_OFFSET), offsetShown);
    // Group 0 holds (0, 0, 255, 1) and the names are read from their place.
    QCOMPARE((QStringList{f.text(IDC_LAYER1_LO), f.text(IDC_LAYER1_HI), f.text(IDC_LAYER2_LO),
                          f.text(IDC_LAYER2_HI)}),
             (QStringList{"0", "0", "255", "1"}));
    QCOMPARE(std::string(f.data.enemyName(229)), std::string("Enemy 230"));

    // Layer 1 item 245 is background 255: bytes (255, 0). Group 484 holds
    // (228, 1, 27, 1); its layer 2 low byte becomes 99.
    f.choosePicker(1, 245);
    f.chooseGroup(484);
    QCOMPARE(f.text(IDC_LAYER2_LO), QStringLiteral("27"));
    f.type(IDC_LAYER2_LO, QStringLiteral("99"));
    f.click(IDC_SAVE);
    QVERIFY(f.desktop.shown.empty());

    const auto after = omtest::ReadFileBytes(path.toStdString());
    QCOMPARE(long(after.size()), size);
    QCOMPARE(omtest::DifferingOffsets(before, after), (std::vector<long>{table, table + 1938}));
    QCOMPARE(int(after[std::size_t(table)]), 255);
    QCOMPARE(int(after[std::size_t(table + 1938)]), 99);
}

void TestTrust::titleDecidesTheLayout_data() {
    QTest::addColumn<bool>("titleWithHeader");
    QTest::addColumn<bool>("titleWithout");
    QTest::addColumn<long>("size");
    QTest::addColumn<long>("table");
    QTest::addColumn<bool>("asks");
    QTest::newRow("with header only") << true << false << kThreeMiB << kHeaderedTable << false;
    QTest::newRow("without header only") << false << true << kThreeMiB + 512 << kHeaderlessTable
                                         << false;
    QTest::newRow("both, 1024-multiple") << true << true << kThreeMiB << kHeaderlessTable << false;
    QTest::newRow("both, odd size") << true << true << kThreeMiB + 512 << kHeaderedTable << false;
    QTest::newRow("neither, 1024-multiple") << false << false << kThreeMiB << kHeaderlessTable
                                            << true;
    QTest::newRow("neither, usual .smc size") << false << false << kThreeMiB + 512
                                              << kHeaderedTable << true;
    QTest::newRow("neither, odd size") << false << false << kThreeMiB + 1 << kHeaderedTable << true;
}

void TestTrust::titleDecidesTheLayout() {
    QFETCH(bool, titleWithHeader);
    QFETCH(bool, titleWithout);
    QFETCH(long, size);
    QFETCH(long, table);
    QFETCH(bool, asks);
    // Both places hold an entry for group 0 and a name for enemy 1; which
    // ones show says which layout was used.
    RomImage image(size, kSmcLayout);
    if (titleWithHeader)
        Put(image, kHeaderedTitle, "ORBIT MARSH");
    if (titleWithout)
        Put(image, kHeaderlessTitle, "ORBIT MARSH");
    for (long base : {kHeaderedTable, kHeaderlessTable})
        for (int i = 0; i < 4; ++i)
            image.put(base + i, static_cast<std::uint8_t>(base == kHeaderedTable ? 10 + i : 20 + i));
    WindowFixture f(image);
    f.desktop.files = {f.rom.qpath()};
    f.desktop.answers = {Desktop::Answer::Yes};
    const auto before = f.rom.bytes();
    f.window->OnFileOpenRom();
    QVERIFY(f.window->isRomOpen());
    QCOMPARE(f.desktop.shown.size(), std::size_t(asks ? 1 : 0));
    if (asks)
        QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::YesNo);
    const int first = table == kHeaderedTable ? 10 : 20;
    QCOMPARE((QStringList{f.text(IDC_LAYER1_LO), f.text(IDC_LAYER1_HI), f.text(IDC_LAYER2_LO),
                          f.text(IDC_LAYER2_HI)}),
             (QStringList{QString::number(first), QString::number(first + 1),
                          QString::number(first + 2), QString::number(first + 3)}));
    QCOMPARE(f.text(IDC_ENTRY_OFFSET), QString::number(table, 16).toUpper());
    QCOMPARE(f.data.record(484).entryOffset, int(table + 1936));

    // Save writes exactly where it read: an unchanged save changes nothing,
    // and one changed byte lands in that layout's table.
    f.click(IDC_SAVE);
    QCOMPARE(f.rom.bytes(), before);
    f.type(IDC_LAYER2_HI, QStringLiteral("200"));
    f.click(IDC_SAVE);
    QCOMPARE(omtest::DifferingOffsets(before, f.rom.bytes()), std::vector<long>{table + 3});
}

void TestTrust::shortFilesAreRefused_data() {
    QTest::addColumn<long>("size");
    QTest::addColumn<int>("title");  // 0 none, 1 after a header, 2 headerless
    QTest::addColumn<long>("end");   // where that layout's table ends; 0: accepted
    QTest::newRow("empty (a multiple of 1024)") << 0L << 0 << 778290L;
    QTest::newRow("one byte") << 1L << 0 << 778802L;
    QTest::newRow("1024 bytes") << 1024L << 0 << 778290L;
    QTest::newRow("ends inside the header's title") << kHeaderedTitle + 5 << 0 << 778802L;
    QTest::newRow("just holds the title") << kHeaderedTitle + 11 << 1 << 778802L;
    QTest::newRow("headerless, just its title") << kHeaderlessTitle + 11 << 2 << 778290L;
    QTest::newRow("one short of the table's end") << 778801L << 1 << 778802L;
    QTest::newRow("headerless, one short") << 778289L << 2 << 778290L;
    QTest::newRow("exactly the table's end") << 778802L << 1 << 0L;
    QTest::newRow("headerless, exactly the end") << 778290L << 2 << 0L;
    QTest::newRow("odd, holds the table") << 778803L << 1 << 0L;
    QTest::newRow("no title, 1024-multiple that holds it") << 779264L << 0 << 0L;
    QTest::newRow("no title, odd, one short") << 778801L << 0 << 778802L;
}

void TestTrust::shortFilesAreRefused() {
    QFETCH(long, size);
    QFETCH(int, title);
    QFETCH(long, end);
    WindowFixture f;
    LoadAndEdit(f);
    const State before = Take(f);

    RomImage shortImage(size, kSmcLayout);
    if (title == 1)
        Put(shortImage, kHeaderedTitle, "ORBIT MARSH");
    if (title == 2)
        Put(shortImage, kHeaderlessTitle, "ORBIT MARSH");
    omtest::TempRom other(shortImage, "short.smc");
    f.desktop.files = {other.qpath()};
    f.desktop.answers = {Desktop::Answer::Yes};
    f.window->OnFileOpenRom();

    if (end == 0) {
        QVERIFY(f.window->isRomOpen());
        QCOMPARE(f.desktop.shown.size(), std::size_t(title == 0 ? 1 : 0));
        f.click(IDC_SAVE);
        QCOMPARE(long(other.bytes().size()), size);  // never grows
        return;
    }
    // Refused before any question, and nothing changed.
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, TooShort(size, end));
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
    QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::Ok);
    QVERIFY(Take(f) == before);
    QCOMPARE(other.bytes(), shortImage.bytes());

    // Loading it without the check refuses it the same way.
    f.desktop.shown.clear();
    QVERIFY(!f.window->LoadRom(other.qpath()));
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, TooShort(size, end));
    QVERIFY(Take(f) == before);

    // The ROM that was open still saves into its own file.
    const auto romBefore = f.rom.bytes();
    f.click(IDC_SAVE);
    QCOMPARE(omtest::DifferingOffsets(romBefore, f.rom.bytes()),
             std::vector<long>{kHeaderedTable + 4 * 7});
    QCOMPARE(other.bytes(), shortImage.bytes());
}

void TestTrust::nonRegularFilesAreRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("/dev/null") << "null";
    QTest::newRow("folder") << "folder";
}

void TestTrust::nonRegularFilesAreRefused() {
    QFETCH(QString, kind);
    WindowFixture f;
    LoadAndEdit(f);
    const State before = Take(f);
    QString path = QStringLiteral("/dev/null");
    if (kind == "fifo") {
        path = f.rom.dir() + "/pipe.smc";
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == "folder") {
        path = f.rom.dir();
    }
    f.desktop.files = {path};
    f.desktop.answers = {Desktop::Answer::Yes};
    f.window->OnFileOpenRom();  // a FIFO with no writer must not hang here
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, kOpenFailed);
    QCOMPARE(f.desktop.shown[0].informative,
             kind == "folder" ? QStringLiteral("Is a directory")
                              : QStringLiteral("It is not a regular file: a device, a pipe or the like."));
    QVERIFY(Take(f) == before);
    f.desktop.shown.clear();
    QVERIFY(!f.window->LoadRom(path));
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, kOpenFailed);
    QVERIFY(Take(f) == before);
}

void TestTrust::readFailureRefusesTheFile_data() {
    QTest::addColumn<long>("failFrom");
    QTest::newRow("first byte") << 0L;
    QTest::newRow("inside the title") << kHeaderedTitle + 3;
    QTest::newRow("inside the table") << kHeaderedTable + 1000;
    QTest::newRow("after the names") << 0x15EC5BL + 10;
    QTest::newRow("last byte") << kThreeMiB + 511;
}

void TestTrust::readFailureRefusesTheFile() {
    QFETCH(long, failFrom);
    WindowFixture f;
    LoadAndEdit(f);
    const State before = Take(f);
    omtest::TempRom other(omtest::MakeTestImage(), "failing.smc");
    {
        omtest::FaultInjection faults;
        omtest::FaultInjection::readsFailFrom = failFrom;
        f.desktop.files = {other.qpath()};
        f.desktop.answers = {Desktop::Answer::Yes};
        f.window->OnFileOpenRom();
        QVERIFY(omtest::FaultInjection::reads > 0);
    }
    // Whether the title check or the load meets the failure, it is the
    // open-failure message, and no question about the title comes first.
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, kOpenFailed);
    QCOMPARE(f.desktop.shown[0].informative, QStringLiteral("Input/output error"));
    QVERIFY(Take(f) == before);

    // The ROM that stays open saves its own table, nothing else.
    const auto romBefore = f.rom.bytes();
    f.click(IDC_SAVE);
    QCOMPARE(omtest::DifferingOffsets(romBefore, f.rom.bytes()),
             std::vector<long>{kHeaderedTable + 4 * 7});
    QCOMPARE(other.bytes(), omtest::MakeTestImage().bytes());
}

void TestTrust::saveReportsAFileGoneOrReplaced_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("deleted") << "deleted";
    QTest::newRow("renamed away") << "renamed";
    QTest::newRow("replaced by another file") << "replaced";
    // An editor that keeps a backup: the old file lives on under another
    // name, and a new one takes its path.
    QTest::newRow("kept as a backup, path taken by a new file") << "backup";
}

void TestTrust::saveReportsAFileGoneOrReplaced() {
    QFETCH(QString, what);
    WindowFixture f;
    LoadAndEdit(f);
    const QString path = f.rom.qpath();
    RomImage replacement(4096);
    replacement.putTitle();
    if (what == "deleted") {
        QVERIFY(QFile::remove(path));
    } else if (what == "renamed") {
        QVERIFY(QFile::rename(path, path + ".old"));
    } else if (what == "backup") {
        QVERIFY(QFile::rename(path, path + "~"));
        QVERIFY(replacement.writeFile(path.toStdString()));
    } else {
        // What an editor that saves by writing a new file and renaming it does.
        QVERIFY(replacement.writeFile((path + ".new").toStdString()));
        QCOMPARE(::rename(QFile::encodeName(path + ".new").constData(),
                          QFile::encodeName(path).constData()),
                 0);
    }
    f.click(IDC_SAVE);
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, kSaveFailed);
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
    QVERIFY(f.window->isRomOpen());
    if (what == "replaced" || what == "backup")
        QCOMPARE(f.rom.bytes(), replacement.bytes());  // the new file is not touched
    else
        QVERIFY(!QFile::exists(path));
}

void TestTrust::aSecondEditorIsRefused() {
    WindowFixture first;
    LoadAndEdit(first);
    const QByteArray path = QFile::encodeName(first.rom.qpath());

    // Another process's lock on the same file conflicts with ours.
    const auto lockedByOthers = [&] {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        const bool refused = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return refused;
    };
    QVERIFY(lockedByOthers());

    // A second editor window (the same in another process) is refused.
    WindowFixture second;
    const State before = Take(second);
    second.desktop.files = {first.rom.qpath()};
    second.window->OnFileOpenRom();
    QCOMPARE(second.desktop.shown.size(), std::size_t(1));
    QCOMPARE(second.desktop.shown[0].text, kOpenFailed);
    QCOMPARE(second.desktop.shown[0].informative,
             QStringLiteral("The file is locked by another program: another editor has it open, "
                            "or a command is writing it."));
    QVERIFY(Take(second) == before);

    // Opening its own file again is fine for the first editor, and it keeps
    // the lock.
    first.desktop.files = {first.rom.qpath()};
    first.window->OnFileOpenRom();
    QVERIFY(first.desktop.shown.empty());
    QVERIFY(first.window->isRomOpen());
    QVERIFY(lockedByOthers());

    // Once the first closes it, the second may open it.
    first.window->OnFileCloseRom();
    QVERIFY(!lockedByOthers());
    second.desktop.files = {first.rom.qpath()};
    second.window->OnFileOpenRom();
    QVERIFY(second.window->isRomOpen());
    QCOMPARE(second.desktop.shown.size(), std::size_t(1));
    QVERIFY(lockedByOthers());

    // A lock someone else holds refuses the first editor as well.
    second.window->OnFileCloseRom();
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    first.desktop.shown.clear();
    first.desktop.files = {first.rom.qpath()};
    first.window->OnFileOpenRom();
    QCOMPARE(first.desktop.shown.size(), std::size_t(1));
    QCOMPARE(first.desktop.shown[0].text, kOpenFailed);
    QVERIFY(!first.window->isRomOpen());
    ::close(fd);
}

QTEST_MAIN(TestTrust)
#include "test_trust.moc"
