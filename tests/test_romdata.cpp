// The ROM primitives, the data set built on them and the ROM stream, checked
// byte for byte against images written to temporary files.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <string>

#include "FaultInjection.h"
#include "TestImages.h"
#include "catalogue/GroupTemplates.h"
#include "romdata/BattleAnimData.h"
#include "romdata/RomFile.h"
#include "romdata/RegularFile.h"
#include "romdata/RomImage.h"
#include "romdata/RomLayout.h"
#include "romdata/TerminalSafe.h"

namespace {

constexpr long kTitleAt = 0x101C0;
constexpr long kNamesAt = 0x1597E7;
constexpr long kTableAt = 776862;
constexpr long kTableEnd = 778802;

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f)
            std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenRead(const std::string& path) { return File(std::fopen(path.c_str(), "rb")); }
File OpenUpdate(const std::string& path) { return File(std::fopen(path.c_str(), "rb+")); }

long FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// Puts garbage in every byte of enemy record k that is not part of its name:
// the leading byte and the 68 bytes after the 25 name bytes.
void FillRecordOutsideName(om::RomImage& image, int k, std::uint8_t garbage) {
    const long at = image.layout().enemyRecordOffset(k);
    image.put(at, garbage);
    for (long i = 1 + om::kEnemyNameLength; i < om::kEnemyRecordSize; ++i)
        image.put(at + i, static_cast<std::uint8_t>(garbage + i));
}

std::string SlotText(const om::EnemyNameSlot& slot) {
    std::string s;
    for (unsigned char c : slot) {
        if (c == 0)
            break;
        s += static_cast<char>(c);
    }
    return s;
}

// Distinct values per group and byte, several outside 0-255.
int Value(int g, int i) {
    switch (i) {
    case 0: return g * 3 + 1;          // up to 1453
    case 1: return 255 - g;            // down to -229
    case 2: return (g * 7) % 300 + 20;
    default: return -(g % 5) - 1;      // -1 .. -5
    }
}

void SetValues(om::BattleAnimData& data) {
    for (int g = 0; g < om::kGroupCount; ++g) {
        om::GroupRecord& r = data.record(g);
        r.layer1Lo = Value(g, 0);
        r.layer1Hi = Value(g, 1);
        r.layer2Lo = Value(g, 2);
        r.layer2Hi = Value(g, 3);
    }
}

}  // namespace

class TestRomData : public QObject {
    Q_OBJECT

private slots:
    void title_data();
    void title();
    void titleEverySingleByteChange();
    void enemyName_data();
    void enemyName();
    void enemyNamesInShortFile();
    void entryPastEndOfFile_data();
    void entryPastEndOfFile();
    void writeEntryKeepsLowBits();
    void romFileReadsWhatWasWritten();
    void initGroupRecords();
    void adoptFlushesPreviousStream();
    void finishWriteReportsFailedWrite();
    void openRefusesWhatIsNotAFile_data();
    void openRefusesWhatIsNotAFile();
    void terminalSafe_data();
    void terminalSafe();
    void emptyImage();
};

// ---------------------------------------------------------------- title

void TestRomData::title_data() {
    QTest::addColumn<QByteArray>("bytes");  // written at 0x101C0
    QTest::addColumn<long>("size");         // file size
    QTest::addColumn<bool>("matches");

    const long full = om::kDemoImageSize;
    QTest::newRow("exact") << QByteArray("ORBIT MARSH") << full << true;
    QTest::newRow("followed by more text") << QByteArray("ORBIT MARSHES OF NOON") << full << true;
    QTest::newRow("followed by 0xFF") << QByteArray("ORBIT MARSH\xFF") << full << true;
    // Single changed bytes are in titleEverySingleByteChange().
    QTest::newRow("shifted by one") << QByteArray(" ORBIT MARSH") << full << false;
    QTest::newRow("empty file") << QByteArray("ORBIT MARSH") << 0L << false;
    QTest::newRow("ends at the title") << QByteArray("ORBIT MARSH") << kTitleAt << false;
    QTest::newRow("ends one byte short") << QByteArray("ORBIT MARSH") << kTitleAt + 10 << false;
    QTest::newRow("ends right after the title") << QByteArray("ORBIT MARSH") << kTitleAt + 11
                                               << true;
}

