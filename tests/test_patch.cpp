// IPS and BPS patches against byte strings written out by hand, round trips
// over whole test images, patches built to do harm, and the file helpers.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdint>
#include <string>

#include "TestImages.h"
#include "patch/BpsNumber.h"
#include "patch/Patch.h"
#include "patch/PatchFile.h"
#include "romdata/RomImage.h"
#include "romdata/RomProbe.h"

using om::ByteSpan;
using om::ByteVector;

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

ByteSpan Span(const QByteArray& a) {
    return {reinterpret_cast<const std::uint8_t*>(a.constData()), std::size_t(a.size())};
}

QByteArray Qba(const ByteVector& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

void PutLe32(QByteArray& out, uLong value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xff));
}

uLong ZlibCrc(const QByteArray& a) {
    return crc32_z(0, reinterpret_cast<const Bytef*>(a.constData()), std::size_t(a.size()));
}

// A BPS patch's body followed by the three checksums, computed here with zlib.
QByteArray Seal(QByteArray body, const QByteArray& source, const QByteArray& target) {
    PutLe32(body, ZlibCrc(source));
    PutLe32(body, ZlibCrc(target));
    PutLe32(body, ZlibCrc(body));
    return body;
}

void PutBe(QByteArray& out, long value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xff));
}

// The image every round trip starts from: title and a table entry g of
// (g, g >> 8, 255 - g % 256, 1), in 3 MiB after the layout's header.
ByteVector TableImage(const om::RomLayout& layout) {
    om::RomImage image(layout.headerSize + 3L * 1024 * 1024, layout);
    image.putTitle();
    for (int g = 0; g < 485; ++g)
        image.putEntry(g, std::uint8_t(g), std::uint8_t(g >> 8), std::uint8_t(255 - g % 256), 1);
    return image.bytes();
}

const ByteVector kUntouched{0xDE, 0xAD};

enum class Edit { OneByte, Scattered, WholeTable };

ByteVector Edited(const ByteVector& source, long tableAt, Edit edit) {
    ByteVector target = source;
    switch (edit) {
    case Edit::OneByte:
        target[std::size_t(tableAt)] = 0x77;
        break;
    case Edit::Scattered:
        for (int g : {0, 100, 484})
            target[std::size_t(tableAt + 4 * g + 2)] ^= 0x5A;
        break;
    case Edit::WholeTable:
        for (long i = 0; i < 1940; ++i)
            target[std::size_t(tableAt + i)] ^= 0xA5;
        break;
    }
    return target;
}

constexpr int kFailedNamingPath = 0, kWritten = 1, kFailedSilently = 2, kCannotDropRoot = 3;

// Runs WriteFileAtomically in a child process as user and group 65534.
int WriteAsNobody(const std::string& path, const QByteArray& bytes) {
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(kCannotDropRoot);
        std::string error;
        if (om::WriteFileAtomically(path, Span(bytes), error))
            _exit(kWritten);
        _exit(error.find(path) != std::string::npos ? kFailedNamingPath : kFailedSilently);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return kFailedSilently;
    return WEXITSTATUS(status);
}

}  // namespace

class TestPatch : public QObject {
    Q_OBJECT

private slots:
    // --- BPS numbers -------------------------------------------------------
    void bpsNumber_data() {
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QByteArray>("encoded");
        QTest::newRow("0") << quint64(0) << Hex("80");
        QTest::newRow("1") << quint64(1) << Hex("81");
        QTest::newRow("127") << quint64(127) << Hex("ff");
        QTest::newRow("128") << quint64(128) << Hex("00 80");
        QTest::newRow("129") << quint64(129) << Hex("01 80");
        QTest::newRow("16511") << quint64(16511) << Hex("7f ff");
        QTest::newRow("16512") << quint64(16512) << Hex("00 00 80");
        QTest::newRow("2113663") << quint64(2113663) << Hex("7f 7f ff");
        QTest::newRow("2113664") << quint64(2113664) << Hex("00 00 00 80");
        QTest::newRow("2^63") << quint64(9223372036854775808ull)
                              << Hex("00 7f 7e 7e 7e 7e 7e 7e fe");
        QTest::newRow("2^64-1") << quint64(18446744073709551615ull)
                                << Hex("7f 7e 7e 7e 7e 7e 7e 7e 7e 80");
    }
    void bpsNumber() {
        QFETCH(quint64, value);
        QFETCH(QByteArray, encoded);
        ByteVector out{0x11};
        om::AppendBpsNumber(out, value);
        QCOMPARE(Qba(out), QByteArray(1, 0x11) + encoded);

        // Read back from the middle of other bytes: exactly its own bytes are used.
        const QByteArray around = Hex("99") + encoded + Hex("42");
        std::size_t pos = 1;
        std::uint64_t read = 0;
        QCOMPARE(om::ReadBpsNumber(Span(around), pos, read), om::BpsNumberRead::Ok);
        QCOMPARE(read, value);
        QCOMPARE(pos, std::size_t(1 + encoded.size()));
    }

