// IPS and BPS patches against byte strings written out by hand, patches of
// whole test images, patches built to do harm, and the file helpers.
#include <sys/resource.h>
#include <sys/stat.h>
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
#include "patch/ImagePatch.h"
#include "patch/Patch.h"
#include "patch/PatchFile.h"
#include "romdata/RomImage.h"
#include "romdata/RomProbe.h"

using om::ByteSpan;
using om::ByteVector;

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

// An IPS patch: the records, the end marker and the size to cut to, if any.
QByteArray Ips(const char* records, const char* cut = "") {
    return QByteArray("PATCH") + Hex(records) + "EOF" + Hex(cut);
}

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

// "ABCDEFGH" to "ABFGHABzzzzzFG" with all four actions: SourceRead 2 "AB";
// SourceCopy 3 from +5 "FGH"; SourceCopy 2 from -8 "AB"; TargetRead "z";
// TargetCopy 4 from +7 "zzzz" (overlapping what it writes); TargetCopy 2
// from -9 "FG".
const char kAllActions[] = "42505331 88 8e 80 84 8a 8a 86 91 81 7a 8f 8e 87 93"
                           "1c b6 dc 68 3e 08 71 9d 47 57 cd df";
// "ABCD" to "AXCD".
const char kOneChanged[] = "42505331 84 84 80 80 81 58 84 a5 20 17 db 03 06 a6 ca 45 f1 c9 d0";

const ByteVector kUntouched{0xDE, 0xAD};

// bytes with the given ones written at offset.
QByteArray Put(QByteArray bytes, qsizetype offset, const char* hex) {
    return bytes.replace(offset, Hex(hex).size(), Hex(hex));
}

enum class Via { Any, Ips, Bps };

bool Apply(Via via, const QByteArray& source, const QByteArray& patch, ByteVector& out,
           std::string& error) {
    switch (via) {
    case Via::Ips: return om::ApplyIpsPatch(Span(source), Span(patch), out, error);
    case Via::Bps: return om::ApplyBpsPatch(Span(source), Span(patch), out, error);
    default: return om::ApplyPatch(Span(source), Span(patch), out, error);
    }
}

// A headerless (or headered) image with its title and a table of
// recognisable entries: what the copier-header rows patch.
ByteVector TableImage(const om::RomLayout& layout) {
    om::RomImage image(layout.headerSize + 3L * 1024 * 1024, layout);
    image.putTitle();
    for (int g = 0; g < 485; ++g)
        image.putEntry(g, std::uint8_t(g), std::uint8_t(g >> 8), std::uint8_t(255 - g % 256), 1);
    return image.bytes();
}

}  // namespace

class TestPatch : public QObject {
    Q_OBJECT

private slots:
    // --- BPS numbers -------------------------------------------------------
    // Each number's bytes, written after other bytes and read back from
    // among others; and byte strings that are no number.
    void bpsNumber_data() {
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<int>("result");
        const int ok = int(om::BpsNumberRead::Ok), early = int(om::BpsNumberRead::EndsEarly),
                  large = int(om::BpsNumberRead::TooLarge);
        const std::pair<quint64, const char*> numbers[] = {
            {0, "80"},          {1, "81"},          {127, "ff"},
            {128, "00 80"},     {129, "01 80"},     {16511, "7f ff"},
            {16512, "00 00 80"}, {2113663, "7f 7f ff"}, {2113664, "00 00 00 80"},
            {9223372036854775808ull, "00 7f 7e 7e 7e 7e 7e 7e fe"},
            {18446744073709551615ull, "7f 7e 7e 7e 7e 7e 7e 7e 7e 80"}};
        for (const auto& [value, hex] : numbers)
            QTest::addRow("%llu", static_cast<unsigned long long>(value)) << value << Hex(hex) << ok;
        QTest::newRow("nothing") << quint64(0) << QByteArray() << early;
        QTest::newRow("no last byte") << quint64(0) << Hex("00 7f") << early;
        QTest::newRow("2^64") << quint64(0) << Hex("00 7f 7e 7e 7e 7e 7e 7e 7e 80") << large;
        QTest::newRow("2^64-1 with a larger top digit")
            << quint64(0) << Hex("7f 7e 7e 7e 7e 7e 7e 7e 7e 81") << large;
        QTest::newRow("eleven bytes") << quint64(0) << Hex("00 00 00 00 00 00 00 00 00 00 80")
                                      << large;
        QTest::newRow("endless zeros") << quint64(0) << QByteArray(64, 0) << large;
    }
    void bpsNumber() {
        QFETCH(quint64, value);
        QFETCH(QByteArray, encoded);
        QFETCH(int, result);
        // Read from the middle of other bytes: exactly its own bytes are used.
        const QByteArray around = Hex("99") + encoded + Hex("42");
        std::size_t pos = 1;
        std::uint64_t read = 12345;
        QCOMPARE(int(om::ReadBpsNumber(Span(around), pos, read)), result);
        if (result != int(om::BpsNumberRead::Ok)) {
            QCOMPARE(pos, std::size_t(1));
            QCOMPARE(read, std::uint64_t(12345));
            return;
        }
        QCOMPARE(read, value);
        QCOMPARE(pos, std::size_t(1 + encoded.size()));
        ByteVector out{0x11};
        om::AppendBpsNumber(out, value);
        QCOMPARE(Qba(out), QByteArray(1, 0x11) + encoded);
    }