void TestRomData::title() {
    QFETCH(QByteArray, bytes);
    QFETCH(long, size);
    QFETCH(bool, matches);

    om::RomImage image(size);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        image.put(kTitleAt + i, static_cast<std::uint8_t>(bytes[i]));
    // An empty image is written by hand: writing one is checked on its own
    // in emptyImage().
    omtest::TempRom rom(size > 0 ? image : om::RomImage(1));
    if (size == 0)
        QVERIFY(QFile::resize(rom.qpath(), 0));
    QCOMPARE(FileSize(rom.path()), size);

    File f = OpenRead(rom.path());
    QVERIFY(f);
    QCOMPARE(om::ReadTitle(f.get()), matches);
}

void TestRomData::titleEverySingleByteChange() {
    om::RomImage image(kTitleAt + 11);
    image.putTitle();
    omtest::TempRom rom(image);
    File f = OpenUpdate(rom.path());
    QVERIFY(f);
    QVERIFY(om::ReadTitle(f.get()));
    for (int i = 0; i < om::kTitleLength; ++i) {
        const int original = om::kExpectedTitle[i];
        // Case, low bit, high bit, and the byte made zero.
        for (int delta : {1, 0x20, 0x80, original}) {
            std::fseek(f.get(), kTitleAt + i, SEEK_SET);
            std::fputc((original ^ delta) & 0xFF, f.get());
            std::fflush(f.get());
            QVERIFY2(!om::ReadTitle(f.get()),
                     qPrintable(QStringLiteral("byte %1 xor 0x%2").arg(i).arg(delta, 0, 16)));
        }
        std::fseek(f.get(), kTitleAt + i, SEEK_SET);
        std::fputc(original, f.get());
        std::fflush(f.get());
        QVERIFY(om::ReadTitle(f.get()));
    }
}

// ---------------------------------------------------------------- enemy names

void TestRomData::enemyName_data() {
    QTest::addColumn<int>("k");
    QTest::addColumn<QByteArray>("stored");    // the 25 bytes after the record's first
    QTest::addColumn<QByteArray>("expected");  // decoded text

    auto encode = [](const QByteArray& text) {
        QByteArray out;
        for (char c : text)
            out += static_cast<char>(om::EncodeNameByte(static_cast<unsigned char>(c)));
        return out;
    };
    const QByteArray full25 = "Thornback Mire Strider XL";
    Q_ASSERT(full25.size() == 25);

    QTest::newRow("first record") << 0 << encode("Sludge Newt") << QByteArray("Sludge Newt");
    QTest::newRow("second record") << 1 << encode("Reedcutter") << QByteArray("Reedcutter");
    QTest::newRow("last record") << 229 << encode("Ebb Tyrant") << QByteArray("Ebb Tyrant");
    QTest::newRow("25 bytes, no terminator") << 7 << encode(full25) << full25;
    QTest::newRow("last record, 25 bytes") << 229 << encode(full25) << full25;
    QTest::newRow("stored 0x30 ends the name")
        << 3 << encode("Ash") + QByteArray("\x30", 1) + encode("Tail") << QByteArray("Ash");
    QTest::newRow("stored 0x00 ends the name")
        << 3 << encode("Ash") + QByteArray("\0", 1) + encode("Tail") << QByteArray("Ash");
    QTest::newRow("empty: stored 0x30 first") << 4 << QByteArray("\x30Xyz", 4) << QByteArray();
    QTest::newRow("bytes below 0x30 wrap around")
        << 5 << QByteArray("\x01\x19\x2F\x31", 4) << QByteArray("\xD1\xE9\xFF\x01", 4);
    QTest::newRow("0xFF decodes to 0xCF") << 6 << QByteArray("\xFF\xFF", 2)
                                          << QByteArray("\xCF\xCF", 2);
}

