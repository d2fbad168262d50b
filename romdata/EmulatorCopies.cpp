#include "romdata/EmulatorCopies.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "romdata/FileWrite.h"

namespace om {

namespace {

constexpr char kLockSuffix[] = ".lock";

QString Decoded(const std::string& path) { return QFile::decodeName(path.c_str()); }
std::string Encoded(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The lock of a sub-folder, taken without waiting: the open descriptor, or
// -1 when another editor holds it (or it cannot be opened). The kernel lets
// go of an flock when its holder ends, however it ends; QLockFile would
// judge a lock by its holder's program name, which differs between the
// editor and the programs that test it.
int TakeLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace

std::string EmulatorCopyFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return Encoded(QDir::cleanPath(runtime + QStringLiteral("/OMBattleAnim")));
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return Encoded(QDir::cleanPath(state + QStringLiteral("/OMBattleAnim/emulator")));
}

void RemoveAbandonedCopies(const std::string& folder) {
    const QDir dir(Decoded(folder));
    // An editor takes its lock before it makes its sub-folder, so a
    // sub-folder seen here has its lock already held while its editor runs.
    const QStringList subs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& sub : subs) {
        const std::string path = Encoded(dir.filePath(sub));
        const std::string lock = path + kLockSuffix;
        const int fd = TakeLock(lock);
        if (fd < 0)
            continue;
        RemoveTree(path);
        ::unlink(lock.c_str());
        ::close(fd);
    }
    // Locks left without their sub-folder.
    const QStringList locks = dir.entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::Hidden);
    for (const QString& name : locks) {
        const std::string lock = Encoded(dir.filePath(name));
        if (QFileInfo::exists(Decoded(lock.substr(0, lock.size() - std::strlen(kLockSuffix)))))
            continue;
        const int fd = TakeLock(lock);
        if (fd < 0)
            continue;
        ::unlink(lock.c_str());
        ::close(fd);
    }
}

EmulatorCopies::EmulatorCopies(std::string folder) : folder_(std::move(folder)) {}

EmulatorCopies::~EmulatorCopies() {
    if (lockFd_ < 0)
        return;
    RemoveTree(own_);
    ::unlink((own_ + kLockSuffix).c_str());
    ::close(lockFd_);
}

bool EmulatorCopies::MakeOwnFolder(std::string& error) {
    if (lockFd_ >= 0)
        return true;
    std::error_code made;
    std::filesystem::create_directories(folder_, made);
    if (made) {
        error = "cannot make the folder " + folder_ + ": " + made.message();
        return false;
    }
    // What the user runs is nobody else's business: the folder is theirs alone.
    if (::chmod(folder_.c_str(), 0700) != 0) {
        error = "cannot make the folder " + folder_ + " private: " + std::strerror(errno);
        return false;
    }
    const std::string own =
        folder_ + "/" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    const int fd = TakeLock(own + kLockSuffix);
    if (fd < 0) {
        error = "cannot lock " + own + kLockSuffix + ": " + std::strerror(errno);
        return false;
    }
    if (::mkdir(own.c_str(), 0700) != 0) {
        error = "cannot make the folder " + own + ": " + std::strerror(errno);
        ::unlink((own + kLockSuffix).c_str());
        ::close(fd);
        return false;
    }
    own_ = own;
    lockFd_ = fd;
    return true;
}

std::string EmulatorCopies::Write(const std::string& fileName,
                                  const std::vector<std::uint8_t>& image, std::string& error) {
    if (!MakeOwnFolder(error))
        return {};
    const std::string path = own_ + "/" + fileName;
    if (!WriteWholeFile(path, image.data(), image.size(), ExistingFile::Replace, error))
        return {};
    // The copy of a ROM opened before this one.
    const QDir dir(Decoded(own_));
    const QString kept = Decoded(fileName);
    for (const QString& other : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (other != kept)
            RemoveTree(Encoded(dir.filePath(other)));
    return path;
}

}  // namespace om
