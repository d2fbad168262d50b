// ombattleanim-cli run as a separate process on images the tests write.
#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <string>
#include <vector>

#include "CliRun.h"
#include "DemoRom.h"
#include "TestImages.h"
#include "catalogue/GroupTemplates.h"
#include "pickers/LayerCatalog.h"
#include "romdata/RomImage.h"

namespace {

using omtest::CsvFields;
using omtest::ExactlyOneLine;
using omtest::Lines;
using omtest::RunCli;
using Run = omtest::CliRun;

constexpr long kTableAt = 776862;

// The line of `info` output that starts with key.
QByteArray InfoLine(const QByteArray& out, const QByteArray& key) {
    for (const QByteArray& line : Lines(out))
        if (line.startsWith(key))
            return line;
    return {};
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void helpAndVersion_data();
    void helpAndVersion();
    void usageErrors_data();
    void usageErrors();
    void fileErrors_data();
    void fileErrors();
    void makeDemoRom();
    void makeDemoRomRefusesExistingFile();
    void infoOnDemoRom();
    void infoAndDumpPerLayout_data();
    void infoAndDumpPerLayout();
    void tableEnd_data();
    void tableEnd();
    void tooLarge();
    void notRegularFiles_data();
    void notRegularFiles();
    void foreignTitle_data();
    void foreignTitle();
    void dumpTestImage();
    void dumpDescriptions();
    void dumpDemoPairsAreKnown();
    void readOnlyFileStaysUntouched();

private:
    QTemporaryDir dir_;
};

void TestCli::initTestCase() {
    const QByteArray cli = qgetenv("OM_CLI");
    QVERIFY2(!cli.isEmpty(), "OM_CLI is not set");
    QVERIFY2(QFile::exists(QString::fromLocal8Bit(cli)), cli.constData());
    QVERIFY(dir_.isValid());
}

void TestCli::helpAndVersion_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("-h") << QStringList{"-h"};
    QTest::newRow("--help after a command") << QStringList{"dump", "--help"};
    QTest::newRow("--help with bad arguments") << QStringList{"set", "x", "--help"};
}

void TestCli::helpAndVersion() {
    QFETCH(QStringList, args);
    const Run r = RunCli(args);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());
    QVERIFY2(r.out.startsWith("Usage: ombattleanim-cli [OPTION...] COMMAND ARGUMENT...\n"),
             r.out.constData());
    // Every command, with its arguments, on a line of its own, then a line
    // on what it does.
    const QList<QByteArray> lines = Lines(r.out);
    for (const char* synopsis :
         {"  info ROM", "  dump ROM", "  set ROM GROUP L1LO L1HI L2LO L2HI", "  import ROM CSV",
          "  diff ROM_A ROM_B", "  make-patch ORIGINAL MODIFIED OUT", "  apply-patch ROM PATCH OUT",
          "  make-demo-rom OUT"}) {
        const qsizetype at = lines.indexOf(QByteArray(synopsis));
        QVERIFY2(at > 0 && at + 1 < lines.size(), synopsis);
        QVERIFY2(lines[at + 1].startsWith("      ") && lines[at + 1].size() > 12, synopsis);
    }
    QVERIFY(r.out.contains("BPS is the one to\n      publish"));
    for (const char* option :
         {"  -h, --help ", "  --version ", "  --force ", "  --format ips|bps "})
        QVERIFY2(r.out.contains(option), option);
    QVERIFY(r.out.contains("Exit status:\n  0  "));
    QVERIFY(r.out.endsWith('\n'));
    for (const QByteArray& line : lines)
        QVERIFY2(line.size() <= 80, line.constData());
    // The same text however help is asked for.
    QCOMPARE(r.out, RunCli({"--help"}).out);

    const Run v = RunCli({"--version"});
    QCOMPARE(v.exitCode, 0);
    QCOMPARE(v.err, QByteArray());
    QCOMPARE(v.out, QByteArray("ombattleanim-cli 1.0\n"));
}