void TestRomData::enemyName() {
    QFETCH(int, k);
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, expected);

    om::RomImage image;
    // Every record around k is filled with garbage and non-zero name bytes,
    // so reading a byte too many or from the wrong place shows.
    for (int j = 0; j < om::kEnemyNameCount; ++j) {
        FillRecordOutsideName(image, j, static_cast<std::uint8_t>(0x41 + j % 50));
        image.putRawEnemyName(j, std::string(om::kEnemyNameLength, '\x95'));
    }
    const long base = kNamesAt + 94L * k + 1;
    for (int i = 0; i < om::kEnemyNameLength; ++i)
        image.put(base + i, i < stored.size() ? static_cast<std::uint8_t>(stored[i]) : 0);
    // The byte after the last record is not part of any name either.
    image.put(kNamesAt + 94L * om::kEnemyNameCount, 0x77);
    omtest::TempRom rom(image);

    File f = OpenRead(rom.path());
    QVERIFY(f);
    om::EnemyNameSlot slot;
    slot.fill(0x5A);
    om::ReadEnemyName(f.get(), k, slot);
    QCOMPARE(QByteArray::fromStdString(SlotText(slot)), expected);
    // Every one of the 25 bytes is decoded from the file, whatever it held.
    for (int i = 0; i < om::kEnemyNameLength; ++i) {
        const int b = i < stored.size() ? static_cast<unsigned char>(stored[i]) : 0;
        QCOMPARE(int(slot[static_cast<std::size_t>(i)]), int(om::DecodeNameByte(b)));
    }

    om::BattleAnimData data;
    data.ReadEnemyNames(f.get());
    QCOMPARE(QByteArray::fromStdString(std::string(data.enemyName(k))), expected);
    if (k + 1 < om::kEnemyNameCount)
        QCOMPARE(QByteArray::fromStdString(std::string(data.enemyName(k + 1))),
                 QByteArray(25, '\x65'));  // 0x95 - 0x30
}

void TestRomData::enemyNamesInShortFile() {
    // The file ends after 10 name bytes of enemy 6 (k = 5).
    const long size = kNamesAt + 94L * 5 + 1 + 10;
    om::RomImage image(size);
    for (int k = 0; k <= 5; ++k)
        image.putEnemyName(k, "Quagmire Lurker Elder");  // 21 bytes
    omtest::TempRom rom(image);
    QCOMPARE(FileSize(rom.path()), size);

    File f = OpenRead(rom.path());
    QVERIFY(f);
    om::BattleAnimData data;
    data.ReadEnemyNames(f.get());
    QCOMPARE(std::string(data.enemyName(4)), std::string("Quagmire Lurker Elder"));
    QCOMPARE(std::string(data.enemyName(5)), std::string("Quagmire L") + std::string(15, '\xCF'));
    for (int k : {6, 100, 229})
        QCOMPARE(std::string(data.enemyName(k)), std::string(25, '\xCF'));
}

// ---------------------------------------------------------------- entries


void TestRomData::entryPastEndOfFile_data() {
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("present");  // bytes of entry g inside the file

    for (int present = 0; present <= 4; ++present)
        QTest::addRow("group 100, %d bytes inside", present) << 100 << present;
    QTest::newRow("group 484, 3 bytes inside") << 484 << 3;
    QTest::newRow("group 0, 1 byte inside") << 0 << 1;
}

void TestRomData::entryPastEndOfFile() {
    QFETCH(int, g);
    QFETCH(int, present);

    const long size = kTableAt + 4L * g + present;
    om::RomImage image(size);
    for (int h = 0; h <= g; ++h)
        image.putEntry(h, 0x11, 0x22, 0x33, static_cast<std::uint8_t>(h));
    omtest::TempRom rom(image);
    File f = OpenRead(rom.path());
    QVERIFY(f);

    const int stored[4] = {0x11, 0x22, 0x33, g & 0xFF};
    const om::BattleBgEntry e = om::ReadEntry(f.get(), g);
    const int got[4] = {e.layer1Lo, e.layer1Hi, e.layer2Lo, e.layer2Hi};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(got[i], i < present ? stored[i] : -1);

    if (g > 0) {
        const om::BattleBgEntry before = om::ReadEntry(f.get(), g - 1);
        QCOMPARE(before.layer2Hi, (g - 1) & 0xFF);
    }
    if (g + 1 < om::kGroupCount) {
        const om::BattleBgEntry after = om::ReadEntry(f.get(), g + 1);
        QCOMPARE(after.layer1Lo, -1);
        QCOMPARE(after.layer2Hi, -1);
    }

    om::BattleAnimData data;
    data.ReadBattleBgEntries(f.get());
    QCOMPARE(data.record(g).layer1Hi, present > 1 ? 0x22 : -1);
    QCOMPARE(data.record(484).layer2Hi, g == 484 && present == 4 ? 484 & 0xFF : -1);
}

