// The texts and the setting of the user's own thumbnails: a picker's
// right-click entries and Tools > Import, Export Thumbnails and Screenshot
// Folder.
#pragma once

#include <QString>

namespace om {

// The setting that names the emulator's screenshot folder, and its value
// when unset: mednafen's (~/.mednafen/snaps).
inline constexpr char kScreenshotFolderKey[] = "thumbnails/screenshotFolder";
QString DefaultScreenshotFolder();
// The folder the setting names now.
QString ScreenshotFolder();
void SetScreenshotFolder(const QString& folder);
// The newest picture file in folder (by its time of change), or an empty
// string when it holds none.
QString LatestPicture(const QString& folder);

// %1: the file (or "the picture on the clipboard"); %2: why.
inline constexpr char kBadPictureText[] =
    "The picture %1 cannot be used as a thumbnail: %2. Nothing was changed.";
inline constexpr char kClipboardPictureName[] = "on the clipboard";
inline constexpr char kNoClipboardPictureText[] =
    "The clipboard holds no picture. Copy one (a screenshot, for example), then choose Paste "
    "Thumbnail again.";
// %1: the folder searched.
inline constexpr char kNoScreenshotText[] =
    "There is no picture in the screenshot folder %1. Take a screenshot in the emulator (F9 in "
    "mednafen), or choose another folder with Tools > Screenshot Folder....";
// %1: why, naming the file.
inline constexpr char kThumbnailNotKeptText[] =
    "The thumbnail could not be kept: %1. Nothing was changed.";
// %1: how many; the informative text lists the names skipped.
inline constexpr char kThumbnailsImportedText[] = "%1 thumbnails were imported.";
inline constexpr char kSkippedNamesText[] =
    "Skipped, not named layer1/N.png or layer2/N.png:\n%1";
// %1: the file and why.
inline constexpr char kImportFailedText[] = "No thumbnails were imported: %1.";
inline constexpr char kImportWriteFailedText[] =
    "The thumbnails could not all be imported (%1 were): %2.";
inline constexpr char kNoThumbnailsToExportText[] =
    "There are no thumbnails of your own to export.";
// %1: how many; %2: the folder.
inline constexpr char kThumbnailsExportedText[] = "%1 thumbnails were exported to %2.";
// %1: how many were; %2: why.
inline constexpr char kExportThumbnailsFailedText[] =
    "The thumbnails could not all be exported (%1 were): %2.";

inline constexpr char kImportThumbnailsTitle[] = "Import Thumbnails";
inline constexpr char kExportThumbnailsTitle[] = "Export Thumbnails";
inline constexpr char kScreenshotFolderTitle[] = "Screenshot Folder";

}  // namespace om