void TestCli::usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("says");
    const QString rom = dir_.filePath("no-such.smc");
    QTest::newRow("no arguments") << QStringList{} << QByteArray("no command given");
    QTest::newRow("unknown command")
        << QStringList{"edit", rom} << QByteArray("unknown command 'edit'");
    QTest::newRow("unknown option") << QStringList{"info", "--fast", rom} << QByteArray("'fast'");
    QTest::newRow("unknown short option") << QStringList{"-x", "info", rom} << QByteArray("'x'");
    QTest::newRow("info, no file")
        << QStringList{"info"} << QByteArray("'info' takes 1 argument (info ROM), not 0");
    QTest::newRow("dump, two files")
        << QStringList{"dump", rom, rom} << QByteArray("'dump' takes 1 argument (dump ROM), not 2");
    QTest::newRow("make-demo-rom, no file")
        << QStringList{"make-demo-rom"} << QByteArray("'make-demo-rom' takes 1 argument");
    QTest::newRow("set, five arguments")
        << QStringList{"set", rom, "1", "2", "3", "4"}
        << QByteArray("'set' takes 6 arguments (set ROM GROUP L1LO L1HI L2LO L2HI), not 5");
    QTest::newRow("import, one argument")
        << QStringList{"import", rom} << QByteArray("'import' takes 2 arguments");
    QTest::newRow("diff, three files")
        << QStringList{"diff", rom, rom, rom} << QByteArray("'diff' takes 2 arguments");
    QTest::newRow("--force where it means nothing")
        << QStringList{"--force", "make-demo-rom", dir_.filePath("forced.smc")}
        << QByteArray("--force does not apply to 'make-demo-rom'");
    QTest::newRow("--format where it means nothing")
        << QStringList{"apply-patch", "--format", "bps", rom, rom, dir_.filePath("out.smc")}
        << QByteArray("--format does not apply to 'apply-patch'");
    QTest::newRow("--format without a value")
        << QStringList{"make-patch", rom, rom, "--format"} << QByteArray("'--format'");
    QTest::newRow("--format of another kind")
        << QStringList{"make-patch", "--format=ups", rom, rom, dir_.filePath("out.bps")}
        << QByteArray("--format takes ips or bps, not 'ups'");
    QTest::newRow("--format twice")
        << QStringList{"make-patch", "--format=ips", "--format=bps", rom, rom,  //
                       dir_.filePath("out.bps")}
        << QByteArray("--format is given more than once");
    QTest::newRow("patch name without a format")
        << QStringList{"make-patch", rom, rom, dir_.filePath("out.patch")}
        << QByteArray("cannot tell the patch format from '" + dir_.filePath("out.patch").toUtf8() +
                      "': name it .bps (recommended) or .ips, or give --format bps");
    QTest::newRow("make-patch, two files")
        << QStringList{"make-patch", rom, rom} << QByteArray("'make-patch' takes 3 arguments");
}

