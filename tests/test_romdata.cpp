// The ROM primitives and the data set built on them, checked byte for byte
// against images written to temporary files. (The ROM stream is driven by
// every Save and every companion edit, in the window and companion suites.)
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QtTest>
#include <cstdio>
#include <memory>
#include <string>

#include "TestImages.h"
#include "romdata/BattleAnimData.h"
#include "romdata/RegularFile.h"
#include "romdata/RomFile.h"
#include "romdata/RomImage.h"
#include "romdata/RomLayout.h"
#include "romdata/TerminalSafe.h"

namespace {

constexpr long kTitleAt = 0x101C0;
constexpr long kNamesAt = 0x1597E7;
constexpr long kTableAt = 776862;

int Close(std::FILE* f) { return std::fclose(f); }
using File = std::unique_ptr<std::FILE, decltype(&Close)>;

File OpenRead(const std::string& path) { return File(std::fopen(path.c_str(), "rb"), &Close); }
File OpenUpdate(const std::string& path) { return File(std::fopen(path.c_str(), "rb+"), &Close); }

// Name text as stored: each character plus 0x30.
QByteArray Encoded(QByteArray text) {
    for (char& c : text)
        c = static_cast<char>(static_cast<unsigned char>(c) + 0x30);
    return text;
}

}  // namespace

class TestRomData : public QObject {
    Q_OBJECT
private slots:
    // ---------------------------------------------------------------- title

    // The title matches exactly, and not with any one of its bytes changed.
    void titleEverySingleByteChange() {
        const std::string title = "ORBIT MARSH";
        om::RomImage image(kTitleAt + 11);
        image.putTitle(title);
        omtest::TempRom rom(image);
        File f = OpenUpdate(rom.path());
        QVERIFY(f);
        const auto put = [&](int i, int byte) {
            std::fseek(f.get(), kTitleAt + i, SEEK_SET);
            std::fputc(byte & 0xFF, f.get());
            std::fflush(f.get());
        };
        QVERIFY(om::ReadTitle(f.get()));
        for (int i = 0; i < 11; ++i) {
            // Case, low bit, high bit, and the byte made zero.
            for (int delta : {1, 0x20, 0x80, int(title[i])}) {
                put(i, title[i] ^ delta);
                QVERIFY2(!om::ReadTitle(f.get()),
                         qPrintable(QStringLiteral("byte %1 xor 0x%2").arg(i).arg(delta, 0, 16)));
            }
            put(i, title[i]);
            QVERIFY(om::ReadTitle(f.get()));
        }
    }

    // ---------------------------------------------------------------- enemy names

    void enemyName_data() {
        QTest::addColumn<int>("k");
        QTest::addColumn<QByteArray>("stored");    // the 25 bytes after the record's first
        QTest::addColumn<QByteArray>("expected");  // decoded text

        const QByteArray full25 = "Thornback Mire Strider XL";
        Q_ASSERT(full25.size() == 25);

        QTest::newRow("first record") << 0 << Encoded("Sludge Newt") << QByteArray("Sludge Newt");
        QTest::newRow("second record") << 1 << Encoded("Reedcutter") << QByteArray("Reedcutter");
        QTest::newRow("25 bytes, no terminator") << 7 << Encoded(full25) << full25;
        QTest::newRow("last record, 25 bytes") << 229 << Encoded(full25) << full25;
        QTest::newRow("stored 0x30 ends the name")
            << 3 << Encoded("Ash") + QByteArray("\x30", 1) + Encoded("Tail") << QByteArray("Ash");
        QTest::newRow("stored 0x00 ends the name")
            << 3 << Encoded("Ash") + QByteArray("\0", 1) + Encoded("Tail") << QByteArray("Ash");
        QTest::newRow("empty: stored 0x30 first") << 4 << QByteArray("\x30Xyz", 4) << QByteArray();
        QTest::newRow("bytes below 0x30 wrap around")
            << 5 << QByteArray("\x01\x19\x2F\x31", 4) << QByteArray("\xD1\xE9\xFF\x01", 4);
        QTest::newRow("0xFF decodes to 0xCF") << 6 << QByteArray("\xFF\xFF", 2)
                                              << QByteArray("\xCF\xCF", 2);
    }

    void enemyName() {
        QFETCH(int, k);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, expected);

