#include "pickers/ThumbnailStore.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

#include "app/LocalPath.h"
#include "pickers/LayerCatalog.h"
#include "romdata/FileWrite.h"
#include "romdata/RegularFile.h"

namespace om {

namespace {

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// A reader never decodes more than the largest picture accepted needs.
constexpr int kAllocationLimitMiB = kMaxPictureSide / 1024 * kMaxPictureSide / 1024 * 4;

QImage Decode(QIODevice& device, QString& why) {
    QImageReader reader(&device);
    reader.setAllocationLimit(kAllocationLimitMiB);
    // The header's size, before any pixel is decoded.
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide)) {
        why = QStringLiteral("it is larger than %1 x %1 pixels (%2 x %3)")
                  .arg(kMaxPictureSide)
                  .arg(size.width())
                  .arg(size.height());
        return {};
    }
    if (size.isValid() && size.isEmpty()) {
        why = QStringLiteral("it has no pixels (%1 x %2)").arg(size.width()).arg(size.height());
        return {};
    }
    if (reader.format().isEmpty()) {
        why = QStringLiteral("it is not a picture");
        return {};
    }
    QImage image = reader.read();
    if (image.isNull()) {
        why = QStringLiteral("it is damaged (%1)").arg(reader.errorString());
        return {};
    }
    if (image.width() > kMaxPictureSide || image.height() > kMaxPictureSide) {
        why = QStringLiteral("it is larger than %1 x %1 pixels").arg(kMaxPictureSide);
        return {};
    }
    return image;
}

const QRegularExpression& ThumbnailNamePattern() {
    static const QRegularExpression pattern(
        QStringLiteral("^layer([12])/(0|[1-9][0-9]{0,4})\\.png$"));
    return pattern;
}

bool WriteBytes(const QString& path, const QByteArray& bytes, QString& error) {
    std::string why;
    if (WriteWholeFile(PathBytes(path).toStdString(),
                       reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                       static_cast<std::size_t>(bytes.size()), ExistingFile::Replace, why))
        return true;
    error = QString::fromStdString(why);
    return false;
}

QByteArray PngBytes(const QImage& thumbnail) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!thumbnail.save(&buffer, "PNG"))
        return {};
    return bytes;
}

}  // namespace

QString DefaultThumbnailFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/OMBattleAnim/thumbnails");
}

