// The companion's patch commands, make-patch and apply-patch, run as a
// separate process on images the tests write: round trips byte for byte,
// and every refusal leaves the output as it was.
#include <unistd.h>

#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <map>
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
    void initTestCase() {
        QVERIFY2(!qgetenv("OM_CLI").isEmpty(), "OM_CLI is not set");
    }

    void roundTrip_data() {
        QTest::addColumn<bool>("headered");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("magic");
        for (const bool headered : {true, false}) {
            for (const char* edit : {"scattered", "whole table"}) {
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

    void roundTrip() {
        QFETCH(bool, headered);
        QFETCH(QString, edit);
        QFETCH(QString, out);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, magic);
        const om::RomImage original = omtest::TestImage(headered);
        const long table = headered ? 776862 : 776350;
        om::RomImage modified = original;
        if (edit == "scattered") {
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

        // A BPS patch of headered images is made behind the header, unless the
        // edit changed the header (the scattered one does, at 0x100).
        const bool bps = magic == "BPS1", wholeFile = bps && headered && edit == "scattered";
        const CliRun made =
            RunCli(QStringList{"make-patch"} + options + QStringList{a.qpath(), b.qpath(), patch});
        QCOMPARE(made.err, wholeFile ? QByteArray("ombattleanim-cli: note: the copier headers of the two "
                                                  "images differ, so the patch is made against the "
                                                  "whole files and applies only to images with this "
                                                  "header\n")
                                     : QByteArray());
        QCOMPARE(made.exitCode, 0);
        const QRegularExpression said("^wrote " + QRegularExpression::escape(patch) + " \\(" +
                                      (bps ? "BPS" : "IPS") + " patch, [0-9]+ bytes\\)\n$");
        QVERIFY2(said.match(QString::fromUtf8(made.out)).hasMatch(), made.out.constData());
        const Bytes patchBytes = FileBytes(patch);
        QVERIFY(
            QByteArray(reinterpret_cast<const char*>(patchBytes.data()), qsizetype(patchBytes.size()))
                .startsWith(magic));
        // A small edit makes a small patch.
        QVERIFY(patchBytes.size() < 4000);

        const CliRun applied = RunCli({"apply-patch", a.qpath(), patch, result});
        QCOMPARE(applied.err.contains("note: this BPS patch was made from a whole image"), wholeFile);
        QCOMPARE(applied.err.isEmpty(), !wholeFile);
        QCOMPARE(applied.exitCode, 0);
        QCOMPARE(applied.out, "wrote " + result.toUtf8() + " (" +
                                  QByteArray(headered ? "3146240" : "3145728") + " bytes)\n");
        QVERIFY(FileBytes(result) == modified.bytes());
        // The same patch serves the image without its header.
        if (bps && headered && !wholeFile) {
            omtest::TempRom bare(omtest::WithoutHeader(original), "bare.sfc");
            QCOMPARE(RunCli({"apply-patch", bare.qpath(), patch, result}).exitCode, 0);
            QVERIFY(FileBytes(result) == omtest::WithoutHeader(modified).bytes());
        }
        // The inputs are as they were.
        QVERIFY(a.bytes() == original.bytes());
        QVERIFY(b.bytes() == modified.bytes());
    }

    void refusals_data() {
        // The command line, with the names of the files refusals() makes: ORIG,
        // MOD (two groups changed), COPY (of ORIG), OTHER (of the same size,
        // another table), edit.bps (from ORIG to MOD), KEPT (an
        // existing output), OUT (no such file yet), LINK_ORIG and LINK_MOD (hard
        // links). The same names in says are paths; '|' separates its parts.
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("says");
        // What the patch reader refuses is in test_patch; here, that the
        // refusal reaches the user and nothing is written.
        QTest::newRow("BPS for another image")
            << QStringList{"apply-patch", "OTHER", "edit.bps", "KEPT"}
            << QByteArray("for another image|nothing written");
        // OUT's name tells no format: --format does.
        QTest::newRow("apply-patch over the patch")
            << QStringList{"apply-patch", "ORIG", "edit.bps", "edit.bps"}
            << QByteArray("' is the same file as 'edit.bps'");
        QTest::newRow("apply-patch over a link to the ROM")
            << QStringList{"apply-patch", "ORIG", "edit.bps", "LINK_ORIG"}
            << QByteArray("' is the same file as 'ORIG'");
        QTest::newRow("make-patch over the modified image")
            << QStringList{"make-patch", "--format=bps", "ORIG", "MOD", "LINK_MOD"}
            << QByteArray("' is the same file as 'MOD'");
        QTest::newRow("nothing to patch")
            << QStringList{"make-patch", "--format=bps", "ORIG", "COPY", "OUT"}
            << QByteArray("are the same; no patch written");
    }

    // Every refusal says so on one line, and leaves every file as it was, with
    // no output and no temporary file.
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, says);
        QTemporaryDir dir;
        const auto path = [&](const QString& name) { return dir.filePath(name); };
        const om::RomImage original = omtest::TestImage(false);
        om::RomImage modified = original;
        modified.putEntry(0, 1, 2, 3, 4);
        modified.putEntry(484, 5, 6, 7, 8);
        om::RomImage other = original;
        other.putEntry(400, 0, 0, 0, 0);
        QVERIFY(WriteBytes(path("ORIG"), original.bytes()));
        QVERIFY(WriteBytes(path("MOD"), modified.bytes()));
        QVERIFY(WriteBytes(path("COPY"), original.bytes()));
        QVERIFY(WriteBytes(path("OTHER"), other.bytes()));
        QVERIFY(WriteBytes(path("KEPT"), {'k', 'e', 'p', 't'}));
        QCOMPARE(RunCli({"make-patch", path("ORIG"), path("MOD"), path("edit.bps")}).exitCode, 0);
        for (const char* target : {"ORIG", "MOD"})
            if (args.contains(QString("LINK_") + target))
                QCOMPARE(::link(QFile::encodeName(path(target)).constData(),
                                QFile::encodeName(path(QString("LINK_") + target)).constData()),
                         0);
        const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        std::map<QString, Bytes> before;
        for (const QString& name : names)
            before[name] = FileBytes(path(name));
        for (QString& arg : args)
            if (!arg.startsWith("-") && arg != args[0])
                arg = path(arg);
        for (const QString& name : names)
            says.replace("'" + name.toUtf8() + "'", "'" + path(name).toUtf8() + "'");

        const CliRun r = RunCli(args);
        for (const QByteArray& part : says.split('|'))
            OM_CHECK_REFUSED(r, 1, part);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), names);
        for (const QString& name : names)
            QVERIFY2(FileBytes(path(name)) == before[name], qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestCliPatch)
#include "test_cli_patch.moc"
