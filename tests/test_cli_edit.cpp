// The companion's commands that edit and compare images (set, import, diff),
// run as a separate process on images the tests write, with and without a
// copier header. Every check compares whole files byte for byte.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <vector>

#include "CliRun.h"
#include "TestImages.h"
#include "romdata/RomImage.h"

namespace {

using omtest::CliRun;
using omtest::Lines;
using omtest::RunCli;
using Bytes = std::vector<std::uint8_t>;

// Entry g of the test image is (g, g >> 8, 255 - g % 256, 1), enemy k+1 is
// "Enemy k+1"; headerless, the same cartridge 512 bytes shorter.
om::RomImage TestImage(bool headered) {
    const om::RomImage image = omtest::MakeTestImage();
    return headered ? image : omtest::WithoutHeader(image);
}

// bytes with four bytes replaced at offset.
Bytes WithEntry(Bytes bytes, long offset, std::array<int, 4> entry) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes.at(static_cast<std::size_t>(offset) + i) = static_cast<std::uint8_t>(entry[i]);
    return bytes;
}

bool WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

constexpr char kHeader[] = "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description";

// A file the companion must leave as it was: its bytes and its time.
struct Untouched {
    explicit Untouched(const omtest::TempRom& rom) : rom_(rom), bytes_(rom.bytes()) {
        aged_ = omtest::AgeFile(rom.qpath());
    }
    bool holds() const { return aged_ && rom_.bytes() == bytes_ && omtest::IsAged(rom_.qpath()); }

private:
    const omtest::TempRom& rom_;
    Bytes bytes_;
    bool aged_ = false;
};

}  // namespace

class TestCliEdit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void setWritesOneEntry_data();
    void setWritesOneEntry();
    void setRefusesBadNumbers_data();
    void setRefusesBadNumbers();
    void writersRefuseFiles_data();
    void writersRefuseFiles();
    void setForcedOnForeignTitle();
    void writersRefuseLockedFile();
    void importRoundTrip_data();
    void importRoundTrip();
    void importSomeRowsInAnyOrder_data();
    void importSomeRowsInAnyOrder();
    void importRejectsBadRows_data();
    void importRejectsBadRows();
    void importListsManyProblems();
    void diff_data();
    void diff();
    void diffErrors_data();
    void diffErrors();

private:
    QTemporaryDir dir_;
};

void TestCliEdit::initTestCase() {
    QVERIFY2(!qgetenv("OM_CLI").isEmpty(), "OM_CLI is not set");
    QVERIFY(dir_.isValid());
}

void TestCliEdit::setWritesOneEntry_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<long>("offset");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("header, group 0") << true << QStringList{"0", "9", "8", "7", "6"} << 776862L
                                     << QByteArray("group 0: 0,0,255,1 -> 9,8,7,6\n");
    QTest::newRow("header, group 1") << true << QStringList{"1", "0", "1", "0", "0"} << 776866L
                                     << QByteArray("group 1: 1,0,254,1 -> 0,1,0,0\n");
    QTest::newRow("header, group 484 in hex")
        << true << QStringList{"0x1E4", "0xff", "0X0", "0xAb", "255"} << 778798L
        << QByteArray("group 484: 228,1,27,1 -> 255,0,171,255\n");
    QTest::newRow("headerless, group 0") << false << QStringList{"0", "9", "8", "7", "6"} << 776350L
                                         << QByteArray("group 0: 0,0,255,1 -> 9,8,7,6\n");
    QTest::newRow("headerless, group 484")
        << false << QStringList{"484", "1", "2", "3", "4"} << 778286L
        << QByteArray("group 484: 228,1,27,1 -> 1,2,3,4\n");
    QTest::newRow("headerless, group 300 unchanged")
        << false << QStringList{"300", "44", "1", "211", "1"} << 777550L
        << QByteArray("group 300: 44,1,211,1 -> 44,1,211,1\n");
}