        om::RomImage image;
        // Every record around k is filled with garbage (its first byte and the
        // 68 after the name) and 25 non-zero name bytes, so reading a byte too
        // many or from the wrong place shows.
        for (int j = 0; j < om::kEnemyNameCount; ++j)
            for (int i = 0; i < 94; ++i)
                image.put(kNamesAt + 94L * j + i,
                          static_cast<std::uint8_t>(i >= 1 && i <= 25 ? 0x95 : 0x41 + j % 50 + i));
        const long base = kNamesAt + 94L * k + 1;
        for (int i = 0; i < 25; ++i)
            image.put(base + i, i < stored.size() ? static_cast<std::uint8_t>(stored[i]) : 0);
        // The byte after the last record is not part of any name either.
        image.put(kNamesAt + 94L * om::kEnemyNameCount, 0x77);
        omtest::TempRom rom(image);

        File f = OpenRead(rom.path());
        QVERIFY(f);
        om::EnemyNameSlot slot;
        slot.fill(0x5A);
        om::ReadEnemyName(f.get(), k, slot);
        // Every one of the 25 bytes is decoded from the file, whatever it held:
        // stored b is b - 0x30, and 0 stays 0.
        for (int i = 0; i < 25; ++i) {
            const int b = i < stored.size() ? static_cast<unsigned char>(stored[i]) : 0;
            QCOMPARE(int(slot[static_cast<std::size_t>(i)]), b == 0 ? 0 : (b - 0x30) & 0xFF);
        }

        om::BattleAnimData data;
        data.ReadEnemyNames(f.get());
        QCOMPARE(QByteArray::fromStdString(std::string(data.enemyName(k))), expected);
        if (k + 1 < om::kEnemyNameCount)
            QCOMPARE(QByteArray::fromStdString(std::string(data.enemyName(k + 1))),
                     QByteArray(25, '\x65'));  // 0x95 - 0x30
    }

    void enemyNamesInShortFile() {
        // The file ends after 10 name bytes of enemy 6 (k = 5).
        const long size = kNamesAt + 94L * 5 + 1 + 10;
        om::RomImage image(size);
        for (int k = 0; k <= 5; ++k)
            image.putRawEnemyName(k, Encoded("Quagmire Lurker Elder").toStdString());  // 21 bytes
        omtest::TempRom rom(image);
        QCOMPARE(long(rom.bytes().size()), size);

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

    // The table Save writes: 1,940 bytes in group order, the low 8 bits of
    // each value (256 goes out as 0x00, -1 as 0xFF).
    void tableBytesKeepLowBits() {
        om::GroupValuesTable values{};
        for (int g = 0; g < 485; ++g)
            values[static_cast<std::size_t>(g)] = {g, g + 256, -1 - g, 300};
        const std::vector<std::uint8_t> table = om::TableBytesOf(values);
        QCOMPARE(table.size(), std::size_t(1940));
        for (std::size_t g = 0; g < 485; ++g)
            QCOMPARE((std::vector<int>{table[4 * g], table[4 * g + 1], table[4 * g + 2], table[4 * g + 3]}),
                     (std::vector<int>{int(g % 256), int(g % 256), int(255 - g % 256), 0x2C}));
    }

    // Nothing but a regular file is ever opened, not even to be refused; and
    // what is opened is the file that was looked at.
    void openRefusesWhatIsNotAFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("why");
        constexpr int kNone = 0, kCannotOpen = 1, kNotRegular = 2;
        // "to ...": put in the file's place between the look and the open.
        for (const auto& [kind, why] : {std::pair{"file", kNone}, {"device", kNotRegular},
                                        {"fifo", kNotRegular}, {"folder", kNotRegular},
                                        {"to fifo", kNotRegular}, {"to file", kCannotOpen}})
            QTest::newRow(kind) << QString::fromLatin1(kind) << why;
    }

    void openRefusesWhatIsNotAFile() {
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
    void terminalSafe_data() {
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

    void terminalSafe() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, safe);
        QFETCH(QByteArray, quoted);
        QCOMPARE(QByteArray::fromStdString(om::TerminalSafe(text.toStdString())), safe);
        QCOMPARE(QByteArray::fromStdString(om::QuotedField(text.toStdString())),
                 quoted.isEmpty() ? safe : quoted);
        // Escaping twice changes nothing more.
        QCOMPARE(QByteArray::fromStdString(om::TerminalSafe(safe.toStdString())), safe);
    }
};

QTEST_GUILESS_MAIN(TestRomData)
#include "test_romdata.moc"