    void bpsNumberRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        const int early = int(om::BpsNumberRead::EndsEarly), large = int(om::BpsNumberRead::TooLarge);
        QTest::newRow("nothing") << QByteArray() << early;
        QTest::newRow("no last byte") << Hex("00 7f") << early;
        QTest::newRow("2^64") << Hex("00 7f 7e 7e 7e 7e 7e 7e 7e 80") << large;
        QTest::newRow("2^64-1 with a larger top digit") << Hex("7f 7e 7e 7e 7e 7e 7e 7e 7e 81")
                                                        << large;
        QTest::newRow("eleven bytes") << Hex("00 00 00 00 00 00 00 00 00 00 80") << large;
        QTest::newRow("endless zeros") << QByteArray(64, 0) << large;
    }
    void bpsNumberRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        std::size_t pos = 0;
        std::uint64_t value = 12345;
        QCOMPARE(int(om::ReadBpsNumber(Span(bytes), pos, value)), result);
        QCOMPARE(pos, std::size_t(0));
        QCOMPARE(value, std::uint64_t(12345));
    }

    // --- Telling formats apart ---------------------------------------------
    void formatForPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("format");  // -1: none
        QTest::newRow("ips") << "hack.ips" << int(om::PatchFormat::Ips);
        QTest::newRow("IPS") << "/tmp/HACK.IPS" << int(om::PatchFormat::Ips);
        QTest::newRow("Ips") << "a.b.Ips" << int(om::PatchFormat::Ips);
        QTest::newRow("bps") << "fix.bps" << int(om::PatchFormat::Bps);
        QTest::newRow("bPs") << "dir/fix.bPs" << int(om::PatchFormat::Bps);
        QTest::newRow("no dot") << "fixbps" << -1;
        QTest::newRow("ips then more") << "fix.ips.txt" << -1;
        QTest::newRow("folder named .ips") << "x.ips/patch" << -1;
        QTest::newRow("smc") << "game.smc" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void formatForPath() {
        QFETCH(QString, path);
        QFETCH(int, format);
        const auto got = om::PatchFormatForPath(path.toStdString());
        QCOMPARE(got ? int(*got) : -1, format);
    }

    void formatOf_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("format");
        QTest::newRow("PATCH") << QByteArray("PATCHEOF") << int(om::PatchFormat::Ips);
        QTest::newRow("BPS1") << QByteArray("BPS1\x80") << int(om::PatchFormat::Bps);
        QTest::newRow("PATC") << QByteArray("PATC") << -1;
        QTest::newRow("BPS") << QByteArray("BPS") << -1;
        QTest::newRow("patch") << QByteArray("patchEOF") << -1;
        QTest::newRow("UPS1") << QByteArray("UPS1....") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
    }
    void formatOf() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, format);
        const auto got = om::PatchFormatOf(Span(bytes));
        QCOMPARE(got ? int(*got) : -1, format);
    }

    void crc32() {
        QCOMPARE(om::Crc32(Span(QByteArray("123456789"))), 0xCBF43926u);
        QCOMPARE(om::Crc32(Span(QByteArray())), 0u);
        QCOMPARE(om::Crc32(Span(QByteArray("ABCD"))), 0xDB1720A5u);
    }

    void unknownFormatRefused() {
        ByteVector target = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyPatch(Span(QByteArray("ABCD")), Span(QByteArray("UPS1xxxxxxxx")),
                                target, error));
        QVERIFY(QString::fromStdString(error).contains("PATCH"));
        QCOMPARE(target, kUntouched);
        QVERIFY(!om::ApplyIpsPatch({}, Span(QByteArray("BPS1")), target, error));
        QVERIFY(!om::ApplyBpsPatch({}, Span(QByteArray("PATCHEOF")), target, error));
        QCOMPARE(target, kUntouched);
    }

    // --- IPS, written -------------------------------------------------------
    void ipsWritten_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("patch");
        const QByteArray z10(10, 0);
        QTest::newRow("same") << QByteArray("ABCD") << QByteArray("ABCD") << QByteArray("PATCHEOF");
        QTest::newRow("both empty") << QByteArray() << QByteArray() << QByteArray("PATCHEOF");
        QTest::newRow("one byte") << Hex("00 00 00 00") << Hex("00 ab 00 00")
                                  << QByteArray("PATCH") + Hex("000001 0001 ab") + "EOF";
        QTest::newRow("first byte") << Hex("00 00") << Hex("ab 00")
                                    << QByteArray("PATCH") + Hex("000000 0001 ab") + "EOF";
        QTest::newRow("last byte") << Hex("00 00") << Hex("00 ab")
                                   << QByteArray("PATCH") + Hex("000001 0001 ab") + "EOF";
        // An unchanged gap shorter than a record header joins two changes.
        QTest::newRow("gap of 4 joined")
            << z10 << Hex("00 ab 00 00 00 00 cd 00 00 00")
            << QByteArray("PATCH") + Hex("000001 0006 ab 00 00 00 00 cd") + "EOF";
        QTest::newRow("gap of 5 split")
            << z10 << Hex("00 ab 00 00 00 00 00 cd 00 00")
            << QByteArray("PATCH") + Hex("000001 0001 ab 000007 0001 cd") + "EOF";
        // Repeated bytes: a run record costs 8 bytes.
        QTest::newRow("run of 4 alone")
            << z10 << Hex("00 00 ee ee ee ee 00 00 00 00")
            << QByteArray("PATCH") + Hex("000002 0000 0004 ee") + "EOF";
        QTest::newRow("run of 3 alone")
            << z10 << Hex("00 00 ee ee ee 00 00 00 00 00")
            << QByteArray("PATCH") + Hex("000002 0003 ee ee ee") + "EOF";
        QTest::newRow("run of 9 then literal")
            << QByteArray(12, 0) << Hex("ee ee ee ee ee ee ee ee ee 01 02 00")
            << QByteArray("PATCH") + Hex("000000 0000 0009 ee 000009 0002 01 02") + "EOF";
        QTest::newRow("run of 8 then literal")
            << QByteArray(12, 0) << Hex("ee ee ee ee ee ee ee ee 01 02 00 00")
            << QByteArray("PATCH") + Hex("000000 000a ee ee ee ee ee ee ee ee 01 02") + "EOF";
        QTest::newRow("literal then run of 9")
            << QByteArray(12, 0) << Hex("01 02 ee ee ee ee ee ee ee ee ee 00")
            << QByteArray("PATCH") + Hex("000000 0002 01 02 000002 0000 0009 ee") + "EOF";
        QTest::newRow("run of 14 inside literal")
            << QByteArray(18, 0) << Hex("01 02" "ee ee ee ee ee ee ee ee ee ee ee ee ee ee" "03 04")
            << QByteArray("PATCH") + Hex("000000 0002 01 02 000002 0000 000e ee 000010 0002 03 04") +
                   "EOF";
        QTest::newRow("run of 13 inside literal")
            << QByteArray(17, 0) << Hex("01 02" "ee ee ee ee ee ee ee ee ee ee ee ee ee" "03 04")
            << QByteArray("PATCH") +
                   Hex("000000 0011 01 02 ee ee ee ee ee ee ee ee ee ee ee ee ee 03 04") + "EOF";
        // Sizes: growth by records past the end, shrinking by the cut size.
        QTest::newRow("grows") << Hex("01 02") << Hex("01 02 03 04")
                               << QByteArray("PATCH") + Hex("000002 0002 03 04") + "EOF";
        QTest::newRow("grows by zeros") << Hex("01 02") << Hex("01 02 00 00")
                                        << QByteArray("PATCH") + Hex("000002 0002 00 00") + "EOF";
        QTest::newRow("grows from nothing") << QByteArray() << Hex("05 06")
                                            << QByteArray("PATCH") + Hex("000000 0002 05 06") + "EOF";
        QTest::newRow("shrinks") << Hex("01 02 03 04") << Hex("01 02")
                                 << QByteArray("PATCH") + "EOF" + Hex("000002");
        QTest::newRow("shrinks and changes")
            << Hex("01 02 03 04") << Hex("01 09 03")
            << QByteArray("PATCH") + Hex("000001 0001 09") + "EOF" + Hex("000003");
        QTest::newRow("shrinks to nothing") << Hex("01 02") << QByteArray()
                                            << QByteArray("PATCH") + "EOF" + Hex("000000");
    }
    void ipsWritten() {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, patch);
        ByteVector made;
        std::string error;
        QVERIFY(om::MakeIpsPatch(Span(source), Span(target), made, error));
        QCOMPARE(Qba(made), patch);
        ByteVector made2;
        QVERIFY(om::MakePatch(om::PatchFormat::Ips, Span(source), Span(target), made2, error));
        QCOMPARE(made2, made);

        ByteVector applied;
        QVERIFY2(om::ApplyIpsPatch(Span(source), Span(patch), applied, error), error.c_str());
        QCOMPARE(Qba(applied), target);
    }

    // --- IPS, read -----------------------------------------------------------
    void ipsApplied_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QByteArray>("target");
        const QByteArray src = Hex("10 11 12 13 14 15");
        QTest::newRow("nothing") << src << QByteArray("PATCHEOF") << src;
        QTest::newRow("two records") << src
                                     << QByteArray("PATCH") + Hex("000000 0001 a0 000004 0002 a4 a5") + "EOF"
                                     << Hex("a0 11 12 13 a4 a5");
        QTest::newRow("later record wins") << src
                                           << QByteArray("PATCH") + Hex("000001 0003 b1 b2 b3 000002 0001 c2") + "EOF"
                                           << Hex("10 b1 c2 b3 14 15");
        QTest::newRow("run record") << src << QByteArray("PATCH") + Hex("000001 0000 0003 ee") + "EOF"
                                    << Hex("10 ee ee ee 14 15");
        QTest::newRow("run record with a large count")
            << src << QByteArray("PATCH") + Hex("000004 0000 0100 ee") + "EOF"
            << Hex("10 11 12 13") + QByteArray(256, char(0xee));
        QTest::newRow("record past the end, gap of zeros")
            << src << QByteArray("PATCH") + Hex("000008 0002 f8 f9") + "EOF"
            << Hex("10 11 12 13 14 15 00 00 f8 f9");
        QTest::newRow("run past the end") << src << QByteArray("PATCH") + Hex("000005 0000 0002 ee") + "EOF"
                                          << Hex("10 11 12 13 14 ee ee");
        QTest::newRow("cut") << src << QByteArray("PATCH") + "EOF" + Hex("000004") << Hex("10 11 12 13");
        QTest::newRow("cut to the same size") << src << QByteArray("PATCH") + "EOF" + Hex("000006") << src;
        QTest::newRow("record then cut")
            << src << QByteArray("PATCH") + Hex("000005 0003 d5 d6 d7") + "EOF" + Hex("000007")
            << Hex("10 11 12 13 14 d5 d6");
        QTest::newRow("onto nothing") << QByteArray() << QByteArray("PATCH") + Hex("000000 0001 01") + "EOF"
                                      << Hex("01");
    }
    void ipsApplied() {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, patch);
        QFETCH(QByteArray, target);
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY2(om::ApplyIpsPatch(Span(source), Span(patch), out, error), error.c_str());
        QCOMPARE(Qba(out), target);
        out = kUntouched;
        QVERIFY2(om::ApplyPatch(Span(source), Span(patch), out, error), error.c_str());
        QCOMPARE(Qba(out), target);
    }

    // A record may not start at 0x454F46: its offset would read as "EOF".
    void ipsEndMarkerOffset_data() {
        QTest::addColumn<int>("changeAt");
        QTest::addColumn<QByteArray>("changed");
        QTest::addColumn<QByteArray>("records");
        QTest::newRow("one byte at 454F46")
            << 0x454F46 << Hex("ab") << Hex("454f45 0002 45 ab");
        QTest::newRow("one byte at 454F45") << 0x454F45 << Hex("ab") << Hex("454f45 0001 ab");
        QTest::newRow("one byte at 454F47") << 0x454F47 << Hex("ab") << Hex("454f47 0001 ab");
        QTest::newRow("run from 454F46")
            << 0x454F46 << QByteArray(20, char(0xee))
            << Hex("454f45 0002 45 ee 454f47 0000 0013 ee");
        // Changes at 0x454F46 and 0x454F49, joined across the two unchanged bytes.
        QTest::newRow("stretch from 454F46")
            << 0x454F46 << Hex("01 47 48 02") << Hex("454f45 0005 45 01 47 48 02");
    }
    void ipsEndMarkerOffset() {
        QFETCH(int, changeAt);
        QFETCH(QByteArray, changed);
        QFETCH(QByteArray, records);
        // Every byte is its offset's low byte: 0x454F45 holds 0x45.
        ByteVector source(0x454F80);
        for (std::size_t i = 0; i < source.size(); ++i)
            source[i] = std::uint8_t(i);
        ByteVector target = source;
        for (int i = 0; i < changed.size(); ++i)
            target[std::size_t(changeAt + i)] = std::uint8_t(changed[i]);

        ByteVector patch;
        std::string error;
        QVERIFY(om::MakeIpsPatch(source, target, patch, error));
        QCOMPARE(Qba(patch), QByteArray("PATCH") + records + "EOF");
        ByteVector applied;
        QVERIFY2(om::ApplyIpsPatch(source, patch, applied, error), error.c_str());
        QVERIFY(applied == target);
    }

    // Records hold at most 65,535 bytes; the next starts where one ends.
    void ipsSplit_data() {
        QTest::addColumn<bool>("repeated");
        QTest::addColumn<QByteArray>("headers");  // each record's offset and size, or run count
        QTest::newRow("literal 65545") << false << Hex("000010 ffff 01000f 000a");
        QTest::newRow("run 70000") << true << Hex("000010 0000 ffff 01000f 0000 1171");
    }
    void ipsSplit() {
        QFETCH(bool, repeated);
        QFETCH(QByteArray, headers);
        const std::size_t at = 0x10, n = repeated ? 70000 : 65545;
        ByteVector source(0x20000, 0);
        ByteVector target = source;
        for (std::size_t i = 0; i < n; ++i)
            target[at + i] = repeated ? 0xee : std::uint8_t(1 + i % 251);

        ByteVector patch;
        std::string error;
        QVERIFY(om::MakeIpsPatch(source, target, patch, error));
        QByteArray expected("PATCH");
        if (repeated) {
            expected += headers.mid(0, 7) + Hex("ee") + headers.mid(7, 7) + Hex("ee");
        } else {
            const QByteArray data = Qba(target).mid(qsizetype(at), qsizetype(n));
            expected += headers.mid(0, 5) + data.left(65535) + headers.mid(5, 5) + data.mid(65535);
        }
        expected += "EOF";
        QCOMPARE(Qba(patch), expected);
        ByteVector applied;
        QVERIFY(om::ApplyIpsPatch(source, patch, applied, error));
        QVERIFY(applied == target);
    }

    void ips16MiB() {
        const std::size_t limit = 0x1000000;
        ByteVector source(limit + 16, 0);
        ByteVector target = source;
        ByteVector patch = kUntouched;
        std::string error;

        target[limit - 1] = 0xab;  // the last byte an offset reaches
        QVERIFY(om::MakeIpsPatch(source, target, patch, error));
        QCOMPARE(Qba(patch), QByteArray("PATCH") + Hex("ffffff 0001 ab") + "EOF");

        target[limit] = 0xcd;
        patch = kUntouched;
        QVERIFY(!om::MakeIpsPatch(source, target, patch, error));
        QVERIFY2(QString::fromStdString(error).contains("16 MiB"), error.c_str());
        QCOMPARE(patch, kUntouched);

        // Cutting to a size of 16 MiB or more cannot be written either.
        target = source;
        target.resize(limit);
        QVERIFY(!om::MakeIpsPatch(source, target, patch, error));
        QVERIFY2(QString::fromStdString(error).contains("16 MiB"), error.c_str());
        target.resize(limit - 1);
        QVERIFY(om::MakeIpsPatch(source, target, patch, error));
        QCOMPARE(Qba(patch), QByteArray("PATCH") + "EOF" + Hex("ffffff"));
        QCOMPARE(patch.size(), std::size_t(11));
    }

    // --- BPS, written --------------------------------------------------------
    void bpsWritten_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("patch");
        QTest::newRow("one changed") << QByteArray("ABCD") << QByteArray("AXCD")
                                     << Hex("42505331 84 84 80 80 81 58 84 a5 20 17 db 03 06 a6 ca 45 f1 c9 d0");
        QTest::newRow("grows") << QByteArray("AB") << QByteArray("ABCD")
                               << Hex("42505331 82 84 80 84 85 43 44 07 4c 69 30 a5 20 17 db 82 8b 99 2f");
        QTest::newRow("shrinks") << QByteArray("ABCD") << QByteArray("AB")
                                 << Hex("42505331 84 82 80 84 a5 20 17 db 07 4c 69 30 d1 26 de 60");
        QTest::newRow("to nothing") << QByteArray("ABCD") << QByteArray()
                                    << Hex("42505331 84 80 80 a5 20 17 db 00 00 00 00 0e c0 e7 23");
        QTest::newRow("both empty") << QByteArray() << QByteArray()
                                    << Hex("42505331 80 80 80 00 00 00 00 00 00 00 00 93 1f d8 5e");
        QTest::newRow("same") << QByteArray("XYZ") << QByteArray("XYZ")
                              << Hex("42505331 83 83 80 88 ed f8 29 7d ed f8 29 7d a3 fe 3e 13");
    }
    void bpsWritten() {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, patch);
        ByteVector made;
        std::string error;
        QVERIFY(om::MakeBpsPatch(Span(source), Span(target), made, error));
        QCOMPARE(Qba(made), patch);
        ByteVector made2;
        QVERIFY(om::MakePatch(om::PatchFormat::Bps, Span(source), Span(target), made2, error));
        QCOMPARE(made2, made);
        ByteVector applied = kUntouched;
        QVERIFY2(om::ApplyBpsPatch(Span(source), Span(patch), applied, error), error.c_str());
        QCOMPARE(Qba(applied), target);
    }

    // The writer's source sizes put the number encoding through its edges.
    void bpsSizeEncoding_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("127") << 127 << Hex("42505331 ff ff 80");
        QTest::newRow("128") << 128 << Hex("42505331 0080 0080 80");
        QTest::newRow("16511") << 16511 << Hex("42505331 7fff 7fff 80");
        QTest::newRow("16512") << 16512 << Hex("42505331 000080 000080 80");
    }
    void bpsSizeEncoding() {
        QFETCH(int, size);
        QFETCH(QByteArray, header);
        const QByteArray same(size, 'q');
        ByteVector patch;
        std::string error;
        QVERIFY(om::MakeBpsPatch(Span(same), Span(same), patch, error));
        QCOMPARE(Qba(patch).left(header.size()), header);
        ByteVector applied;
        QVERIFY(om::ApplyBpsPatch(Span(same), patch, applied, error));
        QCOMPARE(Qba(applied), same);
    }

    // --- BPS, read: all four actions -----------------------------------------
    void bpsAllActions() {
        // SourceRead 2 "AB"; SourceCopy 3 from +5 "FGH"; SourceCopy 2 from -8 "AB";
        // TargetRead "z"; TargetCopy 4 from +7 "zzzz" (overlapping what it writes);
        // TargetCopy 2 from -9 "FG".
        const QByteArray source("ABCDEFGH");
        const QByteArray patch = Hex(
            "42505331 88 8e 80 84 8a 8a 86 91 81 7a 8f 8e 87 93"
            "1c b6 dc 68 3e 08 71 9d 47 57 cd df");
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY2(om::ApplyBpsPatch(Span(source), Span(patch), out, error), error.c_str());
        QCOMPARE(Qba(out), QByteArray("ABFGHABzzzzzFG"));
    }

    void bpsMetadataSkipped() {
        const QByteArray source("ABCD"), target("ABCD");
        const QByteArray patch = Seal(Hex("42505331 84 84 83") + "m:1" + Hex("8c"), source, target);
        ByteVector out;
        std::string error;
        QVERIFY2(om::ApplyBpsPatch(Span(source), Span(patch), out, error), error.c_str());
        QCOMPARE(Qba(out), target);
    }

    void bpsWrongSource_data() {
        QTest::addColumn<QByteArray>("other");
        QTest::addColumn<QString>("says");
        QTest::newRow("one byte different") << QByteArray("ABCE") << "CRC32 DB1720A5";
        QTest::newRow("longer") << QByteArray("ABCDE") << "expects 4 bytes, this image has 5";
        QTest::newRow("empty") << QByteArray() << "expects 4 bytes, this image has 0";
    }
    void bpsWrongSource() {
        QFETCH(QByteArray, other);
        QFETCH(QString, says);
        const QByteArray patch =
            Hex("42505331 84 84 80 80 81 58 84 a5 20 17 db 03 06 a6 ca 45 f1 c9 d0");
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyBpsPatch(Span(other), Span(patch), out, error));
        const QString text = QString::fromStdString(error);
        QVERIFY2(text.contains("another image") && text.contains(says), error.c_str());
        QCOMPARE(out, kUntouched);
    }

    // --- Round trips over whole images ---------------------------------------
    void imageRoundTrip_data() {
        QTest::addColumn<bool>("header");
        QTest::addColumn<int>("edit");
        QTest::addColumn<QList<int>>("recordAt");  // the IPS records' offsets
        QTest::addColumn<QList<int>>("recordSize");
        QTest::newRow("header, one byte")
            << true << int(Edit::OneByte) << QList<int>{0xBDA9E} << QList<int>{1};
        QTest::newRow("header, scattered") << true << int(Edit::Scattered)
                                           << QList<int>{0xBDAA0, 0xBDC30, 0xBE230}
                                           << QList<int>{1, 1, 1};
        QTest::newRow("header, whole table")
            << true << int(Edit::WholeTable) << QList<int>{0xBDA9E} << QList<int>{1940};
        QTest::newRow("no header, one byte")
            << false << int(Edit::OneByte) << QList<int>{0xBD89E} << QList<int>{1};
        QTest::newRow("no header, scattered") << false << int(Edit::Scattered)
                                              << QList<int>{0xBD8A0, 0xBDA30, 0xBE030}
                                              << QList<int>{1, 1, 1};
        QTest::newRow("no header, whole table")
            << false << int(Edit::WholeTable) << QList<int>{0xBD89E} << QList<int>{1940};
    }
    void imageRoundTrip() {
        QFETCH(bool, header);
        QFETCH(int, edit);
        QFETCH(QList<int>, recordAt);
        QFETCH(QList<int>, recordSize);
        const om::RomLayout layout = header ? om::kSmcLayout : om::kSfcLayout;
        const ByteVector source = TableImage(layout);
        QCOMPARE(source.size(), header ? std::size_t(3146240) : std::size_t(3145728));
        const ByteVector target = Edited(source, layout.entryOffset(0), Edit(edit));
        const QByteArray targetBytes = Qba(target);

        std::string error;
        ByteVector ips, bps;
        QVERIFY(om::MakeIpsPatch(source, target, ips, error));
        QByteArray expected("PATCH");
        for (int k = 0; k < recordAt.size(); ++k) {
            PutBe(expected, recordAt[k], 3);
            PutBe(expected, recordSize[k], 2);
            expected += targetBytes.mid(recordAt[k], recordSize[k]);
        }
        QCOMPARE(Qba(ips), expected + "EOF");

        QVERIFY(om::MakeBpsPatch(source, target, bps, error));
        for (const ByteVector* patch : {&ips, &bps}) {
            ByteVector applied;
            QVERIFY2(om::ApplyPatch(source, *patch, applied, error), error.c_str());
            QVERIFY(applied == target);
        }
    }

    // The BPS of an image edit, byte for byte: sizes, SourceRead up to the
    // change, TargetRead of it, SourceRead of the rest, checksums.
    void bpsOfImage_data() {
        QTest::addColumn<bool>("header");
        QTest::addColumn<int>("edit");
        QTest::addColumn<int>("changeAt");
        QTest::addColumn<int>("changeSize");
        QTest::addColumn<QByteArray>("before");  // up to the changed bytes
        QTest::addColumn<QByteArray>("after");   // between them and the checksums
        QTest::newRow("header, one byte")
            << true << int(Edit::OneByte) << 0xBDA9E << 1
            << Hex("42505331 00033f80 00033f80 80 74533c80 81") << Hex("003a4183");
        QTest::newRow("header, whole table")
            << true << int(Edit::WholeTable) << 0xBDA9E << 1940
            << Hex("42505331 00033f80 00033f80 80 74533c80 4dbb") << Hex("347d4083");
        QTest::newRow("no header, one byte")
            << false << int(Edit::OneByte) << 0xBD89E << 1
            << Hex("42505331 007f3e80 007f3e80 80 74433c80 81") << Hex("003a4183");
        QTest::newRow("no header, whole table")
            << false << int(Edit::WholeTable) << 0xBD89E << 1940
            << Hex("42505331 007f3e80 007f3e80 80 74433c80 4dbb") << Hex("347d4083");
    }
    void bpsOfImage() {
        QFETCH(bool, header);
        QFETCH(int, edit);
        QFETCH(int, changeAt);
        QFETCH(int, changeSize);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const om::RomLayout layout = header ? om::kSmcLayout : om::kSfcLayout;
        const ByteVector source = TableImage(layout);
        const ByteVector target = Edited(source, layout.entryOffset(0), Edit(edit));
        ByteVector bps;
        std::string error;
        QVERIFY(om::MakeBpsPatch(source, target, bps, error));
        const QByteArray body = before + Qba(target).mid(changeAt, changeSize) + after;
        QCOMPARE(Qba(bps), Seal(body, Qba(source), Qba(target)));
    }

    // --- Damaged patches -----------------------------------------------------
    void damagedRefused_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("patch");
        QTest::newRow("IPS") << Hex("10 11 12 13 14 15")
                             << QByteArray("PATCH") + Hex("000000 0002 a0 a1 000003 0000 0002 ee") + "EOF";
        QTest::newRow("BPS") << QByteArray("ABCDEFGH")
                             << Hex("42505331 88 8e 80 84 8a 8a 86 91 81 7a 8f 8e 87 93"
                                    "1c b6 dc 68 3e 08 71 9d 47 57 cd df");
    }
    // Every cut short and every single flipped byte of a BPS is refused, the
    // output left as it was; an IPS cut anywhere short of its end marker too.
    void damagedRefused() {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, patch);
        const bool bps = patch.startsWith("BPS1");
        std::string error;
        ByteVector out;
        QVERIFY(om::ApplyPatch(Span(source), Span(patch), out, error));

        for (qsizetype n = 0; n < patch.size(); ++n) {
            out = kUntouched;
            error.clear();
            QVERIFY2(!om::ApplyPatch(Span(source), Span(patch.left(n)), out, error),
                     qPrintable(QString("cut at %1").arg(n)));
            QVERIFY(!error.empty());
            QVERIFY(error.find('\n') == std::string::npos);
            QCOMPARE(out, kUntouched);
            if (n >= 5)  // past the magic, the patch position is named
                QVERIFY2(error.find("byte ") != std::string::npos, error.c_str());
        }
        if (!bps)
            return;
        for (qsizetype i = 0; i < patch.size(); ++i) {
            QByteArray bad = patch;
            bad[i] = char(bad[i] ^ 0x10);
            out = kUntouched;
            QVERIFY2(!om::ApplyPatch(Span(source), Span(bad), out, error),
                     qPrintable(QString("flipped byte %1").arg(i)));
            QCOMPARE(out, kUntouched);
        }
    }

    void bpsDamageNamed_data() {
        QTest::addColumn<int>("flip");
        QTest::addColumn<QString>("says");
        QTest::newRow("an action byte") << 9 << "byte 26: the patch is damaged";
        QTest::newRow("the source checksum") << 18 << "byte 26: the patch is damaged";
        QTest::newRow("the patch checksum") << 27 << "byte 26: the patch is damaged";
        QTest::newRow("the magic") << 0 << "not a patch";
    }
    void bpsDamageNamed() {
        QFETCH(int, flip);
        QFETCH(QString, says);
        QByteArray patch = Hex("42505331 88 8e 80 84 8a 8a 86 91 81 7a 8f 8e 87 93"
                               "1c b6 dc 68 3e 08 71 9d 47 57 cd df");
        patch[flip] = char(patch[flip] ^ 1);
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyPatch(Span(QByteArray("ABCDEFGH")), Span(patch), out, error));
        QVERIFY2(QString::fromStdString(error).contains(says), error.c_str());
        QCOMPARE(out, kUntouched);
    }

    // --- Patches built to do harm --------------------------------------------
    void hostileIps_data() {
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QString>("says");
        const QByteArray head("PATCH");
        QTest::newRow("no end marker") << head << "byte 5: the patch ends before its end marker";
        QTest::newRow("header cut") << head + Hex("000001 00") << "byte 5: the patch ends before";
        QTest::newRow("claims 65535 bytes, has 2")
            << head + Hex("000000 ffff 01 02") + "EOF" << "byte 5: the record needs 65535 data bytes, the patch has 5 left";
        QTest::newRow("second record short")
            << head + Hex("000000 0001 01 000010 0005 01") + "EOF"
            << "byte 11: the record needs 5 data bytes, the patch has 4 left";
        QTest::newRow("run cut") << head + Hex("000000 0000 00") << "byte 5: the patch ends inside this run record";
        QTest::newRow("run of 0") << head + Hex("000002 0000 0000 ee") + "EOF"
                                  << "byte 5: a run record with a count of 0";
        QTest::newRow("cut past the end") << head + "EOF" + Hex("000007")
                                          << "byte 8: the size to cut the image to, 7 bytes, is past its end (6 bytes)";
        QTest::newRow("one byte after the end") << head + "EOF" + Hex("00")
                                                << "byte 8: 1 bytes after the end marker";
        QTest::newRow("four bytes after the end") << head + "EOF" + Hex("00000000")
                                                  << "byte 8: 4 bytes after the end marker";
    }
    void hostileIps() {
        QFETCH(QByteArray, patch);
        QFETCH(QString, says);
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyIpsPatch(Span(Hex("10 11 12 13 14 15")), Span(patch), out, error));
        QVERIFY2(QString::fromStdString(error).contains(says), error.c_str());
        QCOMPARE(out, kUntouched);
    }

    // Each is sealed with correct checksums, so that only the harm stops it.
    void hostileBps_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("says");
        const QByteArray magic("BPS1");
        QTest::newRow("target of 2^64-1") << magic + Hex("88 7f7e7e7e7e7e7e7e7e80 80 81")
                                          << "byte 5: the patch claims a result of 18446744073709551615 bytes";
        QTest::newRow("target of 64 MiB + 1") << magic + Hex("88 017f7e9e 80")
                                              << "byte 5: the patch claims a result of 67108865 bytes";
        QTest::newRow("source size over 64 bits") << magic + Hex("007f7e7e7e7e7e7e7e80 88 80")
                                                  << "byte 4: a number too large for 64 bits";
        QTest::newRow("endless number") << magic + Hex("88 88 80") + QByteArray(40, 0)
                                        << "byte 7: a number too large for 64 bits";
        QTest::newRow("metadata past the end") << magic + Hex("88 88 7f7e7e7e7e7e7e7e7e80")
                                               << "byte 6: the metadata size, 18446744073709551615 bytes, runs past";
        QTest::newRow("number cut by the checksums") << magic + Hex("88 88 80 00")
                                                     << "byte 7: the patch ends inside a number";
        QTest::newRow("action longer than the result") << magic + Hex("88 88 80 7f7e7e7e7e7e7e7e7e80")
                                                       << "byte 7: the action writes 4611686018427387904 bytes where the result has 8 left";
        QTest::newRow("SourceRead past the source") << magic + Hex("88 8a 80 a4")
                                                    << "byte 7: the action reads past the end of the source";
        QTest::newRow("TargetRead past the patch") << magic + Hex("88 8a 80 a5 41 42 43")
                                                   << "byte 7: the action needs 10 bytes, the patch has 3 left";
        QTest::newRow("SourceCopy before the start") << magic + Hex("88 88 80 82 83")
                                                     << "byte 7: the copy moves the source offset before its start";
        QTest::newRow("SourceCopy moved past the end") << magic + Hex("88 88 80 82 92")
                                                       << "byte 7: the copy moves the source offset past its end";
        QTest::newRow("SourceCopy reading past the end") << magic + Hex("88 88 80 86 8e")
                                                         << "byte 7: the copy reads past the end of the source";
        QTest::newRow("TargetCopy before anything is written") << magic + Hex("88 88 80 83 80")
                                                              << "byte 7: the copy reads target bytes not yet written";
        QTest::newRow("TargetCopy of the byte being written") << magic + Hex("88 88 80 81 41 83 82")
                                                             << "byte 9: the copy reads target bytes not yet written";
        QTest::newRow("TargetCopy before the start") << magic + Hex("88 88 80 81 41 83 83")
                                                     << "byte 9: the copy moves the target offset before its start";
        QTest::newRow("actions end early") << magic + Hex("88 88 80 80")
                                           << "byte 8: the actions end after 1 bytes of a 8-byte result";
    }
    void hostileBps() {
        QFETCH(QByteArray, body);
        QFETCH(QString, says);
        const QByteArray source("ABCDEFGH");
        const QByteArray patch = Seal(body, source, QByteArray());
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyBpsPatch(Span(source), Span(patch), out, error));
        QVERIFY2(QString::fromStdString(error).contains(says), error.c_str());
        QCOMPARE(out, kUntouched);
    }

    void bpsWrongResultRefused() {
        const QByteArray source("ABCDEFGH");
        // Well formed, but the target checksum is of "ABCDEFGX".
        const QByteArray patch = Seal(Hex("42505331 88 88 80 9c"), source, "ABCDEFGX");
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyBpsPatch(Span(source), Span(patch), out, error));
        QVERIFY2(QString::fromStdString(error).contains("byte 12: the result's CRC32 is 68DCB61C"),
                 error.c_str());
        QCOMPARE(out, kUntouched);
    }

    void bpsTooShort() {
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyBpsPatch({}, Span(Hex("42505331 80 80 80 00000000 00000000 000000")), out,
                                   error));
        QVERIFY2(QString::fromStdString(error).contains("byte 18: the patch ends early"),
                 error.c_str());
        QCOMPARE(out, kUntouched);
    }

    void makeRefusesHugeTarget() {
        const ByteVector big(om::kMaxPatchTarget + 1, 0);
        ByteVector patch = kUntouched;
        std::string error;
        QVERIFY(!om::MakeBpsPatch({}, big, patch, error));
        QVERIFY2(QString::fromStdString(error).contains("64 MiB"), error.c_str());
        QCOMPARE(patch, kUntouched);
    }

    // --- Files ----------------------------------------------------------------
    void readWholeFile() {
        QTemporaryDir dir;
        const std::string path = (dir.path() + "/p.bps").toStdString();
        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Hex("00 01 02 ff 80 0a"));
        f.close();
        ByteVector bytes = kUntouched;
        std::string error;
        QVERIFY2(om::ReadWholeFile(path, 6, bytes, error), error.c_str());
        QCOMPARE(Qba(bytes), Hex("00 01 02 ff 80 0a"));

        bytes = kUntouched;
        QVERIFY(!om::ReadWholeFile(path, 5, bytes, error));
        QVERIFY2(QString::fromStdString(error).contains("it has 6 bytes, more than the 5"), error.c_str());
        QVERIFY(error.find(path) != std::string::npos);
        QCOMPARE(bytes, kUntouched);

        QFile empty(dir.path() + "/empty.ips");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QVERIFY2(om::ReadWholeFile(empty.fileName().toStdString(), 5, bytes, error), error.c_str());
        QVERIFY(bytes.empty());
    }

    void readRefused_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("folder") << "folder" << "it is a folder";
        QTest::newRow("pipe") << "pipe" << "it is a pipe";
        QTest::newRow("device") << "device" << "not a regular file";
        QTest::newRow("missing") << "missing" << "No such file";
    }
    void readRefused() {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        std::string path = (dir.path() + "/x.ips").toStdString();
        if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("x.ips"));
        else if (kind == "pipe")
            QCOMPARE(mkfifo(path.c_str(), 0600), 0);  // nobody writes: opening it would block
        else if (kind == "device")
            path = "/dev/zero";
        ByteVector bytes = kUntouched;
        std::string error;
        QVERIFY(!om::ReadWholeFile(path, 1024, bytes, error));
        QVERIFY2(QString::fromStdString(error).contains(says), error.c_str());
        QVERIFY(error.find(path) != std::string::npos);
        QCOMPARE(bytes, kUntouched);
    }

    void writeAtomically() {
        QTemporaryDir dir;
        const std::string path = (dir.path() + "/out.smc").toStdString();
        std::string error;
        QVERIFY2(om::WriteFileAtomically(path, Span(Hex("01 02 03")), error), error.c_str());
        QCOMPARE(Qba(omtest::ReadFileBytes(path)), Hex("01 02 03"));
        QVERIFY2(om::WriteFileAtomically(path, Span(Hex("0a")), error), error.c_str());
        QCOMPARE(Qba(omtest::ReadFileBytes(path)), Hex("0a"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"out.smc"});
    }

    void writeFailsLeavesOldFile_data() {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::newRow("folder not writable") << true;
        QTest::newRow("file size limit reached") << false;
    }
    void writeFailsLeavesOldFile() {
        QFETCH(bool, readOnlyFolder);
        QTemporaryDir dir;
        const QString folder = dir.path() + "/sub";
        QVERIFY(QDir().mkdir(folder));
        const std::string path = (folder + "/game.smc").toStdString();
        std::string error;
        QVERIFY(om::WriteFileAtomically(path, Span(QByteArray("old contents")), error));
        const QByteArray bigger(64 * 1024, 'n');

        bool failed = false;
        if (readOnlyFolder) {
            QCOMPARE(chmod(folder.toLocal8Bit().constData(), 0555), 0);
            if (geteuid() != 0) {
                failed = !om::WriteFileAtomically(path, Span(bigger), error);
            } else {
                // Root writes anywhere: the write is tried by a child that has
                // given up root for the unprivileged "nobody" account.
                QCOMPARE(chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
                const int result = WriteAsNobody(path, bigger);
                if (result == kCannotDropRoot)
                    QSKIP("cannot switch to an unprivileged user here");
                failed = result == kFailedNamingPath;
                error = path;  // the child checked that its message names the path
            }
            chmod(folder.toLocal8Bit().constData(), 0755);
        } else {
            // Writes past 4 KiB fail, as on a full disk; root is held to it too.
            rlimit old{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = old;
            small.rlim_cur = 4096;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            failed = !om::WriteFileAtomically(path, Span(bigger), error);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        QVERIFY(failed);
        QVERIFY2(error.find(path) != std::string::npos, error.c_str());
        QCOMPARE(Qba(omtest::ReadFileBytes(path)), QByteArray("old contents"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"game.smc"});
    }
};

QTEST_GUILESS_MAIN(TestPatch)
#include "test_patch.moc"
