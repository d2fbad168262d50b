// ombattleanim-cli run as a separate process on images the tests write.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "CliRun.h"
#include "TestImages.h"
#include "pickers/LayerCatalog.h"
#include "romdata/RomImage.h"

using omtest::CsvFields;
using omtest::Lines;
using omtest::RunCli;
using Run = omtest::CliRun;

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        const QByteArray cli = qgetenv("OM_CLI");
        QVERIFY2(!cli.isEmpty(), "OM_CLI is not set");
        QVERIFY2(QFile::exists(QString::fromLocal8Bit(cli)), cli.constData());
        QVERIFY(dir_.isValid());
    }

    void helpAndVersion_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("-h") << QStringList{"-h"};
        QTest::newRow("--help after a command") << QStringList{"dump", "--help"};
        QTest::newRow("--help with bad arguments") << QStringList{"set", "x", "--help"};
    }

    void helpAndVersion() {
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
              "  make-demo-rom OUT", "  find ROM [TERM...]", "  usage ROM [--layer 1|2]"}) {
            const qsizetype at = lines.indexOf(QByteArray(synopsis));
            QVERIFY2(at > 0 && at + 1 < lines.size(), synopsis);
            QVERIFY2(lines[at + 1].startsWith("      ") && lines[at + 1].size() > 12, synopsis);
        }
        QVERIFY(r.out.contains("BPS is the one to\n      publish"));
        for (const char* option :
             {"  -h, --help ", "  --version ", "  --force ", "  --format ips|bps ", "  --layer 1|2 "})
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

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("says");
        const QString rom = dir_.filePath("no-such.smc");
        QTest::newRow("no arguments") << QStringList{} << QByteArray("no command given");
        QTest::newRow("unknown command")
            << QStringList{"edit", rom} << QByteArray("unknown command 'edit'");
        QTest::newRow("command with an escape sequence")
            << QStringList{"ed\x1B[2Jit\xC2\x9B", rom}
            << QByteArray("command 'ed\\x1B[2Jit\\xC2\\x9B'");
        QTest::newRow("unknown option") << QStringList{"info", "--fast", rom} << QByteArray("'fast'");
        QTest::newRow("unknown short option") << QStringList{"-x", "info", rom} << QByteArray("'x'");
        // Every command counts its arguments the same way.
        QTest::newRow("info, no file")
            << QStringList{"info"} << QByteArray("'info' takes 1 argument (info ROM), not 0");
        QTest::newRow("set, five arguments")
            << QStringList{"set", rom, "1", "2", "3", "4"}
            << QByteArray("'set' takes 6 arguments (set ROM GROUP L1LO L1HI L2LO L2HI), not 5");
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
    }

    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, says);
        const Run r = RunCli(args);
        OM_CHECK_REFUSED(r, 2, says);
        QVERIFY2(r.err.startsWith("ombattleanim-cli: "), r.err.constData());
        QVERIFY2(r.err.contains("ombattleanim-cli --help"), r.err.constData());
        for (const char* name : {"no-such.smc", "forced.smc", "out.smc", "out.bps", "out.patch"})
            QVERIFY2(!QFile::exists(dir_.filePath(name)), name);
    }

    void makeDemoRom() {
        const QString a = dir_.filePath("demo-a.smc");
        const Run ra = RunCli({"make-demo-rom", a});
        QCOMPARE(ra.exitCode, 0);
        QCOMPARE(ra.err, QByteArray());
        const auto bytesA = omtest::ReadFileBytes(a.toStdString());
        QCOMPARE(long(bytesA.size()), 3146240L);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytesA.data()) + 0x101C0, 11),
                 QByteArray("ORBIT MARSH"));
        // Every group of the demo shows backgrounds the pickers know.
        const Run d = RunCli({"dump", a});
        const QList<QByteArray> lines = Lines(d.out);
        QCOMPARE(lines.size(), 486);
        const om::LayerCatalog layer1 = om::MakeLayer1Catalog();
        const om::LayerCatalog layer2 = om::MakeLayer2Catalog();
        for (int g = 1; g <= 485; ++g) {
            const QList<QByteArray> f = CsvFields(lines[g]);
            QCOMPARE(f.size(), 7);
            QVERIFY2(layer1.find(f[2].toInt(), f[3].toInt()) >= 0, lines[g].constData());
            QVERIFY2(layer2.find(f[4].toInt(), f[5].toInt()) >= 0, lines[g].constData());
            QVERIFY(!f[6].isEmpty());
        }

        // An existing file is never overwritten; nor is a missing folder made.
        om::RomImage small(1000);
        small.put(10, 0x42);
        omtest::TempRom rom(small, "taken.smc");
        QVERIFY(omtest::AgeFile(rom.qpath()));
        for (const QString& out : {rom.qpath(), dir_.filePath("no-such-folder/demo.smc"), dir_.path()})
            OM_CHECK_REFUSED(RunCli({"make-demo-rom", out}), 1, "ombattleanim-cli: ");
        QVERIFY(rom.bytes() == small.bytes());
        QVERIFY(omtest::IsAged(rom.qpath()));
        QVERIFY(!QFile::exists(dir_.filePath("no-such-folder")));
    }

    void infoAndDumpPerLayout_data() {
        QTest::addColumn<bool>("headered");
        QTest::addColumn<int>("titles");  // 0: none (and --force), 1: the layout's, 2: both places
        QTest::addColumn<long>("tableAt");
        QTest::addColumn<QByteArray>("info");
        const auto row = [](const char* name, bool headered, int titles, const char* title,
                            const char* layout) {
            QTest::newRow(name) << headered << titles << (headered ? 776862L : 776350L)
                                << "size: " + QByteArray(headered ? "3146240" : "3145728") +
                                       " bytes\ntitle: " + title + "\nlayout: " + layout +
                                       "\nentries inside the file: 485 of 485\n";
        };
        const char* matches = "ORBIT MARSH (matches)";
        row("copier header", true, 1, matches, "512-byte copier header, table at 0xBDA9E");
        row("headerless", false, 1, matches, "no copier header, table at 0xBD89E");
        // The title at both places: the size decides, and 3 MiB + 512 has a header.
        row("title twice", true, 2, matches,
            "512-byte copier header, table at 0xBDA9E (by the file's size)");
        // Without a title, a size that is a multiple of 1024 has no header.
        row("no title, 3 MiB + 512, forced", true, 0, "does not match",
            "512-byte copier header, table at 0xBDA9E (by the file's size)");
        row("no title, 3 MiB, forced", false, 0, "does not match",
            "no copier header, table at 0xBD89E (by the file's size)");
    }

    void infoAndDumpPerLayout() {
        QFETCH(bool, headered);
        QFETCH(int, titles);
        QFETCH(long, tableAt);
        QFETCH(QByteArray, info);
        om::RomImage image = omtest::MakeTestImage();
        // Group 3 is "{enemy 2}" alone and group 4 "{enemy 5} (...)".
        image.putEnemyName(1, "Rook, the \"Grey\"");
        // A comma alone is quoted too; control characters (ESC, BEL, 0x9B which
        // is U+009B in UTF-8, DEL) are escaped, other letters are not.
        image.putEnemyName(4, "Caf\xE9 \x1B]0;x\x07\x9B\xD6\x7F, Elder");
        for (int i = 0; titles == 2 && i < 11; ++i)
            image.put(0xFFC0 + i, static_cast<std::uint8_t>("ORBIT MARSH"[i]));
        if (!headered)
            image = omtest::WithoutHeader(image);
        if (titles == 0)
            image.putTitle("ORBIT MARSX");
        const QStringList force = titles == 0 ? QStringList{"--force"} : QStringList{};
        omtest::TempRom rom(image, headered ? "game.smc" : "game.sfc");
        // Reading needs no write access, and writes nothing.
        QVERIFY(omtest::AgeFile(rom.qpath()));
        QCOMPARE(chmod(QFile::encodeName(rom.qpath()).constData(), 0444), 0);

        const Run i = RunCli(QStringList{"info", rom.qpath()} + force);
        QCOMPARE(i.exitCode, 0);
        QCOMPARE(i.err, QByteArray());
        QCOMPARE(i.out, "file: " + rom.qpath().toUtf8() + "\n" + info);

        const Run d = RunCli(force + QStringList{"dump", rom.qpath()});
        QCOMPARE(d.exitCode, 0);
        QCOMPARE(d.err, QByteArray());
        const QList<QByteArray> lines = Lines(d.out);
        QCOMPARE(lines.size(), 486);
        QCOMPARE(lines[0],
                 QByteArray("group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description"));
        for (int g = 0; g < 485; ++g) {
            const QList<QByteArray> f = CsvFields(lines[g + 1]);
            QCOMPARE(f.size(), 7);
            QCOMPARE(f[0], QByteArray::number(g));
            QCOMPARE(f[1], QByteArray::number(qlonglong(tableAt + 4 * g), 16).toUpper());
            for (int b = 0; b < 4; ++b)
                QCOMPARE(f[2 + b], QByteArray::number(int(image.at(tableAt + 4 * g + b))));
        }
        QCOMPARE(lines[485], headered ? QByteArray("484,BE22E,228,1,27,1,null")
                                      : QByteArray("484,BE02E,228,1,27,1,null"));
        // Names come from the layout's place too, quoted where they need it,
        // in UTF-8; whatever the names hold, every line has seven fields.
        QVERIFY2(lines[4].endsWith(",\"Rook, the \"\"Grey\"\"\""), lines[4].constData());
        QCOMPARE(CsvFields(lines[4]).value(6), QByteArray("Rook, the \"Grey\""));
        const QByteArray wraith = CsvFields(lines[5]).value(6);
        QVERIFY2(wraith.startsWith("Caf\xC3\xA9 \\x1B]0;x\\x07\\xC2\\x9B\xC3\x96\\x7F, Elder ("),
                 wraith.constData());
        // No control character anywhere but the line ends: no C0, DEL or C1.
        for (qsizetype i = 0; i < d.out.size(); ++i) {
            const auto c = uchar(d.out[i]);
            QVERIFY(c == '\n' ||
                    (c >= 0x20 && c != 0x7F && !(c == 0xC2 && uchar(d.out[i + 1]) < 0xA0)));
        }
        // Other groups naming enemy 2 quote their description too.
        QCOMPARE(CsvFields(lines[1]).value(6).right(19), QByteArray(" + Rook, the \"Grey\""));
        QVERIFY(lines[1].endsWith("\"\"\""));
        QCOMPARE(CsvFields(lines[484]).value(6), QByteArray("null"));
        // A plain-text group comes out as it is stored.
        QCOMPARE(CsvFields(lines[301]).value(6), QByteArray("Ash Lizard + 3 Cinder Imps (Ashfall Rise)"));
        QVERIFY(rom.bytes() == image.bytes());
        QVERIFY(omtest::IsAged(rom.qpath()));
    }

    void badFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<long>("size");  // of an image with the title and a full table
        QTest::addColumn<bool>("headered");
        QTest::addColumn<bool>("readable");  // info and dump accept it
        QTest::addColumn<QByteArray>("says");  // parts separated by '|'
        const QByteArray shortOf = "bytes long, too short to be an Orbitmarsh ROM image: the battle "
                                   "background table ends at byte ";
        const QByteArray foreign =
            "does not look like an Orbitmarsh ROM image|--force uses it anyway";
        QTest::newRow("missing") << "missing" << 0L << true << false
                                 << QByteArray("such\\x1B[2J.smc': No such file or directory");
        QTest::newRow("FIFO") << "fifo" << 0L << true << false << QByteArray("is a FIFO, not a file");
        QTest::newRow("/dev/null") << "/dev/null" << 0L << true << false
                                   << QByteArray("is a character device, not a file");
        QTest::newRow("directory") << "directory" << 0L << true << false
                                   << QByteArray("is a directory, not a file");
        QTest::newRow("header: one byte short")
            << "image" << 778801L << true << false << "is 778801 " + shortOf + "778802";
        QTest::newRow("headerless: one byte short")
            << "image" << 778289L << false << false << "is 778289 " + shortOf + "778290";
        QTest::newRow("no title, 3 MiB") << "foreign" << 3145728L << false << false << foreign;
        QTest::newRow("no title, 3 MiB + 512") << "foreign" << 3146240L << true << false << foreign;
        // --force does not lift the size limit.
        QTest::newRow("64 MiB and one byte, forced")
            << "huge" << 67108865L << true << false
            << QByteArray("is 67108865 bytes long, too large to be an Orbitmarsh ROM image "
                          "(at most 67108864 bytes)");
        // Only the writers need write access, and the lock an editor holds.
        QTest::newRow("read-only") << "read-only" << 0L << true << true
                                   << QByteArray("for writing: Permission denied");
        QTest::newRow("locked by an editor") << "locked" << 0L << true << true
                                             << QByteArray("is open in another editor");
    }

    // Every command that opens a ROM refuses a file that cannot be one, and
    // leaves it as it was: info and dump, set and import (status 1), diff with
    // the file first or second (status 2).
    void badFiles() {
        QFETCH(QString, kind);
        QFETCH(long, size);
        QFETCH(bool, headered);
        QFETCH(bool, readable);
        QFETCH(QByteArray, says);
        if (kind == "read-only" && geteuid() == 0)
            QSKIP("root may write a read-only file");
        QString path = kind;
        std::optional<omtest::TempRom> rom;
        om::RomImage image = omtest::TestImage(true);
        if (kind == "image") {
            image = om::RomImage(size, headered ? om::kSmcLayout : om::kSfcLayout);
            image.putTitle();
            for (int g = 0; g < 485; ++g)
                image.putEntry(g, 7, 0, static_cast<std::uint8_t>(g), 1);
        } else if (kind == "foreign") {
            image = om::RomImage(size);
            image.put(0xFFC0, 'O');
            image.put(0x101C0, 'O');
        }
        if (kind == "image" || kind == "foreign" || readable) {
            rom.emplace(image);
            path = rom->qpath();
        } else if (kind == "missing") {
            path = dir_.filePath("no-such\x1B[2J.smc");
        } else if (kind == "fifo") {
            path = dir_.filePath("pipe.smc");
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "directory") {
            path = dir_.path();
        } else if (kind == "huge") {
            // Sparse, with the title where a copier header puts it.
            path = dir_.filePath("huge.smc");
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.seek(0x101C0));
            QCOMPARE(f.write("ORBIT MARSH"), qint64(11));
            QVERIFY(f.resize(size));
        }
        if (kind == "read-only")
            QCOMPARE(chmod(QFile::encodeName(path).constData(), 0444), 0);
        const int lock = kind == "locked" ? ::open(QFile::encodeName(path).constData(), O_RDWR) : -1;
        if (kind == "locked")
            QCOMPARE(::flock(lock, LOCK_EX | LOCK_NB), 0);
        std::optional<omtest::Untouched> untouched;
        if (rom)
            untouched.emplace(*rom);
        omtest::TempRom good(omtest::TestImage(true), "good.smc");
        const QString csv = good.dir() + "/edits.csv";
        QVERIFY(omtest::WriteText(csv, "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,"
                                       "description\n0,BDA9E,1,2,3,4,x\n"));

        // A FIFO with no writer: a read would wait for ever, and the test would
        // run into RunCli's time limit.
        const QStringList force = kind == "huge" ? QStringList{"--force"} : QStringList{};
        for (const char* command : {"info", "dump"}) {
            const Run r = RunCli(force + QStringList{command, path});
            if (readable)
                QCOMPARE(r.exitCode, 0);
            else
                for (const QByteArray& part : says.split('|'))
                    OM_CHECK_REFUSED(r, 1, part);
        }
        QList<std::pair<QStringList, int>> others = {
            {{"set", path, "0", "1", "2", "3", "4"}, 1}, {{"import", path, csv}, 1}};
        if (!readable)
            others += {{{"diff", path, good.qpath()}, 2}, {{"diff", good.qpath(), path}, 2}};
        if (kind == "huge")
            others.clear();
        for (const auto& [args, status] : others)
            for (const QByteArray& part : says.split('|'))
                OM_CHECK_REFUSED(RunCli(args), status, part);
        QVERIFY(!QFile::exists(dir_.filePath("no-such.smc")));
        if (untouched)
            QVERIFY(untouched->holds());
        if (lock >= 0)
            QCOMPARE(::close(lock), 0);
        // One byte more and the file holds the table to its end.
        if (size == 778801 || size == 778289) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::Append) && f.putChar(1));
            f.close();
            const Run d = RunCli({"dump", path});
            QCOMPARE(d.exitCode, 0);
            QCOMPARE(d.err, QByteArray());
            QCOMPARE(Lines(d.out).value(485).left(20),
                     QByteArray(headered ? "484,BE22E,7,0,228,1," : "484,BE02E,7,0,228,1,"));
            QCOMPARE(RunCli({"info", path}).exitCode, 0);
        }
        if (kind == "huge") {
            QVERIFY(QFile::resize(path, 67108864));
            QCOMPARE(RunCli({"info", path}).exitCode, 0);
            QVERIFY(QFile::remove(path));
        }
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
