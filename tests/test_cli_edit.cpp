// The companion's commands that edit and compare images (set, import, diff),
// run as a separate process on images the tests write, with and without a
// copier header. Every check compares whole files byte for byte.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <array>
#include <tuple>
#include <vector>

#include "CliRun.h"
#include "TestImages.h"
#include "romdata/RomImage.h"
#include "romdata/TableHistory.h"

namespace {

using omtest::CliRun;
using omtest::Lines;
using omtest::RunCli;
using omtest::TestImage;
using omtest::Untouched;
using omtest::WriteText;
using Bytes = std::vector<std::uint8_t>;

// bytes with four bytes replaced at offset.
Bytes WithEntry(Bytes bytes, long offset, std::array<int, 4> entry) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes.at(static_cast<std::size_t>(offset) + i) = static_cast<std::uint8_t>(entry[i]);
    return bytes;
}

constexpr char kHeader[] = "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description";

}  // namespace

class TestCliEdit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(!qgetenv("OM_CLI").isEmpty(), "OM_CLI is not set");
    }

    void setWritesOneEntry_data() {
        QTest::addColumn<int>("kind");  // of TestImageOfKind; 4: no title, 3 MiB, forced
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<long>("offset");
        QTest::addColumn<QByteArray>("says");
        const std::tuple<int, const char*, long, const char*> rows[] = {
            {1, "0 9 8 7 6", 776862, "0: 0,0,255,1 -> 9,8,7,6"},
            {1, "1 0 1 0 0", 776866, "1: 1,0,254,1 -> 0,1,0,0"},
            {1, "0x1E4 0xff 0X0 0xAb 255", 778798, "484: 228,1,27,1 -> 255,0,171,255"},
            {0, "0 9 8 7 6", 776350, "0: 0,0,255,1 -> 9,8,7,6"},
            {0, "484 1 2 3 4", 778286, "484: 228,1,27,1 -> 1,2,3,4"},
            {0, "300 44 1 211 1", 777550, "300: 44,1,211,1 -> 44,1,211,1"},
            // The title decides, whatever the size says.
            {2, "484 1 2 3 4", 778286, "484: 228,1,27,1 -> 1,2,3,4"},
            {3, "0 9 8 7 6", 776862, "0: 0,0,255,1 -> 9,8,7,6"},
            // Without a title, 3 MiB (a multiple of 1024) has no header by its size.
            {4, "2 1 2 3 4 --force", 776358, "2: 0,0,0,0 -> 1,2,3,4"}};
        for (const auto& [kind, args, offset, says] : rows)
            QTest::addRow("kind %d: %s", kind, args)
                << kind << QString(args).split(' ') << offset << "group " + QByteArray(says) + "\n";
    }

    void setWritesOneEntry() {
        QFETCH(int, kind);
        QFETCH(QStringList, args);
        QFETCH(long, offset);
        QFETCH(QByteArray, says);
        om::RomImage image(3145728);
        image.put(0xFFC0, 'O');
        if (kind < 4)
            image = omtest::TestImageOfKind(kind);
        omtest::TempRom rom(image);

        const CliRun r = RunCli(QStringList{"set", rom.qpath()} + args);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, says);
        std::array<int, 4> entry{};
        for (std::size_t i = 0; i < 4; ++i)
            entry[i] = args[qsizetype(i) + 1].toInt(nullptr, 0);
        QVERIFY(rom.bytes() == WithEntry(image.bytes(), offset, entry));
    }

    void importRoundTrip_data() {
        QTest::addColumn<int>("kind");  // of TestImageOfKind
        QTest::addColumn<QByteArray>("eol");
        QTest::addColumn<QByteArray>("offsets");  // of groups 300, 5 and 484
        QTest::addColumn<QList<long>>("at");
        const QList<long> smc = {778062, 776882, 778798};
        const QList<long> sfc = {777550, 776370, 778286};
        QTest::newRow("header, LF") << 1 << QByteArray("\n") << QByteArray("BDF4E,,0xbe22e") << smc;
        QTest::newRow("headerless, CRLF")
            << 0 << QByteArray("\r\n") << QByteArray("BDD4E,BD8B2,BE02E") << sfc;
        // The title decides, whatever the size says.
        QTest::newRow("headerless, odd size, LF")
            << 2 << QByteArray("\n") << QByteArray("bdd4e,BD8B2,") << sfc;
        QTest::newRow("header, 1024-multiple size, CRLF")
            << 3 << QByteArray("\r\n") << QByteArray("BDF4E,,BE22E") << smc;
    }

    // The dump imported as it is writes nothing at all; some of its rows,
    // edited, in any order, write those entries and nothing else.
    void importRoundTrip() {
        QFETCH(int, kind);
        QFETCH(QByteArray, eol);
        QFETCH(QByteArray, offsets);
        QFETCH(QList<long>, at);
        om::RomImage image = omtest::TestImageOfKind(kind);
        // Group 4 is "{enemy 5} (...)": its escaped description still reads
        // back (names are put at the headered image's places).
        const bool named = kind == 1;
        if (named)
            image.putEnemyName(4, "\x1B]0;\"x\",\x07\x9B\r\n");
        omtest::TempRom rom(image);
        const CliRun dump = RunCli({"dump", rom.qpath()});
        QVERIFY2(!named || Lines(dump.out).value(5).contains("\\x1B]0;\"\"x\"\",\\x07\\xC2\\x9B\\x0D\\x0A"),
                 dump.out.constData());
        QCOMPARE(dump.exitCode, 0);
        const QString csv = rom.dir() + "/table.csv";
        QVERIFY(WriteText(csv, dump.out));
        {
            const Untouched untouched(rom);
            const CliRun r = RunCli({"import", rom.qpath(), csv});
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(r.err, QByteArray());
            QCOMPARE(r.out, "imported 485 groups into " + rom.qpath().toUtf8() + ": 0 changed\n");
            QVERIFY(untouched.holds());
        }

        // Descriptions quoted with commas, doubled quotes and a line break, a
        // blank line, spaces around numbers, a byte order mark: all read past.
        const QList<QByteArray> offset = offsets.split(',');
        const QByteArray some = "\xEF\xBB\xBF" + QByteArray(kHeader) + eol +  //
                                "300," + offset[0] + ",1,2,3,4,\"Lake, \"\"the deep\"\" one\"" +
                                eol +                                                               //
                                eol +                                                               //
                                "5," + offset[1] + ",0x10, 0 ,0,0,\"two" + eol + "lines\"" + eol +  //
                                "\"484\",\"" + offset[2] + "\",9,9,9,9," + eol;
        QVERIFY(WriteText(csv, some));
        const CliRun r = RunCli({"import", rom.qpath(), csv});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, "imported 3 groups into " + rom.qpath().toUtf8() + ": 3 changed\n");
        Bytes expected = WithEntry(image.bytes(), at[0], {1, 2, 3, 4});
        expected = WithEntry(expected, at[1], {16, 0, 0, 0});
        expected = WithEntry(expected, at[2], {9, 9, 9, 9});
        QVERIFY(rom.bytes() == expected);
    }

    void importRejectsBadRows_data() {
        QTest::addColumn<bool>("headered");  // the image imported into
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QByteArray>("says");  // the first line after the CSV's name; 'ROM': the image
        QTest::addColumn<int>("problems");     // lines before "nothing written"
        // After a good row for group 0; each row's text names what it checks.
        const std::pair<const char*, const char*> table[] = {
            {"7,BDABA,1,2,3,4,\"open\n8,BDABE,1,2,3,4,x\n",
             ":3: malformed row: a quoted field is not closed"},
            {"7,BD\"ABA,1,2,3,4,x\n",
             ":3: malformed row: a quote inside a field that does not start with one"},
            {"\"7\"7,BDABA,1,2,3,4,x\n",
             ":3: malformed row: text after the closing quote of a field"},
            {"7,BDABA,1,2,3,4\n", ":3: 6 fields where 7 are expected"},
            {"7,BDABA,1,2,3,4,x,y\n", ":3: 8 fields where 7 are expected"},
            {"7,BDABA,1,two,3,4,x\n", ":3: layer1_hi 'two' is not a number from 0 to 255"},
            {"7,BDABA,1,2,256,4,x\n", ":3: layer2_lo '256' is not a number from 0 to 255"},
            {"7,BDABA,-1,2,3,4,x\n", ":3: layer1_lo '-1' is not a number from 0 to 255"},
            {"7,BDABA,1,2,3,,x\n", ":3: layer2_hi '' is not a number from 0 to 255"},
            {"485,BE232,1,2,3,4,x\n", ":3: group '485' is not a number from 0 to 484"},
            {"7,BDABA,1,2,3,4,x\n8,BDABE,1,2,3,4,x\n7,BDABA,5,6,7,8,x\n",
             ":5: group 7 is listed again (first on line 3)"},
            {"0,BDA9E,9,9,9,9,x\n", ":3: group 0 is listed again (first on line 2)"},
            {"7,BDAXA,1,2,3,4,x\n", ":3: offset 'BDAXA' is not a hexadecimal number"},
            {"7,BDABB,1,2,3,4,x\n", ":3: offset BDABB is not where group 7's entry is in "},
            {"7,BD8BA,1,2,3,4,x\n", ":3: offset BD8BA is not where group 7's entry is in "},
            // Fields are quoted escaped, and cut to 40 characters.
            {"7,BDABA,1,\x1B]0;t\x07,3,4,x\n",
             ":3: layer1_hi '\\x1B]0;t\\x07' is not a number from 0 to 255"},
            {"\xC2\x9B" "7,BDABA,1,2,3,4,x\n", ":3: group '\\xC2\\x9B" "7' is not a number from 0 to 484"},
            {"6,BDAB6,1,2,3,4,\"two\nlines\"\n7,BDABA,1,2,3,x,x\n",
             ":5: layer2_hi 'x' is not a number"},
        };
        const QByteArray good = QByteArray(kHeader) + "\n0,BDA9E,9,9,9,9,first row is good\n";
        for (const auto& [rows, says] : table)
            QTest::newRow(says) << true << good + rows << QByteArray(says) << 1;
        QTest::newRow("a byte of 100,000 digits")
            << true << good + "7,BDABA," + QByteArray(100000, '9') + ",2,3,4,x\n"
            << QByteArray(":3: layer1_lo '" + QByteArray(40, '9') + "...' is not a number") << 1;
        // A CSV from an image of the other kind is said to be so once; other
        // wrong offsets are listed row by row, the first 20 of them.
        const auto dumpedAt = [](long offset) {
            QByteArray text = QByteArray(kHeader) + "\r\n";
            for (int g = 0; g < 25; ++g)
                text += QByteArray::number(g) + "," + QByteArray::number(offset + 4 * g, 16) +
                        ",1,2,3,4,\r\n";
            return text;
        };
        const QByteArray dumped = ": this CSV was dumped from an image with";
        QTest::newRow("dumped with a header, imported without")
            << false << dumpedAt(776862) << dumped + " a copier header; this one has none ('ROM')"
            << 1;
        QTest::newRow("dumped without a header, imported with")
            << true << dumpedAt(776350) << dumped + "out a copier header; this one has one ('ROM')"
            << 1;
        QTest::newRow("offsets one off")
            << false << dumpedAt(776351)
            << QByteArray(":2: offset BD89F is not where group 0's entry is in 'ROM' (BD89E)") << 21;
    }

    void importRejectsBadRows() {
        QFETCH(bool, headered);
        QFETCH(QByteArray, csv);
        QFETCH(QByteArray, says);
        QFETCH(int, problems);
        omtest::TempRom rom(TestImage(headered));
        const Untouched untouched(rom);
        const QString path = rom.dir() + "/edits.csv";
        QVERIFY(WriteText(path, csv));
        says.replace("'ROM'", "'" + rom.qpath().toUtf8() + "'");

        const CliRun r = RunCli({"import", rom.qpath(), path});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QByteArray());
        const QList<QByteArray> lines = Lines(r.err);
        QCOMPARE(lines.size(), problems + 1);
        QVERIFY2(lines[0].startsWith("ombattleanim-cli: " + path.toUtf8() + says), r.err.constData());
        if (problems > 1)
            QCOMPARE(lines[20], QByteArray("ombattleanim-cli: ... and 5 more"));
        QCOMPARE(lines.last(), "ombattleanim-cli: nothing written to '" + rom.qpath().toUtf8() + "'");
        QVERIFY2(r.err.size() < 300 * lines.size(), r.err.left(600).constData());
        QVERIFY(untouched.holds());
    }

    // history lists the versions kept, newest first, byte for byte; --show
    // prints one as a dump that import takes back; set adds to it; a
    // damaged history is refused; --orphans lists a history whose ROM is gone.
    void history() {
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
        const omtest::TempRom rom(TestImage(true));
        const Bytes original = rom.bytes();
        constexpr long kTable = 776862;
        om::TableBytes t0{}, t1{}, t2{}, t3{};
        std::copy(original.begin() + kTable, original.begin() + kTable + long(t0.size()), t0.begin());
        t1 = t0;
        t1[3 * 4] = 9;
        t2 = t1;
        t2[10 * 4 + 2] = 1;
        t2[20 * 4 + 3] = 0;
        t3 = t2;
        t3[484 * 4] = 7;
        const om::TableHistory h(om::TableHistoryFolder(), om::ResolvedPath(rom.path()));
        std::string error;
        // 2026-03-01 12:00:00 UTC, a minute later, then one and two hours later.
        QVERIFY(h.append(om::TableWriter::Opened, 1772366400, t0, t0, error));
        QVERIFY(h.append(om::TableWriter::Editor, 1772366460, t0, t1, error));
        QVERIFY(h.append(om::TableWriter::Set, 1772370000, t1, t2, error));
        // Another program wrote t1 back in between.
        QVERIFY(h.append(om::TableWriter::Import, 1772373600, t1, t3, error));
        const CliRun list = RunCli({"history", rom.qpath()});
        QCOMPARE(list.exitCode, 0);
        QCOMPARE(list.out, QByteArray("5\t2026-03-01T14:00:00Z\timport\t3\t10 20 484\n"
                                      "4\t2026-03-01T14:00:00Z\tfound\t2\t10 20\n"
                                      "3\t2026-03-01T13:00:00Z\tset\t2\t10 20\n"
                                      "2\t2026-03-01T12:01:00Z\teditor\t1\t3\n"
                                      "1\t2026-03-01T12:00:00Z\topened\t0\t\n"));
        // Version 1 imported back gives the untouched image.
        const CliRun shown = RunCli({"history", rom.qpath(), "--show", "1"});
        QCOMPARE(shown.exitCode, 0);
        QCOMPARE(Lines(shown.out).size(), 486);
        QCOMPARE(Lines(shown.out)[0], QByteArray(kHeader));
        QCOMPARE(Lines(RunCli({"dump", rom.qpath()}).out), Lines(shown.out));
        const CliRun three = RunCli({"history", rom.qpath(), "--show", "3"});
        QVERIFY(WriteText(rom.dir() + "/v3.csv", three.out));
        QCOMPARE(RunCli({"import", rom.qpath(), rom.dir() + "/v3.csv"}).exitCode, 0);
        Bytes expected = original;
        std::copy(t2.begin(), t2.end(), expected.begin() + kTable);
        QCOMPARE(rom.bytes(), expected);
        // The file held the untouched table, not version 5: found, version 6;
        // that import is version 7, and a set version 8.
        QCOMPARE(RunCli({"set", rom.qpath(), "0", "1", "2", "3", "4"}).exitCode, 0);
        const QList<QByteArray> now = Lines(RunCli({"history", rom.qpath()}).out);
        QCOMPARE(now.size(), 8);
        const char* const ends[] = {"\tset\t1\t0", "\timport\t3\t3 10 20",
                                    "\tfound\t4\t3 10 20 484"};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(now[i].startsWith(QByteArray::number(8 - i) + "\t") && now[i].endsWith(ends[i]),
                     now[i].constData());
        QCOMPARE(RunCli({"history", rom.qpath(), "--show", "9"}).exitCode, 1);
        QCOMPARE(RunCli({"history", rom.qpath(), "--show", "0"}).exitCode, 2);
        QCOMPARE(RunCli({"dump", rom.qpath(), "--show", "1"}).exitCode, 2);

        // A damaged history: refused whole, and set still writes the ROM.
        Bytes damaged = omtest::ReadFileBytes(h.file());
        damaged[damaged.size() / 2] ^= 0x40;
        QVERIFY(WriteText(QString::fromStdString(h.file()),
                          QByteArray(reinterpret_cast<const char*>(damaged.data()),
                                     qsizetype(damaged.size()))));
        const CliRun refused = RunCli({"history", rom.qpath(), "--show", "1"});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.out.isEmpty() && refused.err.contains("is damaged"), refused.err.constData());
        const CliRun set = RunCli({"set", rom.qpath(), "0", "5", "5", "5", "5"});
        QCOMPARE(set.exitCode, 0);
        QVERIFY2(set.err.contains("warning") && set.err.contains("table history was not"),
                 set.err.constData());
        QCOMPARE(int(rom.bytes()[kTable]), 5);

        // Orphans: the ROM's history once the ROM is gone.
        const std::string romPath = om::ResolvedPath(rom.path());
        QCOMPARE(RunCli({"history", "--orphans"}).out, QByteArray());
        QVERIFY(QFile::remove(rom.qpath()));
        QCOMPARE(RunCli({"history", "--orphans"}).out,
                 QByteArray::fromStdString(romPath + "\t" + h.file() + "\n"));
    }

    void diff_data() {
        QTest::addColumn<bool>("otherHeadered");
        QTest::addColumn<bool>("edit");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        const QByteArray lines =
            "3: 3,0,252,1 -> 9,8,7,6  \\x1B]2;Mire\\x07Hag\n"
            "484: 228,1,27,1 -> 0,0,0,0  null\n";
        QTest::newRow("same image") << true << false << 0 << QByteArray();
        QTest::newRow("same table, headerless") << false << false << 0 << QByteArray();
        QTest::newRow("two groups differ") << true << true << 1 << lines;
        QTest::newRow("two groups differ, headerless") << false << true << 1 << lines;
    }

    void diff() {
        QFETCH(bool, otherHeadered);
        QFETCH(bool, edit);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        om::RomImage imageA = TestImage(true);
        imageA.putEnemyName(1, "\x1B]2;Mire\x07Hag");  // group 3 is "{enemy 2}"
        omtest::TempRom a(imageA, "a.smc");
        om::RomImage other = omtest::MakeTestImage();
        // Outside the table differences do not count.
        other.put(100, 0x55);
        other.putEnemyName(2, "Other Name");
        if (edit) {
            other.putEntry(3, 9, 8, 7, 6);
            other.putEntry(484, 0, 0, 0, 0);
        }
        if (!otherHeadered)
            other = omtest::WithoutHeader(other);
        omtest::TempRom b(other, "b.sfc");

        const CliRun r = RunCli({"diff", a.qpath(), b.qpath()});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, out);
    }
};

QTEST_GUILESS_MAIN(TestCliEdit)
#include "test_cli_edit.moc"
