// ombattleanim-cli run as a separate process on images the tests write.
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <string>
#include <vector>

#include "DemoRom.h"
#include "TestImages.h"
#include "catalogue/GroupTemplates.h"
#include "pickers/LayerCatalog.h"
#include "romdata/RomImage.h"

namespace {

constexpr long kTableAt = 776862;

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run RunCli(const QStringList& args) {
    Run r;
    const QString program = QString::fromLocal8Bit(qgetenv("OM_CLI"));
    if (program.isEmpty())
        return r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Splits one CSV row per RFC 4180 (no line breaks inside fields).
QList<QByteArray> CsvFields(const QByteArray& row) {
    QList<QByteArray> fields;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted) {
            if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.isEmpty()) {
            quoted = true;
        } else if (c == ',') {
            fields += field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields += field;
    return fields;
}

QList<QByteArray> Lines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

// The line of `info` output that starts with key.
QByteArray InfoLine(const QByteArray& out, const QByteArray& key) {
    for (const QByteArray& line : Lines(out))
        if (line.startsWith(key))
            return line;
    return {};
}

int EntriesInside(long size) {
    int n = 0;
    for (int g = 0; g < 485; ++g)
        if (kTableAt + 4L * g + 4 <= size)
            ++n;
    return n;
}

bool ExactlyOneLine(const QByteArray& err) {
    return !err.isEmpty() && err.endsWith('\n') && err.count('\n') == 1 && err.size() > 1;
}

struct timespec ModificationTime(const QString& path) {
    struct stat st {};
    stat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void makeDemoRom();
    void makeDemoRomRefusesExistingFile();
    void infoOnDemoRom();
    void infoCountsEntriesInside_data();
    void infoCountsEntriesInside();
    void dumpTestImage();
    void dumpShortFile();
    void dumpDescriptions();
    void dumpDemoPairsAreKnown();
    void errors_data();
    void errors();
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
    const struct timespec before = ModificationTime(rom.qpath());

    const Run r = RunCli({"make-demo-rom", rom.qpath()});
    QVERIFY(r.exitCode > 0);
    QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QVERIFY(rom.bytes() == small.bytes());
    const struct timespec after = ModificationTime(rom.qpath());
    QCOMPARE(after.tv_sec, before.tv_sec);
    QCOMPARE(after.tv_nsec, before.tv_nsec);
}

void TestCli::infoOnDemoRom() {
    omtest::TempRom rom(om::MakeDemoRom(), "demo.smc");
    const Run r = RunCli({"info", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());
    QVERIFY2(InfoLine(r.out, "size:").contains("3146240"), r.out.constData());
    const QByteArray title = InfoLine(r.out, "title:");
    QVERIFY2(title.contains("matches") && !title.contains("not"), r.out.constData());
    QVERIFY2(InfoLine(r.out, "entries inside").contains(": 485 of 485"), r.out.constData());
}

void TestCli::infoCountsEntriesInside_data() {
    QTest::addColumn<long>("size");
    QTest::addColumn<bool>("titleInside");
    QTest::newRow("777000 bytes") << 777000L << true;
    QTest::newRow("table starts at end") << kTableAt << true;
    QTest::newRow("3 bytes of the first entry") << kTableAt + 3 << true;
    QTest::newRow("first entry whole") << kTableAt + 4 << true;
    QTest::newRow("last entry one byte short") << kTableAt + 1939 << true;
    QTest::newRow("title only") << 0x101C0L + 11 << true;
    QTest::newRow("title cut short") << 0x101C0L + 10 << false;
}

void TestCli::infoCountsEntriesInside() {
    QFETCH(long, size);
    QFETCH(bool, titleInside);
    om::RomImage image(size);
    image.putTitle();
    omtest::TempRom rom(image);

    const Run r = RunCli({"info", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(InfoLine(r.out, "size:").contains(QByteArray::number(qlonglong(size))),
             r.out.constData());
    const QByteArray title = InfoLine(r.out, "title:");
    QCOMPARE(title.contains("not"), !titleInside);
    const QByteArray expected = ": " + QByteArray::number(EntriesInside(size)) + " of 485";
    QVERIFY2(InfoLine(r.out, "entries inside").endsWith(expected), r.out.constData());
    if (size == 777000)
        QCOMPARE(EntriesInside(size), 34);
}

void TestCli::dumpTestImage() {
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom rom(image);
    const Run r = RunCli({"dump", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());

    const QList<QByteArray> lines = Lines(r.out);
    QCOMPARE(lines.size(), 486);
    QCOMPARE(lines[0], QByteArray("group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description"));
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

void TestCli::dumpShortFile() {
    // Ends after two bytes of group 40's entry.
    const long size = kTableAt + 4 * 40 + 2;
    om::RomImage image(size);
    image.putTitle();
    for (int g = 0; g <= 40; ++g)
        image.putEntry(g, static_cast<std::uint8_t>(g + 1), 0, 0xF0, 2);
    omtest::TempRom rom(image);

    const Run r = RunCli({"dump", rom.qpath()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QByteArray());
    const QList<QByteArray> lines = Lines(r.out);
    QCOMPARE(lines.size(), 486);
    for (int g = 0; g < 485; ++g) {
        const QList<QByteArray> f = CsvFields(lines[g + 1]);
        QCOMPARE(f.size(), 7);
        QByteArray values = f[2] + "," + f[3] + "," + f[4] + "," + f[5];
        if (g < 40)
            QCOMPARE(values, QByteArray::number(g + 1) + ",0,240,2");
        else if (g == 40)
            QCOMPARE(values, QByteArray("41,0,-1,-1"));
        else
            QCOMPARE(values, QByteArray("-1,-1,-1,-1"));
    }
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
    QCOMPARE(CsvFields(lines[301]).value(6).toStdString(), std::string(om::GroupTemplateTable[300]));
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

void TestCli::errors_data() {
    QTest::addColumn<QStringList>("args");
    const QString missing = dir_.filePath("no-such.smc");
    const QString folder = dir_.path();
    QTest::newRow("info, missing file") << QStringList{"info", missing};
    QTest::newRow("dump, missing file") << QStringList{"dump", missing};
    QTest::newRow("info, directory") << QStringList{"info", folder};
    QTest::newRow("dump, directory") << QStringList{"dump", folder};
    QTest::newRow("make-demo-rom, missing folder")
        << QStringList{"make-demo-rom", dir_.filePath("no-such-folder/demo.smc")};
    QTest::newRow("make-demo-rom, directory") << QStringList{"make-demo-rom", folder};
    QTest::newRow("unknown command") << QStringList{"edit", missing};
    QTest::newRow("no arguments") << QStringList{};
    QTest::newRow("info, no file") << QStringList{"info"};
    QTest::newRow("dump, two files") << QStringList{"dump", missing, missing};
    QTest::newRow("make-demo-rom, no file") << QStringList{"make-demo-rom"};
}

void TestCli::errors() {
    QFETCH(QStringList, args);
    const Run r = RunCli(args);
    QVERIFY(r.exitCode > 0);
    QVERIFY2(ExactlyOneLine(r.err), r.err.constData());
    QCOMPARE(r.out, QByteArray());
    QVERIFY(!QFile::exists(dir_.filePath("no-such.smc")));
}

void TestCli::readOnlyFileStaysUntouched() {
    const om::RomImage image = omtest::MakeTestImage();
    omtest::TempRom rom(image, "locked.smc");
    // A modification time well in the past, so that any write would show.
    const QByteArray path = QFile::encodeName(rom.qpath());
    const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    QCOMPARE(utimensat(AT_FDCWD, path.constData(), past, 0), 0);
    QCOMPARE(chmod(path.constData(), 0444), 0);

    for (const char* command : {"info", "dump"}) {
        const Run r = RunCli({command, rom.qpath()});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());
        QVERIFY(!r.out.isEmpty());
    }
    QVERIFY(rom.bytes() == image.bytes());
    const struct timespec after = ModificationTime(rom.qpath());
    QCOMPARE(after.tv_sec, time_t(1000000000));
    QCOMPARE(after.tv_nsec, 0L);
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