void TestRomData::writeEntryKeepsLowBits() {
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom rom(image);
    {
        File f = OpenUpdate(rom.path());
        QVERIFY(f);
        om::WriteEntry(f.get(), 7, 300, 256, -2, -1);
    }
    const long at = kTableAt + 4 * 7;
    const auto bytes = rom.bytes();
    QCOMPARE((std::vector<int>{bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]}),
             (std::vector<int>{0x2C, 0x00, 0xFE, 0xFF}));
    for (long d : omtest::DifferingOffsets(image.bytes(), bytes))
        QVERIFY2(d >= at && d < at + 4, qPrintable(QString::number(d)));
}

void TestRomData::romFileReadsWhatWasWritten() {
    // Ends in the middle of group 300's entry: part of the table is written
    // past the end of the file.
    const long size = kTableAt + 4 * 300 + 2;
    om::RomImage image(size);
    image.putTitle();
    omtest::TempRom rom(image);

    om::RomFile file;
    file.adopt(om::RomFile::OpenForUpdate(rom.path()));
    QVERIFY(file.isOpen());
    // A load first, so that the stream holds the old bytes in its buffer.
    om::BattleAnimData back;
    back.ReadBattleBgEntries(file.stream());
    QCOMPARE(back.record(299).layer1Lo, 0);
    QCOMPARE(back.record(300).layer2Lo, -1);

    om::BattleAnimData data;
    SetValues(data);
    file.beginWrite();
    data.WriteBattleBgEntries(file.stream());

    // Read back through the same stream before anything is pushed out.
    back.ReadBattleBgEntries(file.stream());
    for (int g = 0; g < om::kGroupCount; ++g) {
        QCOMPARE(back.record(g).layer1Lo, Value(g, 0) & 0xFF);
        QCOMPARE(back.record(g).layer1Hi, Value(g, 1) & 0xFF);
        QCOMPARE(back.record(g).layer2Lo, Value(g, 2) & 0xFF);
        QCOMPARE(back.record(g).layer2Hi, Value(g, 3) & 0xFF);
    }
    QVERIFY(om::ReadTitle(file.stream()));

    // finishWrite() puts it all in the file while the stream stays open.
    QVERIFY(file.finishWrite());
    QVERIFY(file.isOpen());
    const auto written = rom.bytes();
    QCOMPARE(long(written.size()), kTableEnd);
    QVERIFY(std::equal(image.bytes().begin(), image.bytes().begin() + kTableAt, written.begin()));
    for (int g = 0; g < om::kGroupCount; ++g)
        for (int i = 0; i < 4; ++i)
            QCOMPARE(int(written[static_cast<std::size_t>(kTableAt + 4 * g + i)]),
                     Value(g, i) & 0xFF);

    // A second save over the first, then close.
    data.record(484).layer2Hi = 0x3C;
    file.beginWrite();
    data.WriteBattleBgEntries(file.stream());
    file.close();
    const auto again = rom.bytes();
    QCOMPARE(long(again.size()), kTableEnd);
    QCOMPARE(int(again[static_cast<std::size_t>(kTableEnd - 1)]), 0x3C);
    QCOMPARE(omtest::DifferingOffsets(written, again), std::vector<long>{kTableEnd - 1});
}

// ---------------------------------------------------------------- data set

void TestRomData::initGroupRecords() {
    om::BattleAnimData data;
    for (int g = 0; g < om::kGroupCount; ++g) {
        om::GroupRecord& r = data.record(g);
        r.layer1Lo = 1000 + g;
        r.layer1Hi = -g;
        r.layer2Lo = 77;
        r.layer2Hi = 300;
    }

    // Templates from strings that are changed afterwards: the records keep
    // their own copies.
    std::array<std::string, om::kGroupCount> texts;
    om::GroupTemplates templates{};
    om::LeadEnemies leads{};
    for (int g = 0; g < om::kGroupCount; ++g) {
        texts[static_cast<std::size_t>(g)] = "Crowd " + std::to_string(g) + " \x02\x05";
        templates[static_cast<std::size_t>(g)] = texts[static_cast<std::size_t>(g)];
        leads[static_cast<std::size_t>(g)] = static_cast<std::uint8_t>(g * 7 % 230);
    }
    data.InitGroupRecords(templates, leads);
    for (std::string& t : texts)
        t.assign(t.size(), '#');

    for (int g = 0; g < om::kGroupCount; ++g) {
        const om::GroupRecord& r = data.record(g);
        QCOMPARE(r.entryOffset, 776862 + 4 * g);
        QCOMPARE(r.leadEnemy, g * 7 % 230);
        QCOMPARE(r.descriptionTemplate, "Crowd " + std::to_string(g) + " \x02\x05");
        QCOMPARE(r.layer1Lo, 1000 + g);
        QCOMPARE(r.layer1Hi, -g);
        QCOMPARE(r.layer2Lo, 77);
        QCOMPARE(r.layer2Hi, 300);
    }
}