QImage ReadPictureFile(const QString& path, QString& why) {
    RegularFile f = OpenRegularFile(PathBytes(path).toStdString(), O_RDONLY);
    if (f.result == RegularFile::Result::NotRegular) {
        why = S_ISDIR(f.st.st_mode)    ? QStringLiteral("it is a folder")
              : S_ISFIFO(f.st.st_mode) ? QStringLiteral("it is a FIFO")
                                       : QStringLiteral("it is not a regular file");
        return {};
    }
    if (f.result != RegularFile::Result::Opened) {
        why = f.result == RegularFile::Result::Replaced
                  ? QStringLiteral("it was replaced while it was opened")
                  : QStringLiteral("it cannot be read (%1)").arg(SystemReason(f.error));
        return {};
    }
    QFile file;
    if (!file.open(f.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        why = QStringLiteral("it cannot be read (%1)").arg(file.errorString());
        return {};
    }
    if (f.st.st_size > kMaxPictureFileBytes) {
        why = QStringLiteral("it is larger than %1 MiB").arg(kMaxPictureFileBytes / (1024 * 1024));
        return {};
    }
    return Decode(file, why);
}

QImage FitThumbnail(const QImage& picture) {
    const QSize target(kThumbnailWidth, kThumbnailHeight);
    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    if (image.size() != target) {
        const QSize covering = image.size().scaled(target, Qt::KeepAspectRatioByExpanding);
        image = image.scaled(covering, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image = image.copy((image.width() - target.width()) / 2,
                           (image.height() - target.height()) / 2, target.width(), target.height());
    }
    return image;
}

bool ParseThumbnailName(const QString& relativePath, int& layer, int& background) {
    const QRegularExpressionMatch m = ThumbnailNamePattern().match(relativePath);
    if (!m.hasMatch())
        return false;
    const int n = m.captured(2).toInt();
    // Two bytes select a background.
    if (n > 0xFFFF)
        return false;
    layer = m.captured(1).toInt();
    background = n;
    return true;
}

QString ThumbnailName(int layer, int background) {
    return QStringLiteral("layer%1/%2.png").arg(layer).arg(background);
}

ThumbnailStore::ThumbnailStore(QString folder) : folder_(std::move(folder)) {
    for (int layer = 1; layer <= 2; ++layer) {
        const QDir dir(folder_ + QStringLiteral("/layer%1").arg(layer));
        for (const QString& name : dir.entryList(QDir::Files)) {
            int l = 0, n = 0;
            if (ParseThumbnailName(QStringLiteral("layer%1/").arg(layer) + name, l, n))
                present_.insert({l, n});
        }
    }
}

QString ThumbnailStore::pathOf(int layer, int background) const {
    return folder_ + QLatin1Char('/') + ThumbnailName(layer, background);
}

QImage ThumbnailStore::load(int layer, int background) const {
    if (!has(layer, background))
        return {};
    QString why;
    const QImage picture = ReadPictureFile(pathOf(layer, background), why);
    return picture.isNull() ? QImage() : FitThumbnail(picture);
}

bool ThumbnailStore::save(int layer, int background, const QImage& picture, QString& error) {
    const QString path = pathOf(layer, background);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error = QStringLiteral("%1: the folder cannot be made").arg(QFileInfo(path).absolutePath());
        return false;
    }
    const QByteArray png = PngBytes(FitThumbnail(picture));
    if (png.isEmpty()) {
        error = QStringLiteral("%1: the picture could not be encoded").arg(path);
        return false;
    }
    if (!WriteBytes(path, png, error))
        return false;
    present_.insert({layer, background});
    return true;
}

bool ThumbnailStore::remove(int layer, int background, QString& error) {
    const QString path = pathOf(layer, background);
    QFile file(path);
    if (file.exists() && !file.remove()) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    present_.erase({layer, background});
    return true;
}

ThumbnailStore::Transfer ThumbnailStore::importFolder(const QString& pack) {
    Transfer t;
    struct Picture {
        int layer, background;
        QImage image;
    };
    std::vector<Picture> pictures;
    const QDir root(pack);
    QDirIterator it(pack, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    QStringList names;
    while (it.hasNext()) {
        it.next();
        names.append(root.relativeFilePath(it.filePath()));
    }
    names.sort();
    for (const QString& name : names) {
        int layer = 0, background = 0;
        const QFileInfo info(root.filePath(name));
        if (!ParseThumbnailName(name, layer, background)) {
            // The two layer folders themselves are no skipped entry.
            if (!(info.isDir() && !info.isSymLink() &&
                  (name == QLatin1String("layer1") || name == QLatin1String("layer2"))))
                t.skipped.append(name);
            continue;
        }
        QString why;
        const QImage image = ReadPictureFile(info.filePath(), why);
        if (image.isNull()) {
            t.error = QStringLiteral("%1: %2").arg(info.filePath(), why);
            t.skipped.clear();
            return t;
        }
        pictures.push_back({layer, background, FitThumbnail(image)});
    }
    for (const Picture& p : pictures) {
        if (!save(p.layer, p.background, p.image, t.error))
            return t;
        ++t.copied;
    }
    return t;
}

ThumbnailStore::Transfer ThumbnailStore::exportFolder(const QString& pack) const {
    Transfer t;
    for (const auto& [layer, background] : present_) {
        const QString from = pathOf(layer, background);
        const QString to = pack + QLatin1Char('/') + ThumbnailName(layer, background);
        QFile in(from);
        if (!in.open(QIODevice::ReadOnly)) {
            t.error = QStringLiteral("%1: %2").arg(from, in.errorString());
            return t;
        }
        if (!QDir().mkpath(QFileInfo(to).absolutePath())) {
            t.error = QStringLiteral("%1: the folder cannot be made").arg(QFileInfo(to).absolutePath());
            return t;
        }
        if (!WriteBytes(to, in.readAll(), t.error))
            return t;
        ++t.copied;
    }
    return t;
}

}  // namespace om