void TestCliEdit::setWritesOneEntry() {
    QFETCH(bool, headered);
    QFETCH(QStringList, args);
    QFETCH(long, offset);
    QFETCH(QByteArray, says);
    const om::RomImage image = TestImage(headered);
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

void TestCliEdit::setRefusesBadNumbers_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("says");
    const QByteArray group = "GROUP must be a number from 0 to 484 (decimal, or hex with 0x), not ";
    const QByteArray l1lo = "L1LO must be a number from 0 to 255 (decimal, or hex with 0x), not ";
    const QByteArray l1hi = "L1HI must be a number from 0 to 255 (decimal, or hex with 0x), not ";
    const QByteArray l2lo = "L2LO must be a number from 0 to 255 (decimal, or hex with 0x), not ";
    const QByteArray l2hi = "L2HI must be a number from 0 to 255 (decimal, or hex with 0x), not ";
    QTest::newRow("group 485") << QStringList{"485", "1", "2", "3", "4"} << group + "'485'";
    QTest::newRow("group 0x1E5") << QStringList{"0x1E5", "1", "2", "3", "4"} << group + "'0x1E5'";
    QTest::newRow("group word") << QStringList{"ten", "1", "2", "3", "4"} << group + "'ten'";
    QTest::newRow("group empty") << QStringList{"", "1", "2", "3", "4"} << group + "''";
    QTest::newRow("group huge") << QStringList{"99999999999999999999", "1", "2", "3", "4"}
                                << group + "'99999999999999999999'";
    QTest::newRow("group negative") << QStringList{"-1", "1", "2", "3", "4"}
                                    << QByteArray("'-1' is not a number this program takes");
    QTest::newRow("l1lo 256") << QStringList{"7", "256", "2", "3", "4"} << l1lo + "'256'";
    QTest::newRow("l1hi 0x100") << QStringList{"7", "1", "0x100", "3", "4"} << l1hi + "'0x100'";
    QTest::newRow("l1hi bare 0x") << QStringList{"7", "1", "0x", "3", "4"} << l1hi + "'0x'";
    QTest::newRow("l2lo plus sign") << QStringList{"7", "1", "2", "+3", "4"} << l2lo + "'+3'";
    QTest::newRow("l2lo space") << QStringList{"7", "1", "2", " 3", "4"} << l2lo + "' 3'";
    QTest::newRow("l2hi fraction") << QStringList{"7", "1", "2", "3", "1.5"} << l2hi + "'1.5'";
    QTest::newRow("l2hi exponent") << QStringList{"7", "1", "2", "3", "1e2"} << l2hi + "'1e2'";
    QTest::newRow("l2hi negative") << QStringList{"7", "1", "2", "3", "-4"}
                                   << QByteArray("'-4' is not a number this program takes");
}

void TestCliEdit::setRefusesBadNumbers() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, says);
    omtest::TempRom rom(TestImage(true));
    const Untouched untouched(rom);

    const CliRun r = RunCli(QStringList{"set", rom.qpath()} + args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(omtest::ExactlyOneLine(r.err), r.err.constData());
    QVERIFY2(r.err.contains(says), r.err.constData());
    QVERIFY2(r.err.contains("--help"), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QVERIFY(untouched.holds());
}

void TestCliEdit::writersRefuseFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("one byte short of the table's end")
        << "short" << QByteArray("is 778801 bytes long, too short");
    QTest::newRow("empty") << "empty" << QByteArray("is 0 bytes long, too short");
    QTest::newRow("foreign title")
        << "foreign" << QByteArray("does not look like an Orbitmarsh ROM image");
    QTest::newRow("read-only") << "read-only" << QByteArray("for writing: Permission denied");
    QTest::newRow("missing") << "missing" << QByteArray("No such file or directory");
    QTest::newRow("FIFO") << "fifo" << QByteArray("is a FIFO, not a file");
    QTest::newRow("/dev/null") << "/dev/null" << QByteArray("is a character device, not a file");
    QTest::newRow("directory") << "directory" << QByteArray("is a directory, not a file");
}

