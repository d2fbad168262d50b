#include "app/LocalPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QUrl>
#include <cstdlib>
#include <string_view>

#include "romdata/TerminalSafe.h"

namespace om {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // a byte b that is not UTF-8: U+DC00 + b

}  // namespace

QString PathFromBytes(const QByteArray& bytes) {
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QString out;
    std::size_t run = 0;  // where the current run of valid UTF-8 began
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        if (n > 0) {
            i += n;
            continue;
        }
        out += QString::fromUtf8(text.data() + run, static_cast<qsizetype>(i - run));
        out += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(text[i])));
        run = ++i;
    }
    out += QString::fromUtf8(text.data() + run, static_cast<qsizetype>(text.size() - run));
    return out;
}

QByteArray PathBytes(const QString& path) {
    QByteArray out;
    qsizetype run = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t u = path[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < path.size() && path[i + 1].isLowSurrogate()) {
            ++i;  // a pair: a character beyond U+FFFF
            continue;
        }
        if (u < kEscapeBase + 0x80 || u > kEscapeBase + 0xFF)
            continue;
        out += QStringView(path).mid(run, i - run).toUtf8();
        out += static_cast<char>(u - kEscapeBase);
        run = i + 1;
    }
    out += QStringView(path).mid(run).toUtf8();
    return out;
}

QString PathFromUrl(const QUrl& url) {
    if (!url.isLocalFile())
        return {};
    // Fully encoded, the path keeps every byte as %XX; toLocalFile() would
    // decode it as UTF-8.
    return PathFromBytes(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

QString AbsolutePath(const QString& path) {
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    // QDir::currentPath() would lose the bytes of the current folder's name.
    char* cwd = ::getcwd(nullptr, 0);
    const QString base = cwd ? PathFromBytes(QByteArray(cwd)) : QDir::currentPath();
    std::free(cwd);
    return QDir::cleanPath(base + QLatin1Char('/') + path);
}

bool IsRegularFile(const QString& path) {
    struct stat st {};
    return ::stat(PathBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const QString& path) {
    struct stat st {};
    return ::stat(PathBytes(path).constData(), &st) == 0;
}

}  // namespace om