void TestCli::usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, says);
    const Run r = RunCli(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
    QVERIFY2(r.err.startsWith("ombattleanim-cli: "), r.err.constData());
    QVERIFY2(r.err.contains(says), r.err.constData());
    QVERIFY2(r.err.contains("ombattleanim-cli --help"), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QVERIFY(!QFile::exists(dir_.filePath("no-such.smc")));
    QVERIFY(!QFile::exists(dir_.filePath("forced.smc")));
    QVERIFY(!QFile::exists(dir_.filePath("out.smc")));
    QVERIFY(!QFile::exists(dir_.filePath("out.bps")));
    QVERIFY(!QFile::exists(dir_.filePath("out.patch")));
}

void TestCli::fileErrors_data() {
    QTest::addColumn<QStringList>("args");
    const QString missing = dir_.filePath("no-such.smc");
    QTest::newRow("info, missing file") << QStringList{"info", missing};
    QTest::newRow("dump, missing file") << QStringList{"dump", missing};
    QTest::newRow("make-demo-rom, missing folder")
        << QStringList{"make-demo-rom", dir_.filePath("no-such-folder/demo.smc")};
    QTest::newRow("make-demo-rom, directory") << QStringList{"make-demo-rom", dir_.path()};
}

void TestCli::fileErrors() {
    QFETCH(QStringList, args);
    const Run r = RunCli(args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QVERIFY(!QFile::exists(dir_.filePath("no-such.smc")));
}

void TestCli::makeDemoRom() {
    const QString a = dir_.filePath("demo-a.smc");
    const QString b = dir_.filePath("demo-b.smc");
    const Run ra = RunCli({"make-demo-rom", a});
    QCOMPARE(ra.exitCode, 0);
    QCOMPARE(ra.err, QByteArray());
    const Run rb = RunCli({"make-demo-rom", b});
    QCOMPARE(rb.exitCode, 0);

    const auto bytesA = omtest::ReadFileBytes(a.toStdString());
    const auto bytesB = omtest::ReadFileBytes(b.toStdString());
    QCOMPARE(long(bytesA.size()), 3146240L);
    QVERIFY(bytesA == bytesB);
    QVERIFY(bytesA == om::MakeDemoRom().bytes());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytesA.data()) + 0x101C0, 11),
             QByteArray("ORBIT MARSH"));
}

void TestCli::makeDemoRomRefusesExistingFile() {
    om::RomImage small(1000);
    small.put(10, 0x42);
    omtest::TempRom rom(small, "taken.smc");
    QVERIFY(omtest::AgeFile(rom.qpath()));

    const Run r = RunCli({"make-demo-rom", rom.qpath()});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QVERIFY(rom.bytes() == small.bytes());
    QVERIFY(omtest::IsAged(rom.qpath()));
}

void TestCli::infoOnDemoRom() {
    omtest::TempRom rom(om::MakeDemoRom(), "demo.smc");
    const Run r = RunCli({"info", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.out, "file: " + rom.qpath().toUtf8() +
                        "\n"
                        "size: 3146240 bytes\n"
                        "title: ORBIT MARSH (matches)\n"
                        "layout: 512-byte copier header, table at 0xBDA9E\n"
                        "entries inside the file: 485 of 485\n");
}

void TestCli::infoAndDumpPerLayout_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<bool>("bothTitles");
    QTest::addColumn<long>("tableAt");
    QTest::addColumn<QByteArray>("info");
    QTest::newRow("copier header") << true << false << 776862L
                                   << QByteArray(
                                          "size: 3146240 bytes\n"
                                          "title: ORBIT MARSH (matches)\n"
                                          "layout: 512-byte copier header, table at 0xBDA9E\n"
                                          "entries inside the file: 485 of 485\n");
    QTest::newRow("headerless") << false << false << 776350L
                                << QByteArray(
                                       "size: 3145728 bytes\n"
                                       "title: ORBIT MARSH (matches)\n"
                                       "layout: no copier header, table at 0xBD89E\n"
                                       "entries inside the file: 485 of 485\n");
    // The title at both places: the size decides, and 3 MiB + 512 has a header.
    QTest::newRow("title twice") << true << true << 776862L
                                 << QByteArray("size: 3146240 bytes\n"
                                               "title: ORBIT MARSH (matches)\n"
                                               "layout: 512-byte copier header, table at 0xBDA9E "
                                               "(by the file's size)\n"
                                               "entries inside the file: 485 of 485\n");
}