void TestCliEdit::writersRefuseFiles() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, says);
    if (kind == "read-only" && geteuid() == 0)
        QSKIP("root may write a read-only file");
    om::RomImage image = TestImage(true);
    if (kind == "short")
        image.bytes().resize(778801);
    else if (kind == "empty")
        image.bytes().clear();
    else if (kind == "foreign")
        image.putTitle("ORBIT MARSX");
    omtest::TempRom rom(image);
    QString path = rom.qpath();
    if (kind == "read-only")
        QCOMPARE(chmod(QFile::encodeName(path).constData(), 0444), 0);
    if (kind == "missing")
        path = rom.dir() + "/missing.smc";
    if (kind == "fifo") {
        path = rom.dir() + "/pipe.smc";
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    }
    if (kind == "/dev/null")
        path = kind;
    if (kind == "directory")
        path = rom.dir();
    const Untouched untouched(rom);
    const QString csv = rom.dir() + "/edits.csv";
    QVERIFY(WriteText(csv, QByteArray(kHeader) + "\n0,BDA9E,1,2,3,4,x\n"));

    const QList<QStringList> commands = {{"set", path, "0", "1", "2", "3", "4"},
                                         {"import", path, csv}};
    for (const QStringList& args : commands) {
        const CliRun r = RunCli(args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(omtest::ExactlyOneLine(r.err), r.err.constData());
        QVERIFY2(r.err.contains(says), r.err.constData());
        QCOMPARE(r.out, QByteArray());
        QVERIFY(untouched.holds());
    }
    QVERIFY(!QFile::exists(rom.dir() + "/missing.smc"));
}

void TestCliEdit::setForcedOnForeignTitle() {
    // No title: 3 MiB, a multiple of 1024, has no header by its size.
    om::RomImage image(3145728);
    image.put(0xFFC0, 'O');
    omtest::TempRom rom(image);
    const CliRun r = RunCli({"set", "--force", rom.qpath(), "2", "1", "2", "3", "4"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("group 2: 0,0,0,0 -> 1,2,3,4\n"));
    QVERIFY(rom.bytes() == WithEntry(image.bytes(), 776358, {1, 2, 3, 4}));
}

void TestCliEdit::writersRefuseLockedFile() {
    const om::RomImage image = TestImage(true);
    omtest::TempRom rom(image);
    const QString csv = rom.dir() + "/edits.csv";
    QVERIFY(WriteText(csv, QByteArray(kHeader) + "\n0,BDA9E,1,2,3,4,x\n"));
    // The lock an editor holds on the ROM it has open.
    const int fd = ::open(QFile::encodeName(rom.qpath()).constData(), O_RDWR | O_CLOEXEC);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    {
        const Untouched untouched(rom);
        const QList<QStringList> commands = {{"set", rom.qpath(), "0", "1", "2", "3", "4"},
                                             {"import", rom.qpath(), csv}};
        for (const QStringList& args : commands) {
            const CliRun r = RunCli(args);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(omtest::ExactlyOneLine(r.err), r.err.constData());
            QVERIFY2(r.err.contains("is open in another editor"), r.err.constData());
            QCOMPARE(r.out, QByteArray());
            QVERIFY(untouched.holds());
        }
    }
    // Readers do not need the lock.
    QCOMPARE(RunCli({"dump", rom.qpath()}).exitCode, 0);
    QCOMPARE(::close(fd), 0);
    const CliRun r = RunCli({"import", rom.qpath(), csv});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(rom.bytes() == WithEntry(image.bytes(), 776862, {1, 2, 3, 4}));
}

void TestCliEdit::importRoundTrip_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<long>("group200");
    QTest::newRow("copier header") << true << 777662L;
    QTest::newRow("headerless") << false << 777150L;
}

