// The ROM primitives, the data set built on them and the ROM stream, checked
// byte for byte against images written to temporary files.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
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
#include "romdata/RomImage.h"
#include "romdata/RomLayout.h"

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

// A stream open for update: a plain stdio one, or the editor's own RomFile.
class Updater {
public:
    Updater(bool viaRomFile, const std::string& path) {
        if (viaRomFile)
            rom_.adopt(om::RomFile::OpenForUpdate(path));
        else
            stdio_ = OpenUpdate(path);
    }
    explicit operator bool() const { return get() != nullptr; }
    std::FILE* get() const { return rom_.isOpen() ? rom_.stream() : stdio_.get(); }

private:
    om::RomFile rom_;
    File stdio_;
};

void AddStreamRows() {
    QTest::addColumn<bool>("viaRomFile");
    QTest::newRow("stdio") << false;
    QTest::newRow("RomFile") << true;
}

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
    void entryOffsets();
    void entryPastEndOfFile_data();
    void entryPastEndOfFile();
    void writeEntryKeepsLowBits_data() { AddStreamRows(); }
    void writeEntryKeepsLowBits();
    void writeAllEntriesChangesOnlyTheTable_data() { AddStreamRows(); }
    void writeAllEntriesChangesOnlyTheTable();
    void writeAllEntriesExtendsShortFile_data() { AddStreamRows(); }
    void writeAllEntriesExtendsShortFile();
    void romFileReadsWhatWasWritten();
    void initGroupRecords();
    void secondLoadReplacesEverything();
    void headerlessImage();
    void openForUpdateRefuses_data();
    void openForUpdateRefuses();
    void openForUpdateKeepsContents();
    void adoptFlushesPreviousStream();
    void finishWriteReportsFailedWrite();
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
    QTest::newRow("mixed case") << QByteArray("Orbit Marsh") << full << false;
    QTest::newRow("last letter lower case") << QByteArray("ORBIT MARSh") << full << false;
    QTest::newRow("last byte differs") << QByteArray("ORBIT MARSX") << full << false;
    QTest::newRow("first byte differs") << QByteArray("0RBIT MARSH") << full << false;
    QTest::newRow("zero inside") << QByteArray("ORBIT\0MARSH", 11) << full << false;
    QTest::newRow("zero at the end") << QByteArray("ORBIT MARS\0", 11) << full << false;
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
        for (int delta : {1, 0x20, 0x80}) {
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

void TestRomData::entryOffsets() {
    om::RomImage image;
    image.put(kTableAt - 1, 0xEE);
    image.put(kTableEnd, 0xDD);
    for (int g = 0; g < om::kGroupCount; ++g)
        image.putEntry(g, static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g >> 8),
                       static_cast<std::uint8_t>(0x80 + g % 97), static_cast<std::uint8_t>(0xC0 + g % 61));
    // putEntry must have written exactly at 776862 + 4g.
    QCOMPARE(int(image.at(kTableAt)), 0);
    QCOMPARE(int(image.at(kTableEnd - 4)), 484 & 0xFF);
    QCOMPARE(int(image.at(kTableEnd - 3)), 1);
    QCOMPARE(int(image.at(kTableEnd)), 0xDD);
    omtest::TempRom rom(image);

    File f = OpenRead(rom.path());
    QVERIFY(f);
    for (int g = 0; g < om::kGroupCount; ++g) {
        const om::BattleBgEntry e = om::ReadEntry(f.get(), g);
        const long at = kTableAt + 4L * g;
        QCOMPARE(e.layer1Lo, int(image.at(at)));
        QCOMPARE(e.layer1Hi, int(image.at(at + 1)));
        QCOMPARE(e.layer2Lo, int(image.at(at + 2)));
        QCOMPARE(e.layer2Hi, int(image.at(at + 3)));
    }
    om::BattleAnimData data;
    data.ReadBattleBgEntries(f.get());
    QCOMPARE(data.record(0).layer1Lo, 0);
    QCOMPARE(data.record(484).layer1Lo, 484 & 0xFF);
    QCOMPARE(data.record(484).layer1Hi, 1);
    QCOMPARE(data.record(484).layer2Lo, 0x80 + 484 % 97);
    QCOMPARE(data.record(484).layer2Hi, 0xC0 + 484 % 61);
}

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
    QFETCH(bool, viaRomFile);
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom rom(image);
    {
        Updater f(viaRomFile, rom.path());
        QVERIFY(f);
        om::WriteEntry(f.get(), 7, 300, 256, -2, -1);
    }
    const auto bytes = rom.bytes();
    const long at = kTableAt + 4 * 7;
    QCOMPARE(int(bytes[at]), 0x2C);
    QCOMPARE(int(bytes[at + 1]), 0x00);
    QCOMPARE(int(bytes[at + 2]), 0xFE);
    QCOMPARE(int(bytes[at + 3]), 0xFF);
    const auto diff = omtest::DifferingOffsets(image.bytes(), bytes);
    for (long d : diff)
        QVERIFY2(d >= at && d < at + 4, qPrintable(QString::number(d)));

    // Through the data set: the record keeps the values it was given.
    om::BattleAnimData data;
    {
        Updater f(viaRomFile, rom.path());
        QVERIFY(f);
        data.ReadBattleBgEntries(f.get());
        om::GroupRecord& r = data.record(12);
        r.layer1Lo = 300;
        r.layer1Hi = 256;
        r.layer2Lo = -2;
        r.layer2Hi = -1;
        data.WriteBattleBgEntries(f.get());
    }
    QCOMPARE(data.record(12).layer1Lo, 300);
    QCOMPARE(data.record(12).layer1Hi, 256);
    QCOMPARE(data.record(12).layer2Lo, -2);
    QCOMPARE(data.record(12).layer2Hi, -1);
    const auto after = rom.bytes();
    QCOMPARE(int(after[kTableAt + 48]), 0x2C);
    QCOMPARE(int(after[kTableAt + 49]), 0x00);
    QCOMPARE(int(after[kTableAt + 50]), 0xFE);
    QCOMPARE(int(after[kTableAt + 51]), 0xFF);
}