void TestCli::infoAndDumpPerLayout() {
    QFETCH(bool, headered);
    QFETCH(bool, bothTitles);
    QFETCH(long, tableAt);
    QFETCH(QByteArray, info);
    om::RomImage image = omtest::MakeTestImage();
    image.putEnemyName(1, "Marsh Wight");
    for (int i = 0; bothTitles && i < 11; ++i)
        image.put(0xFFC0 + i, static_cast<std::uint8_t>("ORBIT MARSH"[i]));
    if (!headered)
        image = omtest::WithoutHeader(image);
    omtest::TempRom rom(image, headered ? "game.smc" : "game.sfc");

    const Run i = RunCli({"info", rom.qpath()});
    QCOMPARE(i.exitCode, 0);
    QCOMPARE(i.err, QByteArray());
    QCOMPARE(i.out, "file: " + rom.qpath().toUtf8() + "\n" + info);

    const Run d = RunCli({"dump", rom.qpath()});
    QCOMPARE(d.exitCode, 0);
    QCOMPARE(d.err, QByteArray());
    const QList<QByteArray> lines = Lines(d.out);
    QCOMPARE(lines.size(), 486);
    for (int g = 0; g < 485; ++g) {
        const QList<QByteArray> f = CsvFields(lines[g + 1]);
        QCOMPARE(f.size(), 7);
        QCOMPARE(f[0], QByteArray::number(g));
        QCOMPARE(f[1], QByteArray::number(qlonglong(tableAt + 4 * g), 16).toUpper());
        for (int b = 0; b < 4; ++b)
            QCOMPARE(f[2 + b], QByteArray::number(int(image.at(tableAt + 4 * g + b))));
    }
    // Names come from the layout's place too: group 3 is enemy 2 alone.
    QCOMPARE(CsvFields(lines[4]).value(6), QByteArray("Marsh Wight"));
}

void TestCli::tableEnd_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<long>("size");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("empty file") << true << 0L << false
                                << QByteArray("the file is 0 bytes long, too short");
    QTest::newRow("header: one byte short")
        << true << 778801L << false
        << QByteArray(
               "is 778801 bytes long, too short to be an Orbitmarsh ROM image: the battle "
               "background table ends at byte 778802");
    QTest::newRow("header: the table's end") << true << 778802L << true << QByteArray();
    QTest::newRow("header: title only")
        << true << 0x101C0L + 11 << false << QByteArray("is 65995 bytes long, too short");
    QTest::newRow("headerless: one byte short")
        << false << 778289L << false
        << QByteArray(
               "is 778289 bytes long, too short to be an Orbitmarsh ROM image: the battle "
               "background table ends at byte 778290");
    QTest::newRow("headerless: the table's end") << false << 778290L << true << QByteArray();
}

void TestCli::tableEnd() {
    QFETCH(bool, headered);
    QFETCH(long, size);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, says);
    om::RomImage image(size, headered ? om::kSmcLayout : om::kSfcLayout);
    image.putTitle();
    for (int g = 0; g < 485; ++g)
        image.putEntry(g, 7, 0, static_cast<std::uint8_t>(g), 1);
    omtest::TempRom rom(image);

    for (const char* command : {"info", "dump"}) {
        const Run r = RunCli({command, rom.qpath()});
        if (accepted) {
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(r.err, QByteArray());
        } else {
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
            QVERIFY2(r.err.contains(says), r.err.constData());
            QCOMPARE(r.out, QByteArray());
        }
    }
    if (accepted) {
        const Run d = RunCli({"dump", rom.qpath()});
        QCOMPARE(Lines(d.out).value(485).left(20),
                 QByteArray(headered ? "484,BE22E,7,0,228,1," : "484,BE02E,7,0,228,1,"));
    }
    QVERIFY(rom.bytes() == image.bytes());
}

void TestCli::tooLarge() {
    // 64 MiB and one byte, sparse, with the title where a copier header puts it.
    const QString path = dir_.filePath("huge.smc");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.seek(0x101C0));
    QCOMPARE(f.write("ORBIT MARSH"), qint64(11));
    QVERIFY(f.resize(67108865));
    f.close();
    for (const char* command : {"info", "dump"}) {
        const Run r = RunCli({"--force", command, path});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
        QVERIFY2(r.err.contains("is 67108865 bytes long, too large to be an Orbitmarsh ROM image "
                                "(at most 67108864 bytes)"),
                 r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }
    QVERIFY(f.resize(67108864));
    QCOMPARE(RunCli({"info", path}).exitCode, 0);
    QVERIFY(QFile::remove(path));
}

