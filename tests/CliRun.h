// Runs ombattleanim-cli (named by OM_CLI) as a separate process, and reads
// what it prints. Header-only: used by the companion's test suites.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <ctime>
#include <vector>

#include "TestImages.h"
#include "romdata/RomImage.h"
#include "romdata/RomProbe.h"

namespace omtest {

struct CliRun {
    int exitCode = -1;  // -1: did not start, crashed or did not finish
    QByteArray out;
    QByteArray err;
};

inline CliRun RunCli(const QStringList& args, const QByteArray& input = {}) {
    CliRun r;
    const QString program = QString::fromLocal8Bit(qgetenv("OM_CLI"));
    if (program.isEmpty())
        return r;
    QProcess p;
    p.start(program, args);
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

inline QList<QByteArray> Lines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

// A run that ended with status code, one line on standard error holding
// says, and nothing on standard output.
#define OM_CHECK_REFUSED(run, code, says)                                         \
    do {                                                                          \
        const omtest::CliRun& r_ = (run);                                         \
        QCOMPARE(r_.exitCode, code);                                              \
        QVERIFY2(r_.err.count('\n') == 1 && r_.err.endsWith('\n') && r_.err.size() > 1, \
                 r_.err.constData());                                             \
        QVERIFY2(r_.err.contains(says), r_.err.constData());                      \
        QCOMPARE(r_.out, QByteArray());                                           \
    } while (false)

inline struct timespec ModificationTime(const QString& path) {
    struct stat st {};
    stat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

// Sets a file's modification time well in the past, so that any write shows.
inline bool AgeFile(const QString& path) {
    const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(path).constData(), past, 0) == 0;
}

inline bool IsAged(const QString& path) {
    const struct timespec t = ModificationTime(path);
    return t.tv_sec == 1000000000 && t.tv_nsec == 0;
}

// The same cartridge without its 512-byte copier header.
inline om::RomImage WithoutHeader(const om::RomImage& headered) {
    om::RomImage image(static_cast<long>(headered.bytes().size()) - 512, om::kSfcLayout);
    std::copy(headered.bytes().begin() + 512, headered.bytes().end(), image.bytes().begin());
    return image;
}

// Entry g of the test image is (g, g >> 8, 255 - g % 256, 1), enemy k+1 is
// "Enemy k+1"; headerless, the same cartridge 512 bytes shorter.
inline om::RomImage TestImage(bool headered) {
    const om::RomImage image = MakeTestImage();
    return headered ? image : WithoutHeader(image);
}

// kind 0: the test image headerless, 1: headered; 2 and 3: the same in a
// size that by the size rule alone gives the other layout than the title
// does (headerless, 3 MiB + 77 bytes; headered, 3 MiB + 1024, a multiple of
// 1024), so that only the title tells where the table is.
inline om::RomImage TestImageOfKind(int kind) {
    if (kind < 2)
        return TestImage(kind == 1);
    return MakeTestImage(kind == 3 ? om::kSmcLayout : om::kSfcLayout,
                         3L * 1024 * 1024 + (kind == 3 ? 1024 : 77));
}

inline bool WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// A file the companion must leave as it was: its bytes and its time.
struct Untouched {
    explicit Untouched(const TempRom& rom) : rom_(rom), bytes_(rom.bytes()) {
        aged_ = AgeFile(rom.qpath());
    }
    bool holds() const { return aged_ && rom_.bytes() == bytes_ && IsAged(rom_.qpath()); }

private:
    const TempRom& rom_;
    std::vector<std::uint8_t> bytes_;
    bool aged_ = false;
};

}  // namespace omtest