void TestCliEdit::importRoundTrip() {
    QFETCH(bool, headered);
    QFETCH(long, group200);
    om::RomImage image = TestImage(headered);
    omtest::TempRom rom(image);
    const CliRun dump = RunCli({"dump", rom.qpath()});
    QCOMPARE(dump.exitCode, 0);
    const QString csv = rom.dir() + "/table.csv";
    QVERIFY(WriteText(csv, dump.out));

    // The unchanged dump writes nothing at all.
    {
        const Untouched untouched(rom);
        const CliRun r = RunCli({"import", rom.qpath(), csv});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out, "imported 485 groups into " + rom.qpath().toUtf8() + ": 0 changed\n");
        QVERIFY(untouched.holds());
    }

    // One cell edited: group 200's layer 2 high byte, 1 in the test image.
    QList<QByteArray> lines = Lines(dump.out);
    QByteArray& row = lines[201];
    QVERIFY2(row.startsWith("200,"), row.constData());
    qsizetype fifthComma = -1;
    for (int i = 0; i < 5; ++i)
        fifthComma = row.indexOf(',', fifthComma + 1);
    const qsizetype sixthComma = row.indexOf(',', fifthComma + 1);
    QCOMPARE(row.mid(fifthComma + 1, sixthComma - fifthComma - 1), QByteArray("1"));
    row = row.left(fifthComma + 1) + "77" + row.mid(sixthComma);
    QVERIFY(WriteText(csv, lines.join('\n') + '\n'));

    const CliRun r = RunCli({"import", rom.qpath(), csv});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, "imported 485 groups into " + rom.qpath().toUtf8() + ": 1 changed\n");
    Bytes expected = image.bytes();
    expected.at(static_cast<std::size_t>(group200 + 3)) = 77;
    QVERIFY(rom.bytes() == expected);
    QCOMPARE(omtest::DifferingOffsets(rom.bytes(), image.bytes()), std::vector<long>{group200 + 3});
}

void TestCliEdit::importSomeRowsInAnyOrder_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<QByteArray>("eol");
    QTest::addColumn<QByteArray>("offsets");  // of groups 300, 5 and 484
    QTest::addColumn<QList<long>>("at");
    const QList<long> smc = {778062, 776882, 778798};
    const QList<long> sfc = {777550, 776370, 778286};
    QTest::newRow("header, LF") << true << QByteArray("\n") << QByteArray("BDF4E,,0xbe22e") << smc;
    QTest::newRow("header, CRLF") << true << QByteArray("\r\n") << QByteArray("BDF4E,,BE22E")
                                  << smc;
    QTest::newRow("headerless, LF")
        << false << QByteArray("\n") << QByteArray("bdd4e,BD8B2,") << sfc;
    QTest::newRow("headerless, CRLF")
        << false << QByteArray("\r\n") << QByteArray("BDD4E,BD8B2,BE02E") << sfc;
}

void TestCliEdit::importSomeRowsInAnyOrder() {
    QFETCH(bool, headered);
    QFETCH(QByteArray, eol);
    QFETCH(QByteArray, offsets);
    QFETCH(QList<long>, at);
    const QList<QByteArray> offset = offsets.split(',');
    const om::RomImage image = TestImage(headered);
    omtest::TempRom rom(image);
    // Descriptions quoted with commas, doubled quotes and a line break, a
    // blank line, spaces around numbers, a byte order mark: all read past.
    const QByteArray csv = "\xEF\xBB\xBF" + QByteArray(kHeader) + eol +  //
                           "300," + offset[0] + ",1,2,3,4,\"Lake, \"\"the deep\"\" one\"" +
                           eol +                                                               //
                           eol +                                                               //
                           "5," + offset[1] + ",0x10, 0 ,0,0,\"two" + eol + "lines\"" + eol +  //
                           "\"484\",\"" + offset[2] + "\",9,9,9,9," + eol;
    const QString path = rom.dir() + "/some.csv";
    QVERIFY(WriteText(path, csv));

    const CliRun r = RunCli({"import", rom.qpath(), path});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, "imported 3 groups into " + rom.qpath().toUtf8() + ": 3 changed\n");
    Bytes expected = WithEntry(image.bytes(), at[0], {1, 2, 3, 4});
    expected = WithEntry(expected, at[1], {16, 0, 0, 0});
    expected = WithEntry(expected, at[2], {9, 9, 9, 9});
    QVERIFY(rom.bytes() == expected);
}

