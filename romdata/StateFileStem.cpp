#include "romdata/StateFileStem.h"

#include <QByteArray>
#include <algorithm>
#include <QCryptographicHash>

#include "romdata/TerminalSafe.h"

namespace om {

namespace {

// The file's name in a stem is cut to this many bytes.
constexpr std::size_t kNameBytes = 64;

}  // namespace

std::string StateFileStem(std::string_view pathBytes) {
    const std::size_t slash = pathBytes.rfind('/');
    const std::string_view name =
        pathBytes.substr(slash == std::string_view::npos ? 0 : slash + 1);
    std::size_t cut = 0;
    while (cut < name.size()) {
        const std::size_t n = std::max<std::size_t>(Utf8Length(name, cut), 1);
        if (cut + n > kNameBytes)
            break;
        cut += n;
    }
    std::string stem = name.starts_with('.') ? "_" : "";
    stem += name.substr(0, cut);
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray(pathBytes.data(), qsizetype(pathBytes.size())),
                                 QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return stem + "-" + hash.toStdString();
}

}  // namespace om
