// The companion's patch commands, make-patch and apply-patch, run as a
// separate process on images the tests write: round trips byte for byte,
// and every refusal leaves the output as it was.
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <vector>

#include "CliRun.h"
#include "TestImages.h"
#include "romdata/RomImage.h"

namespace {

using omtest::CliRun;
using omtest::RunCli;
using Bytes = std::vector<std::uint8_t>;

Bytes FileBytes(const QString& path) { return omtest::ReadFileBytes(path.toStdString()); }

bool WriteBytes(const QString& path, const Bytes& bytes) {
    QFile f(path);
    const qint64 n = qint64(bytes.size());
    return f.open(QIODevice::WriteOnly) &&
           f.write(reinterpret_cast<const char*>(bytes.data()), n) == n;
}

}  // namespace

class TestCliPatch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void bpsForAnotherImageRefused();
    void brokenPatchesRefused_data();
    void brokenPatchesRefused();
    void outputIsAnInput_data();
    void outputIsAnInput();
    void nothingToPatch();

private:
    QTemporaryDir dir_;
};

void TestCliPatch::initTestCase() {
    QVERIFY2(!qgetenv("OM_CLI").isEmpty(), "OM_CLI is not set");
    QVERIFY(dir_.isValid());
}

void TestCliPatch::roundTrip_data() {
    QTest::addColumn<bool>("headered");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("magic");
    for (const bool headered : {true, false}) {
        for (const char* edit : {"one byte", "scattered", "whole table"}) {
            const QByteArray name = QByteArray(headered ? "header, " : "headerless, ") + edit;
            QTest::newRow(name + ", .bps")
                << headered << QString(edit) << "edit.bps" << QStringList{} << QByteArray("BPS1");
            QTest::newRow(name + ", .IPS")
                << headered << QString(edit) << "edit.IPS" << QStringList{} << QByteArray("PATCH");
        }
    }
    QTest::newRow("--format bps, any name")
        << true << "scattered"
        << "edit.patch" << QStringList{"--format", "bps"} << QByteArray("BPS1");
    QTest::newRow("--format IPS over .bps")
        << false << "scattered"
        << "edit.bps" << QStringList{"--format=IPS"} << QByteArray("PATCH");
}

void TestCliPatch::roundTrip() {
    QFETCH(bool, headered);
    QFETCH(QString, edit);
    QFETCH(QString, out);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, magic);
    const om::RomImage original = omtest::TestImage(headered);
    const long table = headered ? 776862 : 776350;
    om::RomImage modified = original;
    if (edit == "one byte") {
        modified.put(table + 4 * 17 + 2, 0x99);
    } else if (edit == "scattered") {
        modified.put(table, 0x42);
        modified.put(table + 4 * 240 + 1, 0x07);
        modified.put(table + 1939, 0xEE);
        modified.put(0x100, 0x01);  // outside the table too
    } else {
        for (long i = 0; i < 1940; ++i)
            modified.put(table + i, static_cast<std::uint8_t>(i * 31 + 5));
    }
    QVERIFY(modified.bytes() != original.bytes());
    omtest::TempRom a(original, "original.smc");
    omtest::TempRom b(modified, "modified.smc");
    const QString patch = a.dir() + "/" + out;
    const QString result = a.dir() + "/result.smc";

    const CliRun made =
        RunCli(QStringList{"make-patch"} + options + QStringList{a.qpath(), b.qpath(), patch});
    QCOMPARE(made.err, QByteArray());
    QCOMPARE(made.exitCode, 0);
    const QRegularExpression said("^wrote " + QRegularExpression::escape(patch) + " \\(" +
                                  (magic == "BPS1" ? "BPS" : "IPS") + " patch, [0-9]+ bytes\\)\n$");
    QVERIFY2(said.match(QString::fromUtf8(made.out)).hasMatch(), made.out.constData());
    const Bytes patchBytes = FileBytes(patch);
    QVERIFY(
        QByteArray(reinterpret_cast<const char*>(patchBytes.data()), qsizetype(patchBytes.size()))
            .startsWith(magic));
    // A small edit makes a small patch.
    QVERIFY(patchBytes.size() < 4000);

    const CliRun applied = RunCli({"apply-patch", a.qpath(), patch, result});
    QCOMPARE(applied.err, QByteArray());
    QCOMPARE(applied.exitCode, 0);
    QCOMPARE(applied.out, "wrote " + result.toUtf8() + " (" +
                              QByteArray(headered ? "3146240" : "3145728") + " bytes)\n");
    QVERIFY(FileBytes(result) == modified.bytes());
    // The inputs are as they were.
    QVERIFY(a.bytes() == original.bytes());
    QVERIFY(b.bytes() == modified.bytes());
}

void TestCliPatch::bpsForAnotherImageRefused() {
    const om::RomImage original = omtest::TestImage(true);
    om::RomImage modified = original;
    modified.putEntry(9, 1, 2, 3, 4);
    om::RomImage other = original;
    other.putEntry(400, 0, 0, 0, 0);  // same size, another table
    omtest::TempRom a(original, "original.smc");
    omtest::TempRom b(modified, "modified.smc");
    omtest::TempRom c(other, "other.smc");
    const QString patch = a.dir() + "/edit.bps";
    QCOMPARE(RunCli({"make-patch", a.qpath(), b.qpath(), patch}).exitCode, 0);

    const QString result = a.dir() + "/result.smc";
    const Bytes before = {'k', 'e', 'p', 't'};
    QVERIFY(WriteBytes(result, before));
    const CliRun r = RunCli({"apply-patch", c.qpath(), patch, result});
    OM_CHECK_REFUSED(r, 1, "for another image");
    QVERIFY2(r.err.contains("nothing written"), r.err.constData());
    QVERIFY(FileBytes(result) == before);
    QVERIFY(c.bytes() == other.bytes());
}

