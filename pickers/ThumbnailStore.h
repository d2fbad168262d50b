// The user's own thumbnails: pictures kept as PNG files, one per layer and
// background number (thumbnails/layer1/307.png), that the pickers show in
// place of the built-in placeholders. No widgets: the window, the tests and
// the benchmarks share it.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <set>
#include <utility>
#include <vector>

namespace om {

// What a picture file may be at most before it is even decoded.
inline constexpr int kMaxPictureSide = 8192;
inline constexpr qint64 kMaxPictureFileBytes = 64LL * 1024 * 1024;

// $XDG_DATA_HOME/OMBattleAnim/thumbnails (~/.local/share when unset).
QString DefaultThumbnailFolder();

// Reads a picture from path, refusing what it must not decode: a folder, a
// FIFO or anything but a regular file (looked at before it is opened, so a
// FIFO never blocks), a file over 64 MiB, something that is no picture, a
// damaged picture, one of 0 x 0 pixels or larger than 8192 x 8192 (its size
// read from its header, before a pixel is decoded). A null image, with why
// saying the reason, when refused.
QImage ReadPictureFile(const QString& path, QString& why);

// The picture fitted to a thumbnail of 166 x 145: scaled until it covers
// the thumbnail, then its middle cut out; never stretched. 32-bit colour.
QImage FitThumbnail(const QImage& picture);

// The layer (1 or 2) and background number a file name inside a pack
// stands for: "layer1/307.png"; false for any other name.
bool ParseThumbnailName(const QString& relativePath, int& layer, int& background);
QString ThumbnailName(int layer, int background);

class ThumbnailStore {
public:
    // Looks at which pictures the folder holds (not at their pixels).
    explicit ThumbnailStore(QString folder = DefaultThumbnailFolder());

    const QString& folder() const { return folder_; }
    QString pathOf(int layer, int background) const;
    bool has(int layer, int background) const { return present_.count({layer, background}) != 0; }
    int count() const { return static_cast<int>(present_.size()); }
    // Every picture kept, by layer then background number.
    std::vector<std::pair<int, int>> all() const { return {present_.begin(), present_.end()}; }

    // The picture kept for a background, fitted; null when there is none or
    // it can no longer be read.
    QImage load(int layer, int background) const;

    // Keeps picture, fitted, as the background's thumbnail, written whole.
    // False, with error saying why, when it could not be written.
    bool save(int layer, int background, const QImage& picture, QString& error);
    // Forgets the background's picture; false, with error, when the file
    // could not be removed.
    bool remove(int layer, int background, QString& error);

    struct Transfer {
        int copied = 0;
        QStringList skipped;  // names in the folder that are no thumbnail
        QString error;        // empty when it worked
    };
    // Reads every thumbnail of a pack folder (layer1/N.png, layer2/N.png)
    // and keeps them all, or none when one of them is a bad picture or a
    // write fails (the error names the file and why).
    Transfer importFolder(const QString& pack);
    // Writes every kept picture into a pack folder under the same names.
    Transfer exportFolder(const QString& pack) const;

private:
    QString folder_;
    std::set<std::pair<int, int>> present_;
};

}  // namespace om
