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
#include "patch/Recovery.h"
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

// A BPS patch's body followed by the three checksums (of the source, the
// target and all before it), computed here with zlib.
QByteArray Seal(QByteArray body, const QByteArray& source, const QByteArray& target) {
    for (const QByteArray* part : {&source, &target, &std::as_const(body)}) {
        const uLong crc =
            crc32_z(0, reinterpret_cast<const Bytef*>(part->constData()), std::size_t(part->size()));
        for (int shift = 0; shift < 32; shift += 8)
            body.append(char((crc >> shift) & 0xff));
    }
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
QByteArray Put(QByteArray bytes, qsizetype offset, const QByteArray& with) {
    return bytes.replace(offset, with.size(), with);
}
QByteArray Put(const QByteArray& bytes, qsizetype offset, const char* hex) {
    return Put(bytes, offset, Hex(hex));
}

// An image whose bytes are their offsets' low bytes.
QByteArray Counting(int size) {
    QByteArray bytes(size, 0);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i);
    return bytes;
}

// The columns of ipsPatches and bpsPatches.
void PatchColumns() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("patch");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("says");  // every part ('|' between) in the refusal; empty: applied
    QTest::addColumn<bool>("made");     // the writer makes exactly this patch, or refuses
}

// A patch the format's writer makes.
void Made(const char* name, const QByteArray& source, const QByteArray& target,
          const QByteArray& patch) {
    QTest::newRow(name) << source << patch << target << QString() << true;
}

// A patch the writer refuses to make.
void Unmade(const char* name, const QByteArray& source, const QByteArray& target, const char* says) {
    QTest::newRow(name) << source << QByteArray() << target << QString(says) << true;
}

// A patch the writer never makes, and what it gives.
void Gives(const char* name, const QByteArray& source, const QByteArray& patch,
           const QByteArray& target) {
    QTest::newRow(name) << source << patch << target << QString() << false;
}

void Refused(const QByteArray& name, const QByteArray& source, const QByteArray& patch,
             const QString& says) {
    QTest::newRow(name.constData()) << source << patch << QByteArray() << says << false;
}

