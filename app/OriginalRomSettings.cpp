#include "app/OriginalRomSettings.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "res/ResourceIds.h"

namespace om {

namespace {

QSettings Settings() {
    return QSettings(QString::fromLatin1(kProgramName), QString::fromLatin1(kProgramName));
}

// One group per ROM, named by a hash of its path: a path holds characters
// (slashes) that a settings key cannot.
QString GroupOf(const QString& keyPath) {
    return QStringLiteral("OriginalRoms/") +
           QString::fromLatin1(
               QCryptographicHash::hash(QFile::encodeName(keyPath), QCryptographicHash::Sha256)
                   .toHex()
                   .left(16));
}

}  // namespace

QString OriginalKeyPath(const QString& romPath) {
    const QFileInfo info(romPath);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

std::optional<OriginalRom> RememberedOriginal(const QString& romPath) {
    const QString key = OriginalKeyPath(romPath);
    QSettings settings = Settings();
    settings.beginGroup(GroupOf(key));
    // The path itself is kept too: another ROM whose path hashes alike gets nothing.
    if (settings.value(QStringLiteral("Rom")).toString() != key)
        return std::nullopt;
    bool sizeOk = false, crcOk = false;
    OriginalRom original;
    original.path = QFile::encodeName(settings.value(QStringLiteral("Original")).toString())
                        .toStdString();
    original.size = settings.value(QStringLiteral("Size")).toULongLong(&sizeOk);
    original.crc = settings.value(QStringLiteral("Crc32")).toString().toUInt(&crcOk, 16);
    if (original.path.empty() || !sizeOk || !crcOk)
        return std::nullopt;
    return original;
}

bool RememberOriginal(const QString& romPath, const OriginalRom& original) {
    const QString key = OriginalKeyPath(romPath);
    QSettings settings = Settings();
    settings.beginGroup(GroupOf(key));
    settings.setValue(QStringLiteral("Rom"), key);
    settings.setValue(QStringLiteral("Original"), QFile::decodeName(original.path.c_str()));
    settings.setValue(QStringLiteral("Size"), QString::number(original.size));
    settings.setValue(QStringLiteral("Crc32"),
                      QStringLiteral("%1").arg(original.crc, 8, 16, QLatin1Char('0')).toUpper());
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace om
