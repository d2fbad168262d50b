#include "app/OriginalRomSettings.h"

#include <QCryptographicHash>

#include <cstdlib>

#include "app/LocalPath.h"
#include "app/SafeSettings.h"

namespace om {

namespace {

// One group per ROM, named by a hash of its path: a path holds characters
// (slashes) that a settings key cannot.
QString GroupOf(const QString& keyPath) {
    return QStringLiteral("OriginalRoms/") +
           QString::fromLatin1(
               QCryptographicHash::hash(PathBytes(keyPath), QCryptographicHash::Sha256)
                   .toHex()
                   .left(16));
}

}  // namespace

QString OriginalKeyPath(const QString& romPath) {
    // The path's bytes, links resolved: a name that is not UTF-8 keeps them.
    const QByteArray absolute = PathBytes(AbsolutePath(romPath));
    char* real = ::realpath(absolute.constData(), nullptr);
    const QString key = PathFromBytes(real ? QByteArray(real) : absolute);
    std::free(real);
    return key;
}

std::optional<OriginalRom> RememberedOriginal(const QString& romPath) {
    const QString key = OriginalKeyPath(romPath);
    const std::unique_ptr<const QSettings> settings = ReadSettings();
    if (!settings)
        return std::nullopt;
    const QString group = GroupOf(key) + QLatin1Char('/');
    const auto value = [&](const char* name) {
        return settings->value(group + QLatin1String(name));
    };
    // The path itself is kept too: another ROM whose path hashes alike gets nothing.
    if (value("Rom").toString() != key)
        return std::nullopt;
    bool sizeOk = false, crcOk = false;
    OriginalRom original;
    original.path = PathBytes(value("Original").toString()).toStdString();
    original.size = value("Size").toULongLong(&sizeOk);
    original.crc = value("Crc32").toString().toUInt(&crcOk, 16);
    if (original.path.empty() || !sizeOk || !crcOk)
        return std::nullopt;
    return original;
}

bool RememberOriginal(const QString& romPath, const OriginalRom& original) {
    const QString key = OriginalKeyPath(romPath);
    // The four together, in one write.
    return WriteSettings([&](QSettings& settings) {
        settings.beginGroup(GroupOf(key));
        settings.setValue(QStringLiteral("Rom"), key);
        settings.setValue(QStringLiteral("Original"),
                          PathFromBytes(QByteArray::fromStdString(original.path)));
        settings.setValue(QStringLiteral("Size"), QString::number(original.size));
        settings.setValue(QStringLiteral("Crc32"),
                          QStringLiteral("%1").arg(original.crc, 8, 16, QLatin1Char('0')).toUpper());
        settings.endGroup();
    });
}

}  // namespace om