void TestRomData::writeAllEntriesChangesOnlyTheTable() {
    QFETCH(bool, viaRomFile);
    // Non-zero bytes right around the table show a write that strays.
    om::RomImage image = omtest::MakeTestImage();
    image.put(kTableAt - 1, 0x5C);
    image.put(kTableEnd, 0xC5);
    omtest::TempRom rom(image);
    const auto original = rom.bytes();
    QCOMPARE(long(original.size()), om::kDemoImageSize);

    om::BattleAnimData data;
    {
        Updater f(viaRomFile, rom.path());
        QVERIFY(f);
        data.ReadBattleBgEntries(f.get());
        SetValues(data);
        data.WriteBattleBgEntries(f.get());
    }
    const auto written = rom.bytes();
    QCOMPARE(long(written.size()), om::kDemoImageSize);
    for (long d : omtest::DifferingOffsets(original, written))
        QVERIFY2(d >= kTableAt && d < kTableEnd, qPrintable(QString::number(d)));
    for (int g = 0; g < om::kGroupCount; ++g)
        for (int i = 0; i < 4; ++i)
            QCOMPARE(int(written[static_cast<std::size_t>(kTableAt + 4 * g + i)]),
                     Value(g, i) & 0xFF);
}

void TestRomData::writeAllEntriesExtendsShortFile() {
    QFETCH(bool, viaRomFile);
    om::RomImage image(kTableAt);
    image.putTitle();
    image.put(kTableAt - 1, 0xA7);
    omtest::TempRom rom(image);

    om::BattleAnimData data;
    SetValues(data);
    {
        Updater f(viaRomFile, rom.path());
        QVERIFY(f);
        data.WriteBattleBgEntries(f.get());
    }
    const auto written = rom.bytes();
    QCOMPARE(long(written.size()), kTableEnd);
    QVERIFY(std::equal(image.bytes().begin(), image.bytes().end(), written.begin()));
    for (int g = 0; g < om::kGroupCount; ++g)
        for (int i = 0; i < 4; ++i)
            QCOMPARE(int(written[static_cast<std::size_t>(kTableAt + 4 * g + i)]),
                     Value(g, i) & 0xFF);
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

    QCOMPARE(data.record(0).entryOffset, 776862);
    QCOMPARE(data.record(1).entryOffset, 776866);
    QCOMPARE(data.record(484).entryOffset, 0xBDA9E + 1936);
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

    // The built-in tables.
    data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable);
    for (int g = 0; g < om::kGroupCount; ++g) {
        const om::GroupRecord& r = data.record(g);
        QCOMPARE(r.leadEnemy, int(om::LeadEnemyTable[static_cast<std::size_t>(g)]));
        QCOMPARE(r.descriptionTemplate, std::string(om::GroupTemplateTable[static_cast<std::size_t>(g)]));
        QCOMPARE(r.layer1Lo, 1000 + g);
    }
    QCOMPARE(data.record(0).leadEnemy, 158);
}