void TestCliEdit::importRejectsBadRows_data() {
    QTest::addColumn<QByteArray>("rows");  // after the header and a good row for group 0
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("quote not closed")
        << QByteArray("7,BDABA,1,2,3,4,\"open\n8,BDABE,1,2,3,4,x\n")
        << QByteArray(":3: malformed row: a quoted field is not closed");
    QTest::newRow("quote inside a field")
        << QByteArray("7,BD\"ABA,1,2,3,4,x\n")
        << QByteArray(":3: malformed row: a quote inside a field that does not start with one");
    QTest::newRow("text after a quote")
        << QByteArray("\"7\"7,BDABA,1,2,3,4,x\n")
        << QByteArray(":3: malformed row: text after the closing quote of a field");
    QTest::newRow("six fields") << QByteArray("7,BDABA,1,2,3,4\n")
                                << QByteArray(":3: 6 fields where 7 are expected");
    QTest::newRow("eight fields") << QByteArray("7,BDABA,1,2,3,4,x,y\n")
                                  << QByteArray(":3: 8 fields where 7 are expected");
    QTest::newRow("one field") << QByteArray("7\n") << QByteArray(":3: 1 fields where 7");
    QTest::newRow("word for a byte")
        << QByteArray("7,BDABA,1,two,3,4,x\n")
        << QByteArray(":3: layer1_hi 'two' is not a number from 0 to 255");
    QTest::newRow("byte 256") << QByteArray("7,BDABA,1,2,256,4,x\n")
                              << QByteArray(":3: layer2_lo '256' is not a number from 0 to 255");
    QTest::newRow("byte -1") << QByteArray("7,BDABA,-1,2,3,4,x\n")
                             << QByteArray(":3: layer1_lo '-1' is not a number from 0 to 255");
    QTest::newRow("empty byte") << QByteArray("7,BDABA,1,2,3,,x\n")
                                << QByteArray(":3: layer2_hi '' is not a number from 0 to 255");
    QTest::newRow("group 485") << QByteArray("485,BE232,1,2,3,4,x\n")
                               << QByteArray(":3: group '485' is not a number from 0 to 484");
    QTest::newRow("group word") << QByteArray("seven,BDABA,1,2,3,4,x\n")
                                << QByteArray(":3: group 'seven' is not a number from 0 to 484");
    QTest::newRow("duplicate group")
        << QByteArray("7,BDABA,1,2,3,4,x\n8,BDABE,1,2,3,4,x\n7,BDABA,5,6,7,8,x\n")
        << QByteArray(":5: group 7 is listed again (first on line 3)");
    QTest::newRow("group 0 again") << QByteArray("0,BDA9E,9,9,9,9,x\n")
                                   << QByteArray(":3: group 0 is listed again (first on line 2)");
    QTest::newRow("offset not hex") << QByteArray("7,BDAXA,1,2,3,4,x\n")
                                    << QByteArray(":3: offset 'BDAXA' is not a hexadecimal number");
    QTest::newRow("offset one off")
        << QByteArray("7,BDABB,1,2,3,4,x\n")
        << QByteArray(":3: offset BDABB is not where group 7's entry is in ");
    QTest::newRow("headerless dump")
        << QByteArray("7,BD8BA,1,2,3,4,x\n")
        << QByteArray(":3: offset BD8BA is not where group 7's entry is in ");
    QTest::newRow("line after a two-line description")
        << QByteArray("6,BDAB6,1,2,3,4,\"two\nlines\"\n7,BDABA,1,2,3,x,x\n")
        << QByteArray(":5: layer2_hi 'x' is not a number");
}