// ---------------------------------------------------------------- ROM stream




void TestRomData::adoptFlushesPreviousStream() {
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom romA(image, "a.smc");
    omtest::TempRom romB(image, "b.smc");

    om::RomFile file;
    file.adopt(om::RomFile::OpenForUpdate(romA.path()));
    QVERIFY(file.isOpen());
    // A few bytes stay in the stream's buffer until it is flushed.
    om::WriteEntry(file.stream(), 20, 0xAB, 0xCD, 0xEF, 0x12);
    std::unique_ptr<om::RomStream> b = om::RomFile::OpenForUpdate(romB.path());
    QVERIFY(b);
    std::FILE* streamB = b->file();
    file.adopt(std::move(b));
    QCOMPARE(file.stream(), streamB);

    // A is closed now: its bytes are in the file.
    const auto bytesA = romA.bytes();
    QCOMPARE(int(bytesA[kTableAt + 80]), 0xAB);
    QCOMPARE(int(bytesA[kTableAt + 83]), 0x12);
    QCOMPARE(omtest::DifferingOffsets(image.bytes(), bytesA).size(), std::size_t(4));

    file.beginWrite();
    om::WriteEntry(file.stream(), 0, 1, 2, 3, 4);
    QVERIFY(file.finishWrite());
    const auto bytesB = romB.bytes();
    QCOMPARE(int(bytesB[kTableAt]), 1);
    QCOMPARE(int(bytesB[kTableAt + 3]), 4);
}

void TestRomData::finishWriteReportsFailedWrite() {
    om::RomFile file;
    QVERIFY(!file.finishWrite());  // nothing open

    omtest::TempRom rom(omtest::MakeTestImage());
    const auto before = rom.bytes();
    om::BattleAnimData data;
    SetValues(data);
    for (const char* what : {"write", "sync"}) {
        file.adopt(om::RomFile::OpenForUpdate(rom.path()));
        QVERIFY(file.isOpen());
        omtest::FaultInjection faults;
        omtest::FaultInjection::writesFail = std::string(what) == "write";
        omtest::FaultInjection::syncFails = std::string(what) == "sync";
        file.beginWrite();
        data.WriteBattleBgEntries(file.stream());
        QVERIFY2(!file.finishWrite(), what);
        // The next save, with the fault gone, succeeds.
        omtest::FaultInjection::writesFail = omtest::FaultInjection::syncFails = false;
        file.beginWrite();
        data.WriteBattleBgEntries(file.stream());
        QVERIFY2(file.finishWrite(), what);
        file.close();
    }
    QVERIFY(rom.bytes() != before);
}

// Nothing but a regular file is ever opened, not even to be refused; and
// what is opened is the file that was looked at.
void TestRomData::openRefusesWhatIsNotAFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("why");
    constexpr int kNone = 0, kCannotOpen = 1, kNotRegular = 2;
    // "to ...": put in the file's place between the look and the open.
    for (const auto& [kind, why] : {std::pair{"file", kNone}, {"device", kNotRegular},
                                    {"fifo", kNotRegular}, {"folder", kNotRegular},
                                    {"to fifo", kNotRegular}, {"to file", kCannotOpen}})
        QTest::newRow(kind) << QString::fromLatin1(kind) << why;
}