void TestRomData::secondLoadReplacesEverything() {
    const om::RomImage first = omtest::MakeTestImage();
    om::RomImage second;
    second.putTitle();
    for (int k = 0; k < om::kEnemyNameCount; ++k)
        second.putEnemyName(k, k % 2 ? "Ox" : "");
    for (int g = 0; g < om::kGroupCount; ++g) {
        const long at = kTableAt + 4L * g;
        second.putEntry(g, static_cast<std::uint8_t>(~first.at(at)), static_cast<std::uint8_t>(~first.at(at + 1)),
                        static_cast<std::uint8_t>(~first.at(at + 2)), static_cast<std::uint8_t>(~first.at(at + 3)));
    }
    omtest::TempRom romA(first, "first.smc");
    omtest::TempRom romB(second, "second.smc");

    om::BattleAnimData data;
    for (const omtest::TempRom* rom : {&romA, &romB}) {
        File f = OpenRead(rom->path());
        QVERIFY(f);
        data.ReadEnemyNames(f.get());
        data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable);
        data.ReadBattleBgEntries(f.get());
    }
    for (int k = 0; k < om::kEnemyNameCount; ++k)
        QCOMPARE(std::string(data.enemyName(k)), std::string(k % 2 ? "Ox" : ""));
    for (int g = 0; g < om::kGroupCount; ++g) {
        const om::GroupRecord& r = data.record(g);
        const long at = kTableAt + 4L * g;
        QCOMPARE(r.layer1Lo, int(second.at(at)));
        QCOMPARE(r.layer1Hi, int(second.at(at + 1)));
        QCOMPARE(r.layer2Lo, int(second.at(at + 2)));
        QCOMPARE(r.layer2Hi, int(second.at(at + 3)));
    }
}