// A row of ipsPatches or bpsPatches: made (or refused), when it says so, by MakePatch;
// read by the format's reader and by ApplyPatch (unless it is a patch of the
// other format), each giving the target or refusing on one line with the
// output left as it was.
void CheckPatch(om::PatchFormat format) {
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, patch);
    QFETCH(QByteArray, target);
    QFETCH(QString, says);
    QFETCH(bool, made);
    const bool isIps = format == om::PatchFormat::Ips;
    std::string error;
    if (made) {
        ByteVector written = kUntouched;
        const bool ok = om::MakePatch(format, Span(source), Span(target), written, error);
        QVERIFY2(ok == says.isEmpty(), error.c_str());
        if (!ok) {
            QVERIFY2(QString::fromStdString(error).contains(says), error.c_str());
            QCOMPARE(written, kUntouched);
            return;
        }
        QCOMPARE(Qba(written), patch);
    }
    // In a buffer of its own size, so that the sanitizer build sees any read past its end.
    const ByteVector bytes(patch.begin(), patch.end());
    for (const bool any : {false, true}) {
        if (any && om::PatchFormatOf(bytes).value_or(format) != format)
            continue;
        ByteVector out = kUntouched;
        error.clear();
        const bool applied = any     ? om::ApplyPatch(Span(source), bytes, out, error)
                             : isIps ? om::ApplyIpsPatch(Span(source), bytes, out, error)
                                     : om::ApplyBpsPatch(Span(source), bytes, out, error);
        QVERIFY2(applied == says.isEmpty(), error.c_str());
        if (applied) {
            QCOMPARE(Qba(out), target);
            continue;
        }
        QVERIFY2(error.find('\n') == std::string::npos, error.c_str());
        for (const QString& part : says.split('|'))
            QVERIFY2(QString::fromStdString(error).contains(part), error.c_str());
        QCOMPARE(out, kUntouched);
    }
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
        const std::tuple<quint64, const char*, int> numbers[] = {
            {0, "80", ok},          {1, "81", ok},          {127, "ff", ok},
            {128, "00 80", ok},     {129, "01 80", ok},     {16511, "7f ff", ok},
            {16512, "00 00 80", ok}, {2113663, "7f 7f ff", ok}, {2113664, "00 00 00 80", ok},
            {9223372036854775808ull, "00 7f 7e 7e 7e 7e 7e 7e fe", ok},
            {18446744073709551615ull, "7f 7e 7e 7e 7e 7e 7e 7e 7e 80", ok},
            // No number: nothing, no last byte, 2^64, 2^64-1 with a larger
            // top digit, eleven bytes.
            {0, "", early}, {0, "00 7f", early}, {0, "00 7f 7e 7e 7e 7e 7e 7e 7e 80", large},
            {0, "7f 7e 7e 7e 7e 7e 7e 7e 7e 81", large},
            {0, "00 00 00 00 00 00 00 00 00 00 80", large}};
        for (const auto& [value, hex, result] : numbers)
            QTest::addRow("[%s]", hex) << value << Hex(hex) << result;
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
        // What is no number leaves both as they were.
        const bool ok = result == int(om::BpsNumberRead::Ok);
        QCOMPARE(read, std::uint64_t(ok ? value : 12345));
        QCOMPARE(pos, std::size_t(ok ? 1 + encoded.size() : 1));
        if (!ok)
            return;
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

    // --- IPS patches -------------------------------------------------------------
    void ipsPatches_data() {
        PatchColumns();
        const QByteArray z10(10, 0), z12(12, 0), six = Hex("10 11 12 13 14 15");
        Made("same", "ABCD", "ABCD", "PATCHEOF");
        Made("both empty", {}, {}, "PATCHEOF");
        Made("one byte", Hex("00 00 00 00"), Hex("00 ab 00 00"), Ips("000001 0001 ab"));
        Made("first byte", Hex("00 00"), Hex("ab 00"), Ips("000000 0001 ab"));
        Made("last byte", Hex("00 00"), Hex("00 ab"), Ips("000001 0001 ab"));
        // An unchanged gap shorter than a record header joins two changes.
        Made("gap of 4 joined", z10, Hex("00 ab 00 00 00 00 cd 00 00 00"),
             Ips("000001 0006 ab 00 00 00 00 cd"));
        Made("gap of 5 split", z10, Hex("00 ab 00 00 00 00 00 cd 00 00"),
             Ips("000001 0001 ab 000007 0001 cd"));
        // Repeated bytes: a run record costs 8 bytes.
        Made("run of 4 alone", z10, Hex("00 00 ee ee ee ee 00 00 00 00"), Ips("000002 0000 0004 ee"));
        Made("run of 3 alone", z10, Hex("00 00 ee ee ee 00 00 00 00 00"), Ips("000002 0003 ee ee ee"));
        Made("run of 9 then literal", z12, Hex("ee ee ee ee ee ee ee ee ee 01 02 00"),
             Ips("000000 0000 0009 ee 000009 0002 01 02"));
        Made("run of 8 then literal", z12, Hex("ee ee ee ee ee ee ee ee 01 02 00 00"),
             Ips("000000 000a ee ee ee ee ee ee ee ee 01 02"));
        Made("literal then run of 9", z12, Hex("01 02 ee ee ee ee ee ee ee ee ee 00"),
             Ips("000000 0002 01 02 000002 0000 0009 ee"));
        Made("run of 14 inside literal", QByteArray(18, 0),
             Hex("01 02 ee ee ee ee ee ee ee ee ee ee ee ee ee ee 03 04"),
             Ips("000000 0002 01 02 000002 0000 000e ee 000010 0002 03 04"));
        Made("run of 13 inside literal", QByteArray(17, 0),
             Hex("01 02 ee ee ee ee ee ee ee ee ee ee ee ee ee 03 04"),
             Ips("000000 0011 01 02 ee ee ee ee ee ee ee ee ee ee ee ee ee 03 04"));
        // Sizes: growth by records past the end, shrinking by the cut size.
        Made("grows", Hex("01 02"), Hex("01 02 03 04"), Ips("000002 0002 03 04"));
        Made("grows by zeros", Hex("01 02"), Hex("01 02 00 00"), Ips("000002 0002 00 00"));
        Made("grows from nothing", {}, Hex("05 06"), Ips("000000 0002 05 06"));
        Made("shrinks", Hex("01 02 03 04"), Hex("01 02"), Ips("", "000002"));
        Made("shrinks and changes", Hex("01 02 03 04"), Hex("01 09 03"), Ips("000001 0001 09", "000003"));
        Made("shrinks to nothing", Hex("01 02"), {}, Ips("", "000000"));
        // A record may not start at 0x454F46: its offset would read as "EOF".
        const QByteArray eof = Counting(0x454F80);
        Made("one byte at 454F46", eof, Put(eof, 0x454F46, "ab"), Ips("454f45 0002 45 ab"));
        Made("one byte at 454F45", eof, Put(eof, 0x454F45, "ab"), Ips("454f45 0001 ab"));
        Made("one byte at 454F47", eof, Put(eof, 0x454F47, "ab"), Ips("454f47 0001 ab"));
        Made("run from 454F46", eof, Put(eof, 0x454F46, QByteArray(20, char(0xee))),
             Ips("454f45 0002 45 ee 454f47 0000 0013 ee"));
        // Changes at 0x454F46 and 0x454F49, joined across the two unchanged bytes.
        Made("stretch from 454F46", eof, Put(eof, 0x454F46, "01 47 48 02"),
             Ips("454f45 0005 45 01 47 48 02"));
        // Records hold at most 65,535 bytes; the next starts where one ends.
        const QByteArray small = Counting(0x20000);
        QByteArray literal(65545, 0);
        for (int i = 0; i < literal.size(); ++i)
            literal[i] = char(~(0x10 + i));  // each byte changed
        Made("literal 65545", small, Put(small, 0x10, literal),
             "PATCH" + Hex("000010 ffff") + literal.left(65535) + Hex("01000f 000a") + literal.mid(65535) +
                 "EOF");
        Made("run 70000", small, Put(small, 0x10, QByteArray(70000, char(0xee))),
             Ips("000010 0000 ffff ee 01000f 0000 1171 ee"));
        // Offsets and sizes of 16 MiB or more cannot be written.
        const QByteArray mib16 = Counting(0x1000010);
        Made("the last byte an offset reaches", mib16, Put(mib16, 0xFFFFFF, "ab"), Ips("ffffff 0001 ab"));
        Unmade("a byte at 16 MiB", mib16, Put(mib16, 0xFFFFFF, "ab cd"),
               "IPS cannot change byte 16777216: offsets at or beyond 16 MiB cannot be written");
        Unmade("cut to 16 MiB", mib16, mib16.left(0x1000000), "IPS cannot cut an image to 16777216 bytes");
        Made("cut to 16 MiB less a byte", mib16, mib16.left(0xFFFFFF), Ips("", "ffffff"));

        Gives("later record wins", six, Ips("000001 0003 b1 b2 b3 000002 0001 c2"),
              Hex("10 b1 c2 b3 14 15"));
        Gives("run record with a large count", six, Ips("000004 0000 0100 ee"),
              Hex("10 11 12 13") + QByteArray(256, char(0xee)));
        Gives("record past the end, gap of zeros", six, Ips("000008 0002 f8 f9"),
              Hex("10 11 12 13 14 15 00 00 f8 f9"));
        Gives("run past the end", six, Ips("000005 0000 0002 ee"), Hex("10 11 12 13 14 ee ee"));
        // Up to 4 times the result's size may be written, the size it has grown to counting.
        const QByteArray run6 = Hex("000000 0000 0006 ee"), run8 = Hex("000000 0000 0008 ee");
        Gives("the whole image written 4 times", six, "PATCH" + run6.repeated(4) + "EOF",
              QByteArray(6, char(0xee)));
        Gives("grown image written 4 times", six, "PATCH" + run8.repeated(4) + "EOF",
              QByteArray(8, char(0xee)));
        Gives("cut to the same size", six, Ips("", "000006"), six);
        Gives("record then cut", six, Ips("000005 0003 d5 d6 d7", "000007"), Hex("10 11 12 13 14 d5 d6"));

        // Built to do harm.
        Refused("BPS", {}, "BPS1", "not an IPS patch");
        Refused("UPS", "ABCD", "UPS1xxxxxxxx", "\"PATCH\"");
        Refused("claims 65535 bytes, has 2", six, Ips("000000 ffff 01 02"),
                "byte 5: the record needs 65535 data bytes, the patch has 5 left");
        Refused("run of 0", six, Ips("000002 0000 0000 ee"), "byte 5: a run record with a count of 0");
        Refused("4 times the size written, then a byte more", six,
                "PATCH" + run6.repeated(4) + Hex("000005 0001 ff") + "EOF",
                "byte 37: with this record the patch writes 25 bytes, more than 4 times the 6 bytes");
        Refused("a run rewritten 9 times", six, "PATCH" + run6.repeated(9) + "EOF",
                "byte 37: with this record the patch writes 30 bytes");
        Refused("cut past the end", six, Ips("", "000007"),
                "byte 8: the size to cut the image to, 7 bytes, is past its end (6 bytes)");
        Refused("one byte after the end", six, Ips("", "00"), "byte 8: 1 bytes after the end marker");
        Refused("four bytes after the end", six, Ips("", "00000000"),
                "byte 8: 4 bytes after the end marker");
        // Cut anywhere short of the end of its end marker, naming the byte
        // where the record (or marker) it cuts starts: every length a literal
        // record, its header, a run record and the bytes after its size can
        // be cut to. 2 bytes at 0 (a record from byte 5), a run of 2 at 3
        // (from byte 12), "EOF" from byte 20.
        const QByteArray whole = Ips("000000 0002 a0 a1 000003 0000 0002 ee");
        const std::tuple<int, int, const char*> runs[] = {
            {5, 9, "byte 5: the patch ends before its end marker \"EOF\""},
            {10, 10, "byte 5: the record needs 2 data bytes, the patch has 0 left"},
            {11, 11, "byte 5: the record needs 2 data bytes, the patch has 1 left"},
            {12, 16, "byte 12: the patch ends before its end marker \"EOF\""},
            {17, 19, "byte 12: the patch ends inside this run record"},
            {20, 22, "byte 20: the patch ends before its end marker \"EOF\""}};
        for (const auto& [from, to, says] : runs)
            for (int cut = from; cut <= to; ++cut)
                Refused("cut to " + QByteArray::number(cut), six, whole.left(cut),
                        QString("IPS patch, ") + says);
    }
    void ipsPatches() { CheckPatch(om::PatchFormat::Ips); }

    // --- BPS patches -------------------------------------------------------------
    void bpsPatches_data() {
        PatchColumns();
        Made("one changed", "ABCD", "AXCD", Hex(kOneChanged));
        Made("grows", "AB", "ABCD", Hex("42505331 82 84 80 84 85 43 44 07 4c 69 30 a5 20 17 db 82 8b 99 2f"));
        Made("shrinks", "ABCD", "AB", Hex("42505331 84 82 80 84 a5 20 17 db 07 4c 69 30 d1 26 de 60"));
        Made("to nothing", "ABCD", {}, Hex("42505331 84 80 80 a5 20 17 db 00 00 00 00 0e c0 e7 23"));
        Made("both empty", {}, {}, Hex("42505331 80 80 80 00 00 00 00 00 00 00 00 93 1f d8 5e"));
        Made("same", "XYZ", "XYZ", Hex("42505331 83 83 80 88 ed f8 29 7d ed f8 29 7d a3 fe 3e 13"));
        const QByteArray eight("ABCDEFGH"), all = Hex(kAllActions);
        Gives("all four actions", eight, all, "ABFGHABzzzzzFG");
        Gives("metadata skipped", "ABCD",
              Seal(Hex("42505331 84 84 83") + "m:1" + Hex("8c"), "ABCD", "ABCD"), "ABCD");

        Refused("IPS", {}, "PATCHEOF", "not a BPS patch");
        // Built to do harm, sealed with correct checksums, so that only the
        // harm stops them.
        const auto harm = [&](const char* name, const QByteArray& body, const char* says) {
            Refused(name, eight, Seal("BPS1" + body, eight, {}), says);
        };
        harm("target of 2^64-1", Hex("88 7f7e7e7e7e7e7e7e7e80 80 81"),
             "byte 5: the patch claims a result of 18446744073709551615 bytes");
        harm("target of 64 MiB + 1", Hex("88 017f7e9e 80"),
             "byte 5: the patch claims a result of 67108865 bytes");
        harm("source size over 64 bits", Hex("007f7e7e7e7e7e7e7e80 88 80"),
             "byte 4: a number too large for 64 bits");
        harm("endless number", Hex("88 88 80") + QByteArray(40, 0), "byte 7: a number too large for 64 bits");
        harm("metadata past the end", Hex("88 88 7f7e7e7e7e7e7e7e7e80"),
             "byte 6: the metadata size, 18446744073709551615 bytes, runs past");
        harm("number cut by the checksums", Hex("88 88 80 00"), "byte 7: the patch ends inside a number");
        harm("action longer than the result", Hex("88 88 80 7f7e7e7e7e7e7e7e7e80"),
             "byte 7: the action writes 4611686018427387904 bytes where the result has 8 left");
        harm("SourceRead past the source", Hex("88 8a 80 a4"),
             "byte 7: the action reads past the end of the source");
        harm("TargetRead past the patch", Hex("88 8a 80 a5 41 42 43"),
             "byte 7: the action needs 10 bytes, the patch has 3 left");
        harm("SourceCopy before the start", Hex("88 88 80 82 83"),
             "byte 7: the copy moves the source offset before its start");
        harm("SourceCopy moved past the end", Hex("88 88 80 82 92"),
             "byte 7: the copy moves the source offset past its end");
        harm("SourceCopy reading past the end", Hex("88 88 80 86 8e"),
             "byte 7: the copy reads past the end of the source");
        harm("TargetCopy before anything is written", Hex("88 88 80 83 80"),
             "byte 7: the copy reads target bytes not yet written");
        harm("TargetCopy of the byte being written", Hex("88 88 80 81 41 83 82"),
             "byte 9: the copy reads target bytes not yet written");
        harm("TargetCopy before the start", Hex("88 88 80 81 41 83 83"),
             "byte 9: the copy moves the target offset before its start");
        harm("actions end early", Hex("88 88 80 80"),
             "byte 8: the actions end after 1 bytes of a 8-byte result");
        // Well formed, but the target checksum is of "ABCDEFGX".
        Refused("wrong result", eight, Seal(Hex("42505331 88 88 80 9c"), eight, "ABCDEFGX"),
                "byte 12: the result's CRC32 is 68DCB61C");
        Refused("too short", {}, Hex("42505331 80 80 80 00000000 00000000 000000"),
                "byte 18: the patch ends early");
        // "ABCD" to "AXCD" applied to another image.
        Refused("source, one byte different", "ABCE", Hex(kOneChanged),
                "another image|CRC32 DB1720A5");
        Refused("source longer", "ABCDE", Hex(kOneChanged),
                "another image|expects 4 bytes, this image has 5");
        Refused("source empty", {}, Hex(kOneChanged), "another image|expects 4 bytes, this image has 0");
        // The all-actions patch cut anywhere short (past its magic the
        // position is named), or with any one byte damaged.
        QByteArray damaged = all;
        damaged[9] = char(damaged[9] ^ 1);
        Refused("damaged action byte", eight, damaged, "byte 26: the patch is damaged");
        for (qsizetype n = 0; n < all.size(); ++n)
            Refused("cut to " + QByteArray::number(n), eight, all.left(n),
                    n < 5 ? "BPS" : "BPS patch, byte ");
        for (qsizetype i = 0; i < all.size(); ++i) {
            damaged = all;
            damaged[i] = char(damaged[i] ^ 0x10);
            Refused("byte " + QByteArray::number(i) + " flipped", eight, damaged, "BPS");
        }
    }
    void bpsPatches() { CheckPatch(om::PatchFormat::Bps); }

    // --- The copier-header convention -----------------------------------------
    // Patches written out by hand applied to an image (modified empty), and
    // patches made of two images (the patch's magic telling the format);
    // each with its note, or refused.
    void imagePatch_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("modified");
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QByteArray>("result");  // empty: refused
        QTest::addColumn<QString>("says");       // in the note or the error; empty: no note
        // The cartridge, the same with entry 0's first byte set, two headers.
        const QByteArray cart = Qba(omtest::MakeTestImage(om::kSfcLayout).bytes()),
                         changed = Put(cart, 0xBD89E, "77"), h(512, 'h'), h2 = Put(h, 0, "02");
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
        // A result over 64 MiB cannot be made; one of 64 MiB can, but a patch
        // holding all of it would be too large to be read.
        const QByteArray mib64(64 * 1024 * 1024, 0);
        QTest::newRow("BPS of more than 64 MiB") << QByteArray() << mib64 + '\0' << QByteArray("BPS1")
                                                 << QByteArray() << "the changed image has 67108865 bytes";
        QTest::newRow("BPS too large to be read")
            << QByteArray() << mib64 << QByteArray("BPS1") << QByteArray()
            << "it would be refused when applied: the patch has 67108890 bytes, more than the "
               "67108864 this program reads";
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

    // --- A table edit's patch, made from the tables alone ----------------------
    // The same bytes as the general maker gives for the two whole images, and
    // the edited image's CRC32 from the parts kept: both layouts, edits at the
    // table's first and last byte, scattered, whole, none.
    void tablePatch_data() {
        QTest::addColumn<int>("header");
        QTest::addColumn<QList<int>>("changed");  // table bytes changed; -1: all
        for (int header : {0, 512}) {
            const QByteArray h = QByteArray::number(header);
            QTest::newRow(h + ", none") << header << QList<int>{};
            QTest::newRow(h + ", first byte") << header << QList<int>{0};
            QTest::newRow(h + ", last byte") << header << QList<int>{1939};
            QTest::newRow(h + ", first and last") << header << QList<int>{0, 1939};
            QTest::newRow(h + ", scattered runs") << header << QList<int>{5, 6, 7, 9, 400, 1001, 1002};
            QTest::newRow(h + ", whole table") << header << QList<int>{-1};
        }
    }
    void tablePatch() {
        QFETCH(int, header);
        QFETCH(QList<int>, changed);
        const om::RomLayout layout{header};
        const ByteVector file = omtest::MakeTestImage(layout).bytes();
        const ByteSpan table = om::TableOf(file, layout);
        ByteVector edited(table.begin(), table.end());
        for (int i = 0; i < 1940; ++i)
            if (changed.contains(i) || changed == QList<int>{-1})
                edited[std::size_t(i)] ^= 0x5A;
        const ByteVector image = om::WithTable(file, layout, edited);
        ByteVector expected, made;
        std::string error;
        QVERIFY(om::MakeBpsPatch(file, image, expected, error));
        const om::ImageCrc crc(file, layout);
        QCOMPARE(crc.withTable(table), om::Crc32(file));
        QCOMPARE(crc.withTable(edited), om::Crc32(image));
        QVERIFY(om::MakeTableBpsPatch(
            layout, {file.size(), crc.withTable(table), table, edited, crc.withTable(edited)}, made,
            error));
        QCOMPARE(Qba(made), Qba(expected));
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
        const QByteArray six = Hex("00 01 02 ff 80 0a"),
                         contents = kind == "empty" ? QByteArray() : kind == "large" ? six + "!" : six;
        if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("x.ips"));
        else if (kind == "pipe")
            QCOMPARE(mkfifo(path.c_str(), 0600), 0);  // nobody writes: opening it would block
        else if (kind == "device")
            path = "/dev/zero";
        else if (kind != "missing")
            QVERIFY(om::WriteFileAtomically(path, Span(contents), error));
        ByteVector bytes = kUntouched;
        QCOMPARE(om::ReadWholeFile(path, 6, bytes, error), says.isEmpty());
        if (says.isEmpty()) {
            QCOMPARE(Qba(bytes), contents);
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