    // --- Telling formats apart ---------------------------------------------
    // By a path's extension in any case, and by a patch's magic.
    void formats() {
        const int ips = int(om::PatchFormat::Ips), bps = int(om::PatchFormat::Bps);
        const std::pair<const char*, int> paths[] = {
            {"hack.ips", ips},     {"/tmp/HACK.IPS", ips}, {"a.b.Ips", ips},
            {"fix.bps", bps},      {"dir/fix.bPs", bps},   {"fixbps", -1},
            {"fix.ips.txt", -1},   {"x.ips/patch", -1},    {"game.smc", -1}, {"", -1}};
        for (const auto& [path, format] : paths) {
            const auto got = om::PatchFormatForPath(path);
            QVERIFY2((got ? int(*got) : -1) == format, path);
        }
        const std::pair<QByteArray, int> magics[] = {
            {"PATCHEOF", ips}, {"BPS1\x80", bps}, {"PATC", -1},     {"BPS", -1},
            {"patchEOF", -1},  {"UPS1....", -1}, {QByteArray(), -1}};
        for (const auto& [bytes, format] : magics) {
            const auto got = om::PatchFormatOf(Span(bytes));
            QVERIFY2((got ? int(*got) : -1) == format, bytes.constData());
        }
    }

    // --- Patches written ---------------------------------------------------------
    // Each is made by the format's own writer and by MakePatch, and gives the
    // target back through the format's reader and through ApplyPatch.
    void written_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("patch");
        const QByteArray z10(10, 0), z12(12, 0);
        const auto ips = [](const char* name, const QByteArray& s, const QByteArray& t,
                            const QByteArray& p) {
            QTest::newRow(name) << int(om::PatchFormat::Ips) << s << t << p;
        };
        const auto bps = [](const char* name, const QByteArray& s, const QByteArray& t,
                            const char* p) {
            QTest::newRow(name) << int(om::PatchFormat::Bps) << s << t << Hex(p);
        };
        ips("IPS, same", "ABCD", "ABCD", "PATCHEOF");
        ips("IPS, both empty", {}, {}, "PATCHEOF");
        ips("IPS, one byte", Hex("00 00 00 00"), Hex("00 ab 00 00"), Ips("000001 0001 ab"));
        ips("IPS, first byte", Hex("00 00"), Hex("ab 00"), Ips("000000 0001 ab"));
        ips("IPS, last byte", Hex("00 00"), Hex("00 ab"), Ips("000001 0001 ab"));
        // An unchanged gap shorter than a record header joins two changes.
        ips("IPS, gap of 4 joined", z10, Hex("00 ab 00 00 00 00 cd 00 00 00"),
            Ips("000001 0006 ab 00 00 00 00 cd"));
        ips("IPS, gap of 5 split", z10, Hex("00 ab 00 00 00 00 00 cd 00 00"),
            Ips("000001 0001 ab 000007 0001 cd"));
        // Repeated bytes: a run record costs 8 bytes.
        ips("IPS, run of 4 alone", z10, Hex("00 00 ee ee ee ee 00 00 00 00"),
            Ips("000002 0000 0004 ee"));
        ips("IPS, run of 3 alone", z10, Hex("00 00 ee ee ee 00 00 00 00 00"),
            Ips("000002 0003 ee ee ee"));
        ips("IPS, run of 9 then literal", z12, Hex("ee ee ee ee ee ee ee ee ee 01 02 00"),
            Ips("000000 0000 0009 ee 000009 0002 01 02"));
        ips("IPS, run of 8 then literal", z12, Hex("ee ee ee ee ee ee ee ee 01 02 00 00"),
            Ips("000000 000a ee ee ee ee ee ee ee ee 01 02"));
        ips("IPS, literal then run of 9", z12, Hex("01 02 ee ee ee ee ee ee ee ee ee 00"),
            Ips("000000 0002 01 02 000002 0000 0009 ee"));
        ips("IPS, run of 14 inside literal", QByteArray(18, 0),
            Hex("01 02 ee ee ee ee ee ee ee ee ee ee ee ee ee ee 03 04"),
            Ips("000000 0002 01 02 000002 0000 000e ee 000010 0002 03 04"));
        ips("IPS, run of 13 inside literal", QByteArray(17, 0),
            Hex("01 02 ee ee ee ee ee ee ee ee ee ee ee ee ee 03 04"),
            Ips("000000 0011 01 02 ee ee ee ee ee ee ee ee ee ee ee ee ee 03 04"));
        // Sizes: growth by records past the end, shrinking by the cut size.
        ips("IPS, grows", Hex("01 02"), Hex("01 02 03 04"), Ips("000002 0002 03 04"));
        ips("IPS, grows by zeros", Hex("01 02"), Hex("01 02 00 00"), Ips("000002 0002 00 00"));
        ips("IPS, grows from nothing", {}, Hex("05 06"), Ips("000000 0002 05 06"));
        ips("IPS, shrinks", Hex("01 02 03 04"), Hex("01 02"), Ips("", "000002"));
        ips("IPS, shrinks and changes", Hex("01 02 03 04"), Hex("01 09 03"),
            Ips("000001 0001 09", "000003"));
        ips("IPS, shrinks to nothing", Hex("01 02"), {}, Ips("", "000000"));
        bps("BPS, one changed", "ABCD", "AXCD", kOneChanged);
        bps("BPS, grows", "AB", "ABCD",
            "42505331 82 84 80 84 85 43 44 07 4c 69 30 a5 20 17 db 82 8b 99 2f");
        bps("BPS, shrinks", "ABCD", "AB",
            "42505331 84 82 80 84 a5 20 17 db 07 4c 69 30 d1 26 de 60");
        bps("BPS, to nothing", "ABCD", {},
            "42505331 84 80 80 a5 20 17 db 00 00 00 00 0e c0 e7 23");
        bps("BPS, both empty", {}, {},
            "42505331 80 80 80 00 00 00 00 00 00 00 00 93 1f d8 5e");
        bps("BPS, same", "XYZ", "XYZ",
            "42505331 83 83 80 88 ed f8 29 7d ed f8 29 7d a3 fe 3e 13");
    }
    void written() {
        QFETCH(int, format);
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, patch);
        const bool isIps = format == int(om::PatchFormat::Ips);
        ByteVector made, made2;
        std::string error;
        QVERIFY(isIps ? om::MakeIpsPatch(Span(source), Span(target), made, error)
                      : om::MakeBpsPatch(Span(source), Span(target), made, error));
        QCOMPARE(Qba(made), patch);
        QVERIFY(om::MakePatch(om::PatchFormat(format), Span(source), Span(target), made2, error));
        QCOMPARE(made2, made);
        for (Via via : {isIps ? Via::Ips : Via::Bps, Via::Any}) {
            ByteVector applied = kUntouched;
            QVERIFY2(Apply(via, source, patch, applied, error), error.c_str());
            QCOMPARE(Qba(applied), target);
        }
    }

    // --- Patches read ------------------------------------------------------------
    // What the writer above never makes, read by the format's reader and by
    // ApplyPatch.
    void applied_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QByteArray>("target");
        const QByteArray src = Hex("10 11 12 13 14 15");
        QTest::newRow("IPS, two records")
            << src << Ips("000000 0001 a0 000004 0002 a4 a5") << Hex("a0 11 12 13 a4 a5");
        QTest::newRow("IPS, later record wins")
            << src << Ips("000001 0003 b1 b2 b3 000002 0001 c2") << Hex("10 b1 c2 b3 14 15");
        QTest::newRow("IPS, run record") << src << Ips("000001 0000 0003 ee")
                                         << Hex("10 ee ee ee 14 15");
        QTest::newRow("IPS, run record with a large count")
            << src << Ips("000004 0000 0100 ee") << Hex("10 11 12 13") + QByteArray(256, char(0xee));
        QTest::newRow("IPS, record past the end, gap of zeros")
            << src << Ips("000008 0002 f8 f9") << Hex("10 11 12 13 14 15 00 00 f8 f9");
        QTest::newRow("IPS, run past the end") << src << Ips("000005 0000 0002 ee")
                                               << Hex("10 11 12 13 14 ee ee");
        // Up to 4 times the result's size may be written, the size it has grown to counting.
        const QByteArray run6 = Hex("000000 0000 0006 ee"), run8 = Hex("000000 0000 0008 ee");
        QTest::newRow("IPS, the whole image written 4 times")
            << src << "PATCH" + run6.repeated(4) + "EOF" << QByteArray(6, char(0xee));
        QTest::newRow("IPS, grown image written 4 times")
            << src << "PATCH" + run8.repeated(4) + "EOF" << QByteArray(8, char(0xee));
        QTest::newRow("IPS, cut to the same size") << src << Ips("", "000006") << src;
        QTest::newRow("IPS, record then cut")
            << src << Ips("000005 0003 d5 d6 d7", "000007") << Hex("10 11 12 13 14 d5 d6");
        QTest::newRow("BPS, all four actions") << QByteArray("ABCDEFGH") << Hex(kAllActions)
                                               << QByteArray("ABFGHABzzzzzFG");
        QTest::newRow("BPS, metadata skipped")
            << QByteArray("ABCD") << Seal(Hex("42505331 84 84 83") + "m:1" + Hex("8c"), "ABCD", "ABCD")
            << QByteArray("ABCD");
    }
    void applied() {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, patch);
        QFETCH(QByteArray, target);
        std::string error;
        for (Via via : {patch.startsWith("BPS1") ? Via::Bps : Via::Ips, Via::Any}) {
            ByteVector out = kUntouched;
            QVERIFY2(Apply(via, source, patch, out, error), error.c_str());
            QCOMPARE(Qba(out), target);
        }
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
        QCOMPARE(Qba(patch), Ips("ffffff 0001 ab"));

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
        QCOMPARE(Qba(patch), Ips("", "ffffff"));
    }

    void makeRefusesHugeTarget() {
        ByteVector big(om::kMaxPatchTarget + 1, 0);
        ByteVector patch = kUntouched;
        std::string error;
        QVERIFY(!om::MakeBpsPatch({}, big, patch, error));
        QVERIFY2(QString::fromStdString(error).contains("64 MiB"), error.c_str());
        QCOMPARE(patch, kUntouched);
        // A 64 MiB result fits, but a patch holding all of it is too large to be read.
        big.pop_back();
        QVERIFY(!om::MakeImagePatch(om::PatchFormat::Bps, {}, big, patch, error));
        QCOMPARE(QString::fromStdString(error),
                 "it would be refused when applied: the patch has 67108890 bytes, more than the "
                 "67108864 this program reads");
        QCOMPARE(patch, kUntouched);
    }

    // --- Damaged patches -----------------------------------------------------
    // Every cut short and every single flipped byte of a BPS is refused, the
    // output left as it was.
    void bpsDamagedRefused() {
        const QByteArray source("ABCDEFGH"), patch = Hex(kAllActions);
        std::string error;
        ByteVector out;
        QVERIFY(om::ApplyPatch(Span(source), Span(patch), out, error));
        for (qsizetype n = 0; n < patch.size(); ++n) {
            out = kUntouched;
            error.clear();
            QVERIFY2(!om::ApplyPatch(Span(source), Span(patch.left(n)), out, error),
                     qPrintable(QString("cut at %1").arg(n)));
            QVERIFY(!error.empty() && error.find('\n') == std::string::npos);
            QCOMPARE(out, kUntouched);
            if (n >= 5)  // past the magic, the patch position is named
                QVERIFY2(error.find("byte ") != std::string::npos, error.c_str());
        }
        for (qsizetype i = 0; i < patch.size(); ++i) {
            QByteArray bad = patch;
            bad[i] = char(bad[i] ^ 0x10);
            out = kUntouched;
            QVERIFY2(!om::ApplyPatch(Span(source), Span(bad), out, error),
                     qPrintable(QString("flipped byte %1").arg(i)));
            QCOMPARE(out, kUntouched);
        }
    }

    // --- The copier-header convention -----------------------------------------
    // Patches written out by hand applied to an image (modified empty), and
    // patches made of two images; each with its note, or refused.
    void imagePatch_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("modified");
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QByteArray>("result");  // empty: refused
        QTest::addColumn<QString>("says");       // in the note or the error; empty: no note
        // The cartridge, the same with entry 0's first byte set, two headers.
        const QByteArray cart = Qba(TableImage(om::kSfcLayout)), changed = Put(cart, 0xBD89E, "77"),
                         h(512, 'h'), h2 = Put(h, 0, "02");
        // Made behind the header (both sizes 3145728), and of the whole headered file (3146240).
        const QByteArray behind = Seal(Hex("42505331 007f3e80 007f3e80 80 74433c80 81 77 003a4183"),
                                       cart, changed),
                         whole = Seal(Hex("42505331 00033f80 00033f80 80 74533c80 81 77 003a4183"),
                                      h + cart, h + changed);
        const auto apply = [](const char* name, const QByteArray& image, const QByteArray& patch,
                              const QByteArray& result, const char* says) {
            QTest::newRow(name) << image << QByteArray() << patch << result << QString(says);
        };
        const auto make = [](const char* name, const QByteArray& image, const QByteArray& modified,
                             const QByteArray& patch, const char* says) {
            QTest::newRow(name) << image << modified << patch << modified << QString(says);
        };
        apply("BPS behind a header, to an image without", cart, behind, changed, "");
        apply("BPS behind a header, to an image with", h + cart, behind, h + changed, "");
        apply("BPS behind a header, to another size", h + cart.left(3144704), behind, {},
              "expects 3145728 bytes, this image has 3144704 behind its 512-byte copier header");
        apply("BPS of a whole headered file, to it", h + cart, whole, h + changed,
              "note: this BPS patch was made from a whole image with its 512-byte copier header");
        apply("BPS of a whole headered file, to an image without", cart, whole, {},
              "made from the whole of an image with a 512-byte copier header");
        apply("IPS at a headered table, to an image without", cart, Ips("0be22e 0004 01020304"),
              Put(cart, 0xBE22E, "01020304"), "probably made for an image with a header");
        apply("IPS at a headerless table, to an image with", h + cart, Ips("0bd89e 0001 77"),
              Put(h + cart, 0xBD89E, "77"), "probably made for an image without a header");
        apply("IPS at its table", cart, Ips("0bd89e 0001 77"), changed, "");
        apply("IPS at the other table and elsewhere", cart, Ips("000100 0001 aa 0be22e 0001 bb"),
              Put(Put(cart, 0x100, "aa"), 0xBE22E, "bb"), "");
        // Headered and headerless images give the same BPS patch.
        make("BPS made of headered images", h + cart, h + changed, behind, "");
        make("BPS made of headerless images", cart, changed, behind, "");
        make("BPS made of images whose headers differ", h + cart, h2 + changed,
             Seal(Hex("42505331 00033f80 00033f80 80 81 02 70533c80 81 77 003a4183"), h + cart,
                  h2 + changed),
             "note: the copier headers of the two images differ");
        make("IPS made of headered images", h + cart, h + changed, Ips("0bda9e 0001 77"), "");
    }
    void imagePatch() {
        QFETCH(QByteArray, image);
        QFETCH(QByteArray, modified);
        QFETCH(QByteArray, patch);
        QFETCH(QByteArray, result);
        QFETCH(QString, says);
        ByteVector out = kUntouched;
        std::string note = "old", error;
        const bool made = !modified.isEmpty();
        const bool done = made ? om::MakeImagePatch(*om::PatchFormatOf(Span(patch)), Span(image),
                                                    Span(modified), out, error, &note)
                               : om::ApplyImagePatch(Span(image), Span(patch), out, note, error);
        QCOMPARE(done, !result.isEmpty());
        QCOMPARE(Qba(out), !done ? Qba(kUntouched) : made ? patch : result);
        const std::string said = done ? note : error;
        QVERIFY2(says.isEmpty() ? said.empty() : QString::fromStdString(said).contains(says),
                 said.c_str());
    }

    // An IPS patch cut anywhere short of the end of its end marker is
    // refused, naming the byte where the record (or marker) it cuts starts:
    // every length a literal record, its header, a run record and the bytes
    // after its size can be cut to. The patch lies in a buffer of its own
    // size, so that the sanitizer build sees any read past its end.
    void ipsCutShort_data() {
        QTest::addColumn<int>("cut");  // the bytes kept
        QTest::addColumn<QString>("says");
        // 2 bytes at 0 (a record from byte 5), a run of 2 at 3 (from byte
        // 12), "EOF" from byte 20.
        const std::tuple<int, int, const char*> runs[] = {
            {5, 9, "byte 5: the patch ends before its end marker \"EOF\""},
            {10, 10, "byte 5: the record needs 2 data bytes, the patch has 0 left"},
            {11, 11, "byte 5: the record needs 2 data bytes, the patch has 1 left"},
            {12, 16, "byte 12: the patch ends before its end marker \"EOF\""},
            {17, 19, "byte 12: the patch ends inside this run record"},
            {20, 22, "byte 20: the patch ends before its end marker \"EOF\""}};
        for (const auto& [from, to, says] : runs)
            for (int cut = from; cut <= to; ++cut)
                QTest::addRow("%d bytes", cut) << cut << QString("IPS patch, ") + says;
    }
    void ipsCutShort() {
        QFETCH(int, cut);
        QFETCH(QString, says);
        const QByteArray whole = Ips("000000 0002 a0 a1 000003 0000 0002 ee");
        QCOMPARE(whole.size(), qsizetype(23));
        const ByteVector patch(whole.begin(), whole.begin() + cut);
        const ByteVector source{0x10, 0x11, 0x12, 0x13, 0x14, 0x15};
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!om::ApplyIpsPatch(source, patch, out, error));
        QCOMPARE(QString::fromStdString(error), says);
        QCOMPARE(out, kUntouched);
    }

    // --- Patches refused, each with its reason ---------------------------------
    void refused_data() {
        QTest::addColumn<int>("via");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QStringList>("says");  // every part must be in the message
        const QByteArray six = Hex("10 11 12 13 14 15"), eight("ABCDEFGH");
        const auto row = [](const char* name, Via via, const QByteArray& source,
                            const QByteArray& patch, const QStringList& says) {
            QTest::newRow(name) << int(via) << source << patch << says;
        };
        // Wrong or unknown formats.
        row("UPS", Via::Any, "ABCD", "UPS1xxxxxxxx", {"PATCH"});
        row("BPS given as IPS", Via::Ips, {}, "BPS1", {});
        row("IPS given as BPS", Via::Bps, {}, "PATCHEOF", {});
        // IPS built to do harm.
        const auto ips = [&](const char* name, const QByteArray& patch, const char* says) {
            row(name, Via::Ips, six, QByteArray("PATCH") + patch, {says});
        };
        ips("claims 65535 bytes, has 2", Hex("000000 ffff 01 02") + "EOF",
            "byte 5: the record needs 65535 data bytes, the patch has 5 left");
        ips("run of 0", Hex("000002 0000 0000 ee") + "EOF",
            "byte 5: a run record with a count of 0");
        const QByteArray run6 = Hex("000000 0000 0006 ee");
        ips("4 times the size written, then a byte more",
            run6.repeated(4) + Hex("000005 0001 ff") + "EOF",
            "byte 37: with this record the patch writes 25 bytes, more than 4 times the 6 bytes");
        ips("a run rewritten 9 times", run6.repeated(9) + "EOF",
            "byte 37: with this record the patch writes 30 bytes");
        ips("cut past the end", "EOF" + Hex("000007"),
            "byte 8: the size to cut the image to, 7 bytes, is past its end (6 bytes)");
        ips("one byte after the end", "EOF" + Hex("00"), "byte 8: 1 bytes after the end marker");
        ips("four bytes after the end", "EOF" + Hex("00000000"),
            "byte 8: 4 bytes after the end marker");
        // BPS built to do harm, sealed with correct checksums, so that only
        // the harm stops it.
        const auto bps = [&](const char* name, const char* body, const char* says) {
            row(name, Via::Bps, eight, Seal("BPS1" + Hex(body), eight, {}), {says});
        };
        bps("target of 2^64-1", "88 7f7e7e7e7e7e7e7e7e80 80 81",
            "byte 5: the patch claims a result of 18446744073709551615 bytes");
        bps("target of 64 MiB + 1", "88 017f7e9e 80",
            "byte 5: the patch claims a result of 67108865 bytes");
        bps("source size over 64 bits", "007f7e7e7e7e7e7e7e80 88 80",
            "byte 4: a number too large for 64 bits");
        row("endless number", Via::Bps, eight,
            Seal("BPS1" + Hex("88 88 80") + QByteArray(40, 0), eight, {}),
            {"byte 7: a number too large for 64 bits"});
        bps("metadata past the end", "88 88 7f7e7e7e7e7e7e7e7e80",
            "byte 6: the metadata size, 18446744073709551615 bytes, runs past");
        bps("number cut by the checksums", "88 88 80 00", "byte 7: the patch ends inside a number");
        bps("action longer than the result", "88 88 80 7f7e7e7e7e7e7e7e7e80",
            "byte 7: the action writes 4611686018427387904 bytes where the result has 8 left");
        bps("SourceRead past the source", "88 8a 80 a4",
            "byte 7: the action reads past the end of the source");
        bps("TargetRead past the patch", "88 8a 80 a5 41 42 43",
            "byte 7: the action needs 10 bytes, the patch has 3 left");
        bps("SourceCopy before the start", "88 88 80 82 83",
            "byte 7: the copy moves the source offset before its start");
        bps("SourceCopy moved past the end", "88 88 80 82 92",
            "byte 7: the copy moves the source offset past its end");
        bps("SourceCopy reading past the end", "88 88 80 86 8e",
            "byte 7: the copy reads past the end of the source");
        bps("TargetCopy before anything is written", "88 88 80 83 80",
            "byte 7: the copy reads target bytes not yet written");
        bps("TargetCopy of the byte being written", "88 88 80 81 41 83 82",
            "byte 9: the copy reads target bytes not yet written");
        bps("TargetCopy before the start", "88 88 80 81 41 83 83",
            "byte 9: the copy moves the target offset before its start");
        bps("actions end early", "88 88 80 80",
            "byte 8: the actions end after 1 bytes of a 8-byte result");
        // Well formed, but the target checksum is of "ABCDEFGX".
        row("wrong result", Via::Bps, eight, Seal(Hex("42505331 88 88 80 9c"), eight, "ABCDEFGX"),
            {"byte 12: the result's CRC32 is 68DCB61C"});
        row("too short", Via::Bps, {}, Hex("42505331 80 80 80 00000000 00000000 000000"),
            {"byte 18: the patch ends early"});
        // "ABCD" to "AXCD" applied to another image.
        row("source, one byte different", Via::Bps, "ABCE", Hex(kOneChanged),
            {"another image", "CRC32 DB1720A5"});
        row("source longer", Via::Bps, "ABCDE", Hex(kOneChanged),
            {"another image", "expects 4 bytes, this image has 5"});
        row("source empty", Via::Bps, {}, Hex(kOneChanged),
            {"another image", "expects 4 bytes, this image has 0"});
        // One bit changed in the all-actions patch (every byte is flipped in
        // bpsDamagedRefused).
        for (const auto& [flip, name, says] :
             {std::tuple{9, "damaged action byte", "byte 26: the patch is damaged"},
              std::tuple{0, "damaged magic", "not a patch"}}) {
            QByteArray patch = Hex(kAllActions);
            patch[flip] = char(patch[flip] ^ 1);
            row(name, Via::Any, eight, patch, {says});
        }
    }
    void refused() {
        QFETCH(int, via);
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, patch);
        QFETCH(QStringList, says);
        ByteVector out = kUntouched;
        std::string error;
        QVERIFY(!Apply(Via(via), source, patch, out, error));
        for (const QString& part : says)
            QVERIFY2(QString::fromStdString(error).contains(part), error.c_str());
        QCOMPARE(out, kUntouched);
    }

    // --- Files ----------------------------------------------------------------
    // A whole file up to a limit, or a refusal naming the file and why.
    void readWholeFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");  // empty: read
        QTest::newRow("at the limit") << "6 bytes" << QString();
        QTest::newRow("empty") << "empty" << QString();
        QTest::newRow("folder") << "folder" << "it is a folder";
        QTest::newRow("pipe") << "pipe" << "it is a pipe";
        QTest::newRow("device") << "device" << "not a regular file";
        QTest::newRow("missing") << "missing" << "No such file";
        QTest::newRow("larger than allowed") << "large" << "it has 7 bytes, more than the 6";
    }
    void readWholeFile() {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        std::string path = (dir.path() + "/x.ips").toStdString(), error;
        const QByteArray six = Hex("00 01 02 ff 80 0a");
        if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("x.ips"));
        else if (kind == "pipe")
            QCOMPARE(mkfifo(path.c_str(), 0600), 0);  // nobody writes: opening it would block
        else if (kind == "device")
            path = "/dev/zero";
        else if (kind != "missing")
            QVERIFY(om::WriteFileAtomically(
                path, Span(kind == "empty" ? QByteArray() : six + (kind == "large" ? "!" : "")),
                error));
        ByteVector bytes = kUntouched;
        QCOMPARE(om::ReadWholeFile(path, 6, bytes, error), says.isEmpty());
        if (says.isEmpty()) {
            QCOMPARE(Qba(bytes), kind == "empty" ? QByteArray() : six);
            return;
        }
        QVERIFY2(QString::fromStdString(error).contains(says), error.c_str());
        QVERIFY(error.find(path) != std::string::npos);
        QCOMPARE(bytes, kUntouched);
    }

    // Writes past 4 KiB fail, as on a full disk (root is held to it too): the
    // old file stays whole and no temporary file is left. (A folder that
    // cannot be written is in test_export.)
    void writeFailsLeavesOldFile() {
        QTemporaryDir dir;
        const std::string path = (dir.path() + "/game.smc").toStdString();
        std::string error;
        // Written, then replaced whole, with no temporary file left.
        QVERIFY(om::WriteFileAtomically(path, Span(QByteArray("first")), error));
        QVERIFY(om::WriteFileAtomically(path, Span(QByteArray("old contents")), error));
        QCOMPARE(Qba(omtest::ReadFileBytes(path)), QByteArray("old contents"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"game.smc"});
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = om::WriteFileAtomically(path, Span(QByteArray(64 * 1024, 'n')), error);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QVERIFY2(error.find(path) != std::string::npos, error.c_str());
        QCOMPARE(Qba(omtest::ReadFileBytes(path)), QByteArray("old contents"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"game.smc"});
    }
};

QTEST_GUILESS_MAIN(TestPatch)
#include "test_patch.moc"