void TestRomData::headerlessImage() {
    const om::RomLayout bare{0};
    QCOMPARE(bare.titleOffset(), kTitleAt - 512);
    QCOMPARE(bare.enemyRecordOffset(0), kNamesAt - 512);
    QCOMPARE(bare.entryOffset(0), kTableAt - 512);

    om::RomImage image(om::kDemoImageSize - 512, bare);
    image.putTitle();
    for (int k = 0; k < om::kEnemyNameCount; ++k) {
        FillRecordOutsideName(image, k, 0x61);
        image.putEnemyName(k, "Bare " + std::to_string(k));
    }
    for (int g = 0; g < om::kGroupCount; ++g)
        image.putEntry(g, static_cast<std::uint8_t>(g), 0x40, static_cast<std::uint8_t>(g * 3), 0x01);
    // Spot checks of where RomImage put things, independent of RomLayout.
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.bytes().data()) + 0xFFC0, 11),
             QByteArray("ORBIT MARSH"));
    QCOMPARE(int(image.at(kNamesAt - 512 + 1)), int('B') + 0x30);
    QCOMPARE(int(image.at(kTableAt - 512 + 4 * 3 + 2)), 9);
    omtest::TempRom rom(image, "bare.sfc");

    om::BattleAnimData data;
    {
        Updater f(true, rom.path());
        QVERIFY(f);
        QVERIFY(om::ReadTitle(f.get(), bare));
        QVERIFY(!om::ReadTitle(f.get()));  // not where a copier header would put it
        data.ReadEnemyNames(f.get(), bare);
        data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable, bare);
        data.ReadBattleBgEntries(f.get(), bare);
        QCOMPARE(data.record(0).entryOffset, 776350);
        QCOMPARE(data.record(484).entryOffset, 776350 + 1936);
        QCOMPARE(std::string(data.enemyName(0)), std::string("Bare 0"));
        QCOMPARE(std::string(data.enemyName(229)), std::string("Bare 229"));
        for (int g = 0; g < om::kGroupCount; ++g) {
            QCOMPARE(data.record(g).layer1Lo, g & 0xFF);
            QCOMPARE(data.record(g).layer1Hi, 0x40);
            QCOMPARE(data.record(g).layer2Lo, (g * 3) & 0xFF);
            QCOMPARE(data.record(g).layer2Hi, 0x01);
        }
        SetValues(data);
        data.WriteBattleBgEntries(f.get(), bare);
    }
    const auto written = rom.bytes();
    for (long d : omtest::DifferingOffsets(image.bytes(), written))
        QVERIFY2(d >= kTableAt - 512 && d < kTableEnd - 512, qPrintable(QString::number(d)));
    for (int g = 0; g < om::kGroupCount; ++g)
        for (int i = 0; i < 4; ++i)
            QCOMPARE(int(written[static_cast<std::size_t>(kTableAt - 512 + 4 * g + i)]),
                     Value(g, i) & 0xFF);
}

// ---------------------------------------------------------------- ROM stream

void TestRomData::openForUpdateRefuses_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("directory") << "directory";
    QTest::newRow("path through a file") << "through-file";
    QTest::newRow("read-only file") << "read-only";
    QTest::newRow("device") << "device";
}

void TestRomData::openForUpdateRefuses() {
    QFETCH(QString, kind);
    if (kind == "read-only" && geteuid() == 0)
        QSKIP("root may write to a read-only file");

    omtest::TempRom rom(om::RomImage(4096));
    std::string path;
    if (kind == "missing") {
        path = rom.dir().toStdString() + "/absent.smc";
    } else if (kind == "directory") {
        path = rom.dir().toStdString();
    } else if (kind == "device") {
        path = "/dev/null";
    } else if (kind == "through-file") {
        path = rom.path() + "/x";
    } else {
        path = rom.path();
        QVERIFY(QFile::setPermissions(rom.qpath(), QFile::ReadOwner | QFile::ReadGroup |
                                                       QFile::ReadOther));
    }
    om::OpenFailure why = om::OpenFailure::None;
    QVERIFY(om::RomFile::OpenForUpdate(path, &why) == nullptr);
    QCOMPARE(why, kind == "device" ? om::OpenFailure::NotRegular : om::OpenFailure::CannotOpen);
    QVERIFY(!QFile::exists(rom.dir() + "/absent.smc"));  // nothing was created
    QCOMPARE(FileSize(rom.path()), 4096L);
}

void TestRomData::openForUpdateKeepsContents() {
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom rom(image);
    om::RomFile file;
    QVERIFY(!file.isOpen());
    file.adopt(om::RomFile::OpenForUpdate(rom.path()));
    QVERIFY(file.isOpen());
    QVERIFY(om::ReadTitle(file.stream()));
    file.close();
    QVERIFY(!file.isOpen());
    QVERIFY(rom.bytes() == image.bytes());
}

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
