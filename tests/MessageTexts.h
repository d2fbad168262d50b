// The texts of the window's message boxes, word for word, as the tests
// expect them (typed here, once, not taken from the program).
#pragma once

#include <QString>
#include <QStringList>

namespace omtest {

inline const QString kOpenFailed = QStringLiteral(
    "An error occurred while attempting to open this file. Check to make sure the file is not "
    "read-only, and is not currently in use by another application.");
inline const QString kForeignTitle = QStringLiteral(
    "This doesn't look like an Orbitmarsh ROM. Continuing may cause damage to your ROM. Do you "
    "want to continue anyway?");
inline const QString kSaveFailed = QStringLiteral(
    "An error occurred while attempting to save the changes to this file. Check to make sure "
    "there is enough free space on the disk, and that the file has not been removed or made "
    "read-only. Your changes are still in the editor; try saving again.");
inline QString TooShort(long size, long end) {
    return QStringLiteral(
               "This file is too short to be an Orbitmarsh ROM image: it is %1 bytes long, and "
               "the battle background table of an Orbitmarsh ROM image ends at byte %2. The "
               "file was not opened.")
        .arg(size)
        .arg(end);
}
inline const QString kNothingToExport = QStringLiteral(
    "There is nothing to export: the battle background table in the editor is the same as in "
    "the ROM when it was opened. No patch was written.");
// Around the writer's reason.
inline const QString kExportFailedStart =
    QStringLiteral("An error occurred while attempting to write the patch: ");
inline const QString kExportFailedEnd = QStringLiteral(". No patch was written.");
// PLACES: the places searched, one a line; PATH: the readme found.
inline const QString kReadmeMissing = QStringLiteral(
    "The readme (README.TXT) could not be found. These places were searched:\n\nPLACES\n\n"
    "Reinstalling the program puts it back in the documentation folder.");
inline const QString kReadmeNotShown = QStringLiteral(
    "The readme could not be shown: the desktop has no program set up to open\n\nPATH\n\n"
    "Open that file with any text viewer or editor.");
// The About box: a click on its picture, and the icon's quips in their order.
inline const QString kPictureClick = QStringLiteral("Shut up, Blix.");
inline const QString kPictureClickButton = QStringLiteral("y j00 h4x?");
inline const QStringList kQuips = {
    "Boo.",
    "Hello. My name is Dorn Pippet.",
    "Give this a Tobble. It may just be the Tobble of your life.",
    "Don't look now, but your toaster is on fire.",
    "What came first: the chicken or the sandwich?\n\nHmmm, what indeed.",
};
inline const QString kFileChanged = QStringLiteral(
    "The changes were not saved: the file was changed by another program since it was opened "
    "or last saved. Your changes are still in the editor; keep them with File > Export "
    "Patch..., then open the file again.");
inline const QString kFileGone = QStringLiteral(
    "The changes were not saved: the file was deleted, renamed or replaced by another program "
    "since it was opened. Your changes are still in the editor; keep them with File > Export "
    "Patch..., then open the file again.");

}  // namespace omtest
