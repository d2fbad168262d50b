// The texts of the window's message boxes, word for word, as the tests
// expect them (typed here, not taken from the program).
#pragma once

#include <QString>

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
inline const QString kFileChanged = QStringLiteral(
    "The changes were not saved: the file was changed by another program since it was opened "
    "or last saved. Your changes are still in the editor; keep them with File > Export "
    "Patch..., then open the file again.");
inline const QString kFileGone = QStringLiteral(
    "The changes were not saved: the file was deleted, renamed or replaced by another program "
    "since it was opened. Your changes are still in the editor; keep them with File > Export "
    "Patch..., then open the file again.");

}  // namespace omtest