void TestCliPatch::brokenPatchesRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("cut");   // bytes cut off the end
    QTest::addColumn<int>("flip");  // offset from the start of a byte to change, or -1
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("BPS, last byte cut") << "edit.bps" << 1 << -1 << QByteArray("BPS patch");
    QTest::newRow("BPS, half cut") << "edit.bps" << 20 << -1 << QByteArray("BPS patch");
    QTest::newRow("BPS, damaged") << "edit.bps" << 0 << 14
                                  << QByteArray(
                                         "the patch is damaged: its own CRC32 does not match");
    QTest::newRow("IPS, end marker cut") << "edit.ips" << 3 << -1 << QByteArray("IPS patch");
    QTest::newRow("IPS, record cut") << "edit.ips" << 5 << -1 << QByteArray("IPS patch");
    QTest::newRow("not a patch") << "edit.ips" << 0 << 0 << QByteArray("not a patch");
}

void TestCliPatch::brokenPatchesRefused() {
    QFETCH(QString, name);
    QFETCH(int, cut);
    QFETCH(int, flip);
    QFETCH(QByteArray, says);
    const om::RomImage original = omtest::TestImage(false);
    om::RomImage modified = original;
    modified.putEntry(0, 1, 2, 3, 4);
    modified.putEntry(484, 5, 6, 7, 8);
    omtest::TempRom a(original, "original.sfc");
    omtest::TempRom b(modified, "modified.sfc");
    const QString patch = a.dir() + "/" + name;
    QCOMPARE(RunCli({"make-patch", a.qpath(), b.qpath(), patch}).exitCode, 0);
    Bytes bytes = FileBytes(patch);
    QVERIFY(bytes.size() > 24);
    bytes.resize(bytes.size() - static_cast<std::size_t>(cut));
    if (flip >= 0)
        bytes[static_cast<std::size_t>(flip)] ^= 0x01;
    QVERIFY(WriteBytes(patch, bytes));

    const QString result = a.dir() + "/result.sfc";
    OM_CHECK_REFUSED(RunCli({"apply-patch", a.qpath(), patch, result}), 1, says);
    QVERIFY(!QFile::exists(result));
    // No temporary file left behind either: the image and the patch only.
    QCOMPARE(QDir(a.dir()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestCliPatch::outputIsAnInput_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("outIs");  // which argument OUT repeats
    QTest::addColumn<bool>("link");  // through a hard link
    QTest::newRow("apply-patch over the ROM") << "apply-patch" << 0 << false;
    QTest::newRow("apply-patch over the patch") << "apply-patch" << 1 << false;
    QTest::newRow("apply-patch over a link to the ROM") << "apply-patch" << 0 << true;
    QTest::newRow("make-patch over the original") << "make-patch" << 0 << false;
    QTest::newRow("make-patch over the modified image") << "make-patch" << 1 << true;
}

void TestCliPatch::outputIsAnInput() {
    QFETCH(QString, command);
    QFETCH(int, outIs);
    QFETCH(bool, link);
    const om::RomImage original = omtest::TestImage(true);
    om::RomImage modified = original;
    modified.putEntry(1, 9, 9, 9, 9);
    omtest::TempRom a(original, "original.smc");
    omtest::TempRom b(modified, "modified.smc");
    const QString patch = a.dir() + "/edit.bps";
    QCOMPARE(RunCli({"make-patch", a.qpath(), b.qpath(), patch}).exitCode, 0);
    const Bytes patchBytes = FileBytes(patch);

    // OUT's name tells no format: --format does.
    QStringList args = command == "apply-patch" ? QStringList{a.qpath(), patch}
                                                : QStringList{"--format=bps", a.qpath(), b.qpath()};
    const qsizetype first = command == "apply-patch" ? 0 : 1;
    QString out = args[first + outIs];
    if (link) {
        out = a.dir() + "/link.smc";
        QCOMPARE(::link(QFile::encodeName(args[first + outIs]).constData(),
                        QFile::encodeName(out).constData()),
                 0);
    }
    OM_CHECK_REFUSED(RunCli(QStringList{command} + args + QStringList{out}), 1,
                     "' is the same file as '" + args[first + outIs].toUtf8() + "'");
    QVERIFY(a.bytes() == original.bytes());
    QVERIFY(b.bytes() == modified.bytes());
    QVERIFY(FileBytes(patch) == patchBytes);
}

void TestCliPatch::nothingToPatch() {
    omtest::TempRom a(omtest::TestImage(true), "original.smc");
    omtest::TempRom b(omtest::TestImage(true), "copy.smc");
    const QString patch = a.dir() + "/edit.bps";
    OM_CHECK_REFUSED(RunCli({"make-patch", a.qpath(), b.qpath(), patch}), 1,
                     "are the same; no patch written");
    QVERIFY(!QFile::exists(patch));
}

QTEST_GUILESS_MAIN(TestCliPatch)
#include "test_cli_patch.moc"
