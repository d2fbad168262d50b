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

QByteArray Qba(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

bool WriteBytes(const QString& path, const Bytes& bytes) { return omtest::WriteText(path, Qba(bytes)); }

}  // namespace

class TestCliPatch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(!qgetenv("OM_CLI").isEmpty(), "OM_CLI is not set");
    }

    // make-patch then apply-patch give the modified image back byte for
    // byte, in the format the patch's name or --format asks for, and pass on
    // the notes of the copier-header convention (its cases are in test_patch).
    void roundTrip_data() {
        QTest::addColumn<bool>("headered");
        QTest::addColumn<bool>("headerChanged");
        QTest::addColumn<QStringList>("options");  // then the patch's name
        QTest::addColumn<QByteArray>("magic");
        const QByteArray bps("BPS1"), ips("PATCH");
        QTest::newRow("header, .bps") << true << false << QStringList{"edit.bps"} << bps;
        QTest::newRow("header changed, .bps") << true << true << QStringList{"edit.bps"} << bps;
        QTest::newRow("header changed, .IPS") << true << true << QStringList{"edit.IPS"} << ips;
        QTest::newRow("headerless, .Bps") << false << false << QStringList{"edit.Bps"} << bps;
        QTest::newRow("headerless, .ips") << false << false << QStringList{"edit.ips"} << ips;
        QTest::newRow("--format bps, any name")
            << true << false << QStringList{"--format", "bps", "edit.patch"} << bps;
        QTest::newRow("--format IPS over .bps")
            << false << false << QStringList{"--format=IPS", "edit.bps"} << ips;
    }

    void roundTrip() {
        QFETCH(bool, headered);
        QFETCH(bool, headerChanged);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, magic);
        const om::RomImage original = omtest::TestImage(headered);
        const long table = headered ? 776862 : 776350;
        om::RomImage modified = original;
        modified.put(table, 0x42);
        modified.put(table + 4 * 240 + 1, 0x07);
        modified.put(table + 1939, 0xEE);
        if (headerChanged)
            modified.put(0x100, 0x01);
        omtest::TempRom a(original, "original.smc");
        omtest::TempRom b(modified, "modified.smc");
        const QString patch = a.dir() + "/" + options.takeLast();
        const QString result = a.dir() + "/result.smc";

        // A BPS patch of headered images is made behind the header, unless
        // the edit changed the header.
        const bool bps = magic == "BPS1", wholeFile = bps && headerChanged;
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
        const QByteArray patchBytes = Qba(FileBytes(patch));
        QVERIFY(patchBytes.startsWith(magic));
        QVERIFY(patchBytes.size() < 4000);  // a small edit makes a small patch

        const CliRun applied = RunCli({"apply-patch", a.qpath(), patch, result});
        QCOMPARE(applied.err.contains("note: this BPS patch was made from a whole image"), wholeFile);
        QCOMPARE(applied.err.isEmpty(), !wholeFile);
        QCOMPARE(applied.exitCode, 0);
        QCOMPARE(applied.out, "wrote " + result.toUtf8() + " (" +
                                  QByteArray(headered ? "3146240" : "3145728") + " bytes)\n");
        QVERIFY(FileBytes(result) == modified.bytes());
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
        const auto row = [](const char* name, const QStringList& args, const char* says) {
            QTest::newRow(name) << args << QByteArray(says);
        };
        // What the patch reader refuses is in test_patch; here, that the
        // refusal reaches the user and nothing is written.
        row("BPS for another image", {"apply-patch", "OTHER", "edit.bps", "KEPT"},
            "for another image|nothing written");
        row("apply-patch over the patch", {"apply-patch", "ORIG", "edit.bps", "edit.bps"},
            "' is the same file as 'edit.bps'");
        row("apply-patch over a link to the ROM", {"apply-patch", "ORIG", "edit.bps", "LINK_ORIG"},
            "' is the same file as 'ORIG'");
        row("make-patch over the modified image", {"make-patch", "--format=bps", "ORIG", "MOD", "LINK_MOD"},
            "' is the same file as 'MOD'");
        // OUT's name tells no format: --format does.
        row("nothing to patch", {"make-patch", "--format=bps", "ORIG", "COPY", "OUT"},
            "are the same; no patch written");
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
