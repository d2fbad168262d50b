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
#include <tuple>
#include <vector>

#include "CliRun.h"
#include "Unprivileged.h"
#include "TestImages.h"
#include "romdata/RomImage.h"

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

    void helpAndVersion() {
        const Run r = RunCli({"--help"});
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
        // The same text however help is asked for, also after a command or
        // among bad arguments.
        for (const QStringList& args : {QStringList{"-h"}, QStringList{"dump", "--help"},
                                        QStringList{"set", "x", "--help"}}) {
            const Run again = RunCli(args);
            QVERIFY2(again.exitCode == 0 && again.err.isEmpty() && again.out == r.out,
                     qPrintable(args.join(' ')));
        }

        const Run v = RunCli({"--version"});
        QCOMPARE(v.exitCode, 0);
        QCOMPARE(v.err, QByteArray());
        QCOMPARE(v.out, QByteArray("ombattleanim-cli 1.0\n"));
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("says");
        // The arguments, separated by spaces; a name with a file's suffix is a
        // file in dir_ (DIR in what is said) that does not exist.
        const std::pair<const char*, const char*> table[] = {
            {"", "no command given"},
            {"edit no-such.smc", "unknown command 'edit'"},
            {"ed\x1B[2Jit\xC2\x9B no-such.smc", "command 'ed\\x1B[2Jit\\xC2\\x9B'"},
            {"info --fast no-such.smc", "'fast'"},
            {"-x info no-such.smc", "'x'"},
            // Every command counts its arguments the same way.
            {"info", "'info' takes 1 argument (info ROM), not 0"},
            {"set no-such.smc 1 2 3 4",
             "'set' takes 6 arguments (set ROM GROUP L1LO L1HI L2LO L2HI), not 5"},
            {"--force make-demo-rom forced.smc", "--force does not apply to 'make-demo-rom'"},
            {"apply-patch --format bps no-such.smc no-such.smc out.smc",
             "--format does not apply to 'apply-patch'"},
            {"make-patch no-such.smc no-such.smc --format", "'--format'"},
            {"make-patch --format=ups no-such.smc no-such.smc out.bps",
             "--format takes ips or bps, not 'ups'"},
            {"make-patch --format=ips --format=bps no-such.smc no-such.smc out.bps",
             "--format is given more than once"},
            {"make-patch no-such.smc no-such.smc out.patch",
             "cannot tell the patch format from 'DIR/out.patch': name it .bps (recommended) or "
             ".ips, or give --format bps"},
            {"set no-such.smc -1 1 2 3 4", "'-1' is not a number this program takes"},
            {"set no-such.smc 7 1 2 3 -4", "'-4' is not a number this program takes"},
        };
        for (const auto& [line, says] : table) {
            QStringList args = QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts);
            for (QString& arg : args)
                if (arg.endsWith(".smc") || arg.endsWith(".bps") || arg.endsWith(".patch"))
                    arg = dir_.filePath(arg);
            QTest::addRow("%s", *line ? line : "no arguments")
                << args << QByteArray(says).replace("DIR", dir_.path().toUtf8());
        }
        // set checks its numbers before it opens its file: one bad number among
        // good ones (GROUP L1LO L1HI L2LO L2HI).
        const char* names[] = {"GROUP", "L1LO", "L1HI", "L2LO", "L2HI"};
        const std::pair<int, const char*> numbers[] = {
            {0, "485"}, {0, "0x1E5"}, {0, "ten"}, {0, ""},   {0, "99999999999999999999"}, {1, "256"},
            {2, "0x100"}, {2, "0x"}, {3, "+3"}, {3, " 3"}, {4, "1.5"}, {4, "1e2"}};
        for (const auto& [at, bad] : numbers) {
            QStringList args{"set", dir_.filePath("no-such.smc"), "7", "1", "2", "3", "4"};
            args[2 + at] = QString::fromUtf8(bad);
            QTest::addRow("set %s '%s'", names[at], bad)
                << args
                << QByteArray(names[at]) + " must be a number from 0 to " + (at == 0 ? "484" : "255") +
                       " (decimal, or hex with 0x), not '" + bad + "'";
        }
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

        // An existing file is never overwritten; nor is a missing folder made.
        om::RomImage small(1000);
        small.put(10, 0x42);
        omtest::TempRom rom(small, "taken.smc");
        const omtest::Untouched untouched(rom);
        for (const QString& out : {rom.qpath(), dir_.filePath("no-such-folder/demo.smc"), dir_.path()})
            OM_CHECK_REFUSED(RunCli({"make-demo-rom", out}), 1, "ombattleanim-cli: ");
        QVERIFY(untouched.holds());
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
        const omtest::Untouched untouched(rom);
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
            QByteArray entry = QByteArray::number(g) + "," +
                               QByteArray::number(qlonglong(tableAt + 4 * g), 16).toUpper();
            for (int b = 0; b < 4; ++b)
                entry += "," + QByteArray::number(int(image.at(tableAt + 4 * g + b)));
            QVERIFY2(lines[g + 1].startsWith(entry + ","), lines[g + 1].constData());
        }
        // Names come from the layout's place too, quoted where they need it,
        // in UTF-8.
        QVERIFY2(lines[4].endsWith(",\"Rook, the \"\"Grey\"\"\""), lines[4].constData());
        QVERIFY2(lines[5].contains(",\"Caf\xC3\xA9 \\x1B]0;x\\x07\\xC2\\x9B\xC3\x96\\x7F, Elder ("),
                 lines[5].constData());
        // A plain-text group comes out as it is stored.
        QVERIFY2(lines[301].endsWith(",Ash Lizard + 3 Cinder Imps (Ashfall Rise)"),
                 lines[301].constData());
        QVERIFY(untouched.holds());
    }

    void badFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<long>("size");  // of an image with the title and a full table
        QTest::addColumn<bool>("headered");
        QTest::addColumn<bool>("readable");  // info and dump accept it
        QTest::addColumn<QByteArray>("says");  // parts separated by '|'
        const QByteArray shortOf = "bytes long, too short to be an Orbitmarsh ROM image: the battle "
                                   "background table ends at byte ";
        const QByteArray foreign = "does not look like an Orbitmarsh ROM image|--force uses it anyway";
        const std::tuple<const char*, long, bool, bool, QByteArray> rows[] = {
            {"missing", 0, true, false, "such\\x1B[2J.smc': No such file or directory"},
            {"fifo", 0, true, false, "is a FIFO, not a file"},
            {"/dev/null", 0, true, false, "is a character device, not a file"},
            {"directory", 0, true, false, "is a directory, not a file"},
            // One byte short, with a copier header and without.
            {"image", 778801, true, false, "is 778801 " + shortOf + "778802"},
            {"image", 778289, false, false, "is 778289 " + shortOf + "778290"},
            {"foreign", 3145728, false, false, foreign},
            {"foreign", 3146240, true, false, foreign},
            // --force does not lift the size limit.
            {"huge", 67108865, true, false,
             "is 67108865 bytes long, too large to be an Orbitmarsh ROM image (at most 67108864 bytes)"},
            // Only the writers need write access, and the lock an editor holds.
            {"read-only", 0, true, true, "for writing: Permission denied"},
            {"locked", 0, true, true, "is open in another editor"}};
        for (const auto& [kind, size, headered, readable, says] : rows)
            QTest::addRow("%s, %ld bytes", kind, size)
                << QString(kind) << size << headered << readable << says;
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
        if (kind == "read-only" && omtest::RanUnprivileged())
            return;
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
        if (kind == "missing")
            QVERIFY(!QFile::exists(path));
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