void TestRomData::openRefusesWhatIsNotAFile() {
    QFETCH(QString, kind);
    QFETCH(int, why);
    omtest::TempRom rom(om::RomImage(100));
    static std::string swapIn;
    swapIn = (rom.dir() + "/other").toStdString();
    std::string path = rom.path();
    if (kind == "device") {  // a node of our own: nobody else opens it meanwhile
        path = (rom.dir() + "/zero").toStdString();
        if (::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 5)) != 0)
            path = "/dev/zero";
    } else if (kind == "fifo" || kind == "to fifo") {
        if (kind == "fifo")
            path = rom.dir().toStdString() + "/p";
        QCOMPARE(::mkfifo((kind == "fifo" ? path : swapIn).c_str(), 0600), 0);
    } else if (kind == "folder") {
        path = rom.dir().toStdString();
    } else if (kind == "to file") {
        QVERIFY(om::RomImage(100).writeFile(swapIn));
    }
    if (kind.startsWith("to "))
        om::betweenLookAndOpen() = [](const std::string& p) {
            std::rename(swapIn.c_str(), p.c_str());
        };
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0 && ::inotify_add_watch(watch, path.c_str(), IN_OPEN) >= 0);
    om::OpenFailure got = om::OpenFailure::Locked;
    QCOMPARE(om::RomFile::OpenForUpdate(path, &got) != nullptr, kind == "file");
    om::betweenLookAndOpen() = nullptr;
    alignas(inotify_event) char events[4096];  // the first is IN_OPEN if anything opened it
    const bool opened = ::read(watch, events, sizeof events) > 0 &&
                        (reinterpret_cast<const inotify_event*>(events)->mask & IN_OPEN);
    QCOMPARE(opened, kind == "file");
    ::close(watch);
    QCOMPARE(int(got), why);
}

// Text from a ROM or a CSV, made printable: UTF-8 as the companion writes
// it, each control byte as \xNN.
void TestRomData::terminalSafe_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("safe");
    QTest::addColumn<QByteArray>("quoted");  // QuotedField; empty: the same as safe
    const auto row = [](const char* name, const QByteArray& text, const QByteArray& safe,
                        const QByteArray& quoted = {}) {
        QTest::newRow(name) << text << safe << quoted;
    };
    row("plain, backslash kept", "Mire\\Hag 1,2", "Mire\\Hag 1,2");
    row("window title", "\x1B]0;owned\x07", "\\x1B]0;owned\\x07");
    row("tab, CR, LF, DEL", "a\tb\r\n\x7F", "a\\x09b\\x0D\\x0A\\x7F");
    row("C1, alone and in UTF-8", "\x9B|\xC2\x80\xC2\x9B" "2J\xC2\x9F",
        "\\x9B|\\xC2\\x80\\xC2\\x9B2J\\xC2\\x9F");
    // Continuation bytes 80-9F of letters; a Latin-1 name's byte E9.
    row("letters, Latin-1", "\xC2\xA0\xC3\x96\xE2\x82\xAC\xF0\x9F\x90\x89 caf\xE9",
        "\xC2\xA0\xC3\x96\xE2\x82\xAC\xF0\x9F\x90\x89 caf\xE9");
    row("not UTF-8", "\xE2\x82|\xED\xA0\x80|\xC0\x80|\xF4\x90\x80\x80",
        "\xE2\\x82|\xED\xA0\\x80|\xC0\\x80|\xF4\\x90\\x80\\x80");
    const QByteArray a40(40, 'a'), a39(39, 'a'), oe("\xC3\xB6");
    row("40 characters", a40, a40);
    row("41 characters", a40 + "b", a40 + "b", a40 + "...");
    row("41 two-byte letters", oe.repeated(41), oe.repeated(41), oe.repeated(40) + "...");
    row("41 escapes", QByteArray(41, '\x1B'), QByteArray("\\x1B").repeated(41),
        QByteArray("\\x1B").repeated(40) + "...");
    row("cut after a C1 character", a39 + "\xC2\x9B" "b", a39 + "\\xC2\\x9Bb",
        a39 + "\\xC2\\x9B...");
}

void TestRomData::terminalSafe() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, safe);
    QFETCH(QByteArray, quoted);
    QCOMPARE(QByteArray::fromStdString(om::TerminalSafe(text.toStdString())), safe);
    QCOMPARE(QByteArray::fromStdString(om::QuotedField(text.toStdString())),
             quoted.isEmpty() ? safe : quoted);
    // Escaping twice changes nothing more.
    QCOMPARE(QByteArray::fromStdString(om::TerminalSafe(safe.toStdString())), safe);
}

// ---------------------------------------------------------------- images

void TestRomData::emptyImage() {
    // A zero-byte image makes a zero-byte file.
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/empty.smc").toStdString();
    const om::RomImage image(0);
    QVERIFY(image.writeNewFile(path));
    QCOMPARE(FileSize(path), 0L);
    QVERIFY(!image.writeNewFile(path));  // never replaces a file
    QVERIFY(image.writeFile(path));
    QCOMPARE(FileSize(path), 0L);
}

QTEST_GUILESS_MAIN(TestRomData)
#include "test_romdata.moc"