void TestCliEdit::importRejectsBadRows() {
    QFETCH(QByteArray, rows);
    QFETCH(QByteArray, says);
    omtest::TempRom rom(TestImage(true));
    const Untouched untouched(rom);
    const QString csv = rom.dir() + "/edits.csv";
    QVERIFY(WriteText(csv, QByteArray(kHeader) + "\n0,BDA9E,9,9,9,9,first row is good\n" + rows));

    const CliRun r = RunCli({"import", rom.qpath(), csv});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray());
    const QList<QByteArray> lines = Lines(r.err);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith("ombattleanim-cli: " + csv.toUtf8() + says), r.err.constData());
    QCOMPARE(lines[1], "ombattleanim-cli: nothing written to '" + rom.qpath().toUtf8() + "'");
    QVERIFY(untouched.holds());
}

void TestCliEdit::importListsManyProblems() {
    omtest::TempRom rom(TestImage(false));
    const Untouched untouched(rom);
    QByteArray text = QByteArray(kHeader) + "\r\n";
    // 25 rows with the offsets of an image with a copier header.
    for (int g = 0; g < 25; ++g)
        text +=
            QByteArray::number(g) + "," + QByteArray::number(776862 + 4 * g, 16) + ",1,2,3,4,\r\n";
    const QString csv = rom.dir() + "/headered.csv";
    QVERIFY(WriteText(csv, text));

    const CliRun r = RunCli({"import", rom.qpath(), csv});
    QCOMPARE(r.exitCode, 1);
    const QList<QByteArray> lines = Lines(r.err);
    QCOMPARE(lines.size(), 22);
    const QByteArray where =
        "' (BD89E): the CSV was dumped from an image with a 512-byte copier "
        "header, and this image has none";
    QCOMPARE(lines[0], "ombattleanim-cli: " + csv.toUtf8() +
                           ":2: offset BDA9E is not where group 0's entry is in '" +
                           rom.qpath().toUtf8() + where);
    QVERIFY2(lines[19].contains(":21: offset BDAEA is not where group 19's"),
             lines[19].constData());
    QCOMPARE(lines[20], QByteArray("ombattleanim-cli: ... and 5 more"));
    QVERIFY(lines[21].contains("nothing written"));
    QVERIFY(untouched.holds());
}

void TestCliEdit::diff_data() {
    QTest::addColumn<bool>("otherHeadered");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    const QByteArray lines =
        "3: 3,0,252,1 -> 9,8,7,6  Enemy 2\n"
        "484: 228,1,27,1 -> 0,0,0,0  null\n";
    QTest::newRow("same image") << true << false << 0 << QByteArray();
    QTest::newRow("same table, headerless") << false << false << 0 << QByteArray();
    QTest::newRow("two groups differ") << true << true << 1 << lines;
    QTest::newRow("two groups differ, headerless") << false << true << 1 << lines;
}

void TestCliEdit::diff() {
    QFETCH(bool, otherHeadered);
    QFETCH(bool, edit);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    omtest::TempRom a(TestImage(true), "a.smc");
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

void TestCliEdit::diffErrors_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("missing") << "missing" << QByteArray("No such file or directory");
    QTest::newRow("too short") << "short" << QByteArray("too short");
    QTest::newRow("foreign title") << "foreign" << QByteArray("does not look like");
    QTest::newRow("one argument") << "usage" << QByteArray("'diff' takes 2 arguments");
}

void TestCliEdit::diffErrors() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, says);
    omtest::TempRom a(TestImage(true));
    om::RomImage image = TestImage(true);
    if (kind == "short")
        image.bytes().resize(778801);
    if (kind == "foreign")
        image.putTitle("ORBIT MARS");
    omtest::TempRom b(image);
    const QString second = kind == "missing" ? b.dir() + "/none.smc" : b.qpath();
    // The bad file first and second.
    QList<QStringList> calls = {{"diff", a.qpath(), second}, {"diff", second, a.qpath()}};
    if (kind == "usage")
        calls = {{"diff", a.qpath()}};
    for (const QStringList& args : calls) {
        const CliRun r = RunCli(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(omtest::ExactlyOneLine(r.err), r.err.constData());
        QVERIFY2(r.err.contains(says), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }
}

QTEST_GUILESS_MAIN(TestCliEdit)
#include "test_cli_edit.moc"