void TestCli::notRegularFiles_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("says");
    const QString fifo = dir_.filePath("pipe.smc");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QTest::newRow("FIFO") << fifo << QByteArray("is a FIFO, not a file");
    QTest::newRow("/dev/null") << QString("/dev/null")
                               << QByteArray("is a character device, not a file");
    QTest::newRow("directory") << dir_.path() << QByteArray("is a directory, not a file");
}

void TestCli::notRegularFiles() {
    QFETCH(QString, path);
    QFETCH(QByteArray, says);
    // A FIFO with no writer: a read would wait for ever, and the test would
    // run into RunCli's time limit.
    for (const char* command : {"info", "dump"}) {
        const Run r = RunCli({command, path});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
        QVERIFY2(r.err.contains(says), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }
}

void TestCli::foreignTitle_data() {
    QTest::addColumn<long>("size");
    QTest::addColumn<long>("tableAt");
    QTest::addColumn<QByteArray>("layout");
    // Without a title, a size that is a multiple of 1024 has no header.
    QTest::newRow("3 MiB") << 3145728L << 776350L
                           << QByteArray(
                                  "layout: no copier header, table at 0xBD89E (by the "
                                  "file's size)");
    QTest::newRow("3 MiB + 512") << 3146240L << 776862L
                                 << QByteArray(
                                        "layout: 512-byte copier header, table at 0xBDA9E "
                                        "(by the file's size)");
}

void TestCli::foreignTitle() {
    QFETCH(long, size);
    QFETCH(long, tableAt);
    QFETCH(QByteArray, layout);
    om::RomImage image(size);
    for (long i = 0; i < 1940; ++i)
        image.put(tableAt + i, static_cast<std::uint8_t>(i * 7 + 1));
    image.put(0xFFC0, 'O');
    image.put(0x101C0, 'O');
    omtest::TempRom rom(image);

    for (const char* command : {"info", "dump"}) {
        const Run r = RunCli({command, rom.qpath()});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
        QVERIFY2(r.err.contains("does not look like an Orbitmarsh ROM image"), r.err.constData());
        QVERIFY2(r.err.contains("--force"), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }
    const Run i = RunCli({"info", "--force", rom.qpath()});
    QCOMPARE(i.exitCode, 0);
    QCOMPARE(i.err, QByteArray());
    QCOMPARE(InfoLine(i.out, "title:"), QByteArray("title: does not match"));
    QCOMPARE(InfoLine(i.out, "layout:"), layout);

    const Run d = RunCli({"--force", "dump", rom.qpath()});
    QCOMPARE(d.exitCode, 0);
    const QList<QByteArray> lines = Lines(d.out);
    QCOMPARE(lines.size(), 486);
    for (int g = 0; g < 485; ++g) {
        const QList<QByteArray> f = CsvFields(lines[g + 1]);
        QCOMPARE(f[1], QByteArray::number(qlonglong(tableAt + 4 * g), 16).toUpper());
        for (int b = 0; b < 4; ++b)
            QCOMPARE(f[2 + b], QByteArray::number(((4 * g + b) * 7 + 1) & 0xFF));
    }
    QVERIFY(rom.bytes() == image.bytes());
}

void TestCli::dumpTestImage() {
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom rom(image);
    const Run r = RunCli({"dump", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());

    const QList<QByteArray> lines = Lines(r.out);
    QCOMPARE(lines.size(), 486);
    QCOMPARE(lines[0],
             QByteArray("group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description"));
    QVERIFY(lines[1].startsWith("0,BDA9E,"));
    for (int g = 0; g < 485; ++g) {
        const QList<QByteArray> f = CsvFields(lines[g + 1]);
        QCOMPARE(f.size(), 7);
        QCOMPARE(f[0], QByteArray::number(g));
        QCOMPARE(f[1], QByteArray::number(qlonglong(kTableAt + 4 * g), 16).toUpper());
        for (int i = 0; i < 4; ++i)
            QCOMPARE(f[2 + i], QByteArray::number(int(image.at(kTableAt + 4 * g + i))));
    }
    QCOMPARE(lines[485], QByteArray("484,BE22E,228,1,27,1,null"));
}

void TestCli::dumpDescriptions() {
    // Group 3 is "{enemy 2}" alone and group 4 "{enemy 5} (...)".
    QCOMPARE(std::string(om::GroupTemplateTable[3]), std::string("\x02\x02"));
    QVERIFY(om::GroupTemplateTable[4].starts_with("\x02\x05 ("));

    om::RomImage image = omtest::MakeTestImage();
    image.putEnemyName(1, "Rook, the \"Grey\"");
    image.putEnemyName(4, "Caf\xE9 Wraith, Elder");  // a comma alone is quoted too
    omtest::TempRom rom(image);

    const Run r = RunCli({"dump", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = Lines(r.out);
    QCOMPARE(lines.size(), 486);
    QVERIFY2(lines[4].endsWith(",\"Rook, the \"\"Grey\"\"\""), lines[4].constData());
    QCOMPARE(CsvFields(lines[4]).value(6), QByteArray("Rook, the \"Grey\""));
    const QByteArray wraith = CsvFields(lines[5]).value(6);
    QVERIFY2(wraith.startsWith("Caf\xC3\xA9 Wraith, Elder ("), wraith.constData());
    QVERIFY(QString::fromUtf8(wraith).startsWith(QStringLiteral("Caf\u00E9 Wraith, Elder")));
    // Other groups naming enemy 2 quote their description too.
    QCOMPARE(CsvFields(lines[1]).value(6).right(19), QByteArray(" + Rook, the \"Grey\""));
    QVERIFY(lines[1].endsWith("\"\"\""));
    QCOMPARE(CsvFields(lines[485]).value(6), QByteArray("null"));
    QCOMPARE(CsvFields(lines[484]).value(6), QByteArray("null"));
    // A plain-text group comes out as it is stored.
    QCOMPARE(CsvFields(lines[301]).value(6).toStdString(),
             std::string(om::GroupTemplateTable[300]));
    // Every line holds exactly seven fields, whatever the names hold.
    for (int g = 1; g <= 485; ++g)
        QCOMPARE(CsvFields(lines[g]).size(), 7);
}

void TestCli::dumpDemoPairsAreKnown() {
    omtest::TempRom rom(om::MakeDemoRom(), "demo.smc");
    const Run r = RunCli({"dump", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = Lines(r.out);
    QCOMPARE(lines.size(), 486);
    const om::LayerCatalog layer1 = om::MakeLayer1Catalog();
    const om::LayerCatalog layer2 = om::MakeLayer2Catalog();
    for (int g = 0; g < 485; ++g) {
        const QList<QByteArray> f = CsvFields(lines[g + 1]);
        QCOMPARE(f.size(), 7);
        QVERIFY2(layer1.find(f[2].toInt(), f[3].toInt()) >= 0, lines[g + 1].constData());
        QVERIFY2(layer2.find(f[4].toInt(), f[5].toInt()) >= 0, lines[g + 1].constData());
        QVERIFY(!f[6].isEmpty());
    }
}

void TestCli::readOnlyFileStaysUntouched() {
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom rom(image, "locked.smc");
    QVERIFY(omtest::AgeFile(rom.qpath()));
    QCOMPARE(chmod(QFile::encodeName(rom.qpath()).constData(), 0444), 0);

    for (const char* command : {"info", "dump"}) {
        const Run r = RunCli({command, rom.qpath()});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());
        QVERIFY(!r.out.isEmpty());
    }
    QVERIFY(rom.bytes() == image.bytes());
    QVERIFY(omtest::IsAged(rom.qpath()));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
