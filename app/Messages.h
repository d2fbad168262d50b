// The texts of the program's message boxes.
#pragma once

#include <array>

namespace om {

inline constexpr char kOpenFailedText[] =
    "An error occurred while attempting to open this file. Check to make sure the file is not "
    "read-only, and is not currently in use by another application.";

inline constexpr char kForeignTitleText[] =
    "This doesn't look like an Orbitmarsh ROM. Continuing may cause damage to your ROM. Do you "
    "want to continue anyway?";

inline constexpr char kSaveFailedText[] =
    "An error occurred while attempting to save the changes to this file. Check to make sure "
    "there is enough free space on the disk, and that the file has not been removed or made "
    "read-only. Your changes are still in the editor; try saving again.";

inline constexpr char kFileChangedText[] =
    "The changes were not saved: the file was changed by another program since it was opened "
    "or last saved. Your changes are still in the editor; keep them with File > Export "
    "Patch..., then open the file again.";

inline constexpr char kFileGoneText[] =
    "The changes were not saved: the file was deleted, renamed or replaced by another program "
    "since it was opened. Your changes are still in the editor; keep them with File > Export "
    "Patch..., then open the file again.";

// %1: the file's size in bytes; %2: the size an image needs at least.
inline constexpr char kTooShortText[] =
    "This file is too short to be an Orbitmarsh ROM image: it is %1 bytes long, and the battle "
    "background table of an Orbitmarsh ROM image ends at byte %2. The file was not opened.";

// %1: the file's size in bytes; %2: the largest size the editor opens.
inline constexpr char kTooLargeText[] =
    "This file is too large to be an Orbitmarsh ROM image: it is %1 bytes long, and the editor "
    "opens images of up to %2 bytes. The file was not opened.";

inline constexpr char kNothingToExportText[] =
    "There is nothing to export: the battle background table in the editor is the same as in "
    "the ROM when it was opened. No patch was written.";

// %1: why, in the words of the patch writer or the file system.
inline constexpr char kExportFailedText[] =
    "An error occurred while attempting to write the patch: %1. No patch was written.";

// A recovery of unsaved edits could not be written; shown once a run.
// %1: why, in the words of the file system.
inline constexpr char kRecoveryFailedText[] =
    "Your unsaved edits could not be kept in case the program ends: %1. Editing goes on; save "
    "your changes to keep them. This is not reported again until the program is started again.";

// A table could not be kept in the ROM's table history (the state folder
// is full or cannot be written, or the history is damaged); shown once a
// run, with the reason under it. The ROM's own write is not affected.
inline constexpr char kTableHistoryFailedText[] =
    "The table history of this ROM could not be written: the table read or saved now is not "
    "kept in it. Saving is not affected: the ROM itself is written as usual. This is not "
    "reported again until the program is started again.";

// File > Table History... found the history damaged or not this ROM's.
inline constexpr char kTableHistoryUnreadableText[] =
    "The table history of this ROM cannot be used, and nothing was taken from it. Move the file "
    "named below away (or delete it) to start a new history.";
// The ROM is being left and its unsaved edits could not be kept; asked
// while it is still open, Yes keeping it open. %1: why, in the words of the
// file system; %2: one of the three texts after it.
inline constexpr char kRecoveryFailedOnLeavingText[] =
    "Your unsaved edits could not be kept in case the program ends: %1. Keep the ROM open, to "
    "save your changes or export them as a patch? %2";
inline constexpr char kLeavingProgramText[] =
    "If you choose No, the program ends and they are lost.";
inline constexpr char kLeavingCloseRomText[] =
    "If you choose No, the ROM is closed and they are lost.";
inline constexpr char kLeavingOtherRomText[] =
    "If you choose No, the other ROM is opened and they are lost.";

// A recovery of this ROM and content is damaged; shown once, as its files
// are set aside. %1: what is wrong with it; %2: the files' new paths.
inline constexpr char kRecoveryDamagedText[] =
    "The unsaved edits kept for this ROM could not be given back: %1. Its files are kept, not "
    "used, as %2. The ROM is shown as it is on the disk.";
// The same when its files could not be renamed. %2: why.
inline constexpr char kRecoveryNotSetAsideText[] =
    "The unsaved edits kept for this ROM could not be given back: %1. Its files could not be set "
    "aside (%2): copy them elsewhere before you edit this ROM, or the next edit replaces them. "
    "The ROM is shown as it is on the disk.";

// Help > Readme and F1. %1: the places searched, one a line.
inline constexpr char kReadmeMissingText[] =
    "The readme (README.TXT) could not be found. These places were searched:\n\n%1\n\n"
    "Reinstalling the program puts it back in the documentation folder.";

// %1: the readme's full path.
inline constexpr char kReadmeNotShownText[] =
    "The readme could not be shown: the desktop has no program set up to open\n\n%1\n\n"
    "Open that file with any text viewer or editor.";

// File > Set Original ROM... refused a file. %1: its path; %2: why.
inline constexpr char kOriginalRefusedText[] =
    "%1 cannot be the original of this ROM: %2. The original was not changed.";

// The original could not be kept in the settings.
inline constexpr char kOriginalNotRememberedText[] =
    "The original ROM could not be remembered: the settings file could not be written. It is "
    "used until this ROM is closed.";

// Export Patch with an original that cannot be used. %1: its path; %2: why.
inline constexpr char kOriginalUnusableText[] =
    "The original ROM %1 cannot be used: %2. No patch was written.";

// %1: the original's path.
inline constexpr char kNothingToExportFromOriginalText[] =
    "There is nothing to export: the image in the editor is the same as the original ROM %1. "
    "No patch was written.";

// A patch was exported. %1: where; %2: how many groups' entries it changes.
inline constexpr char kPatchExportedText[] =
    "The patch was written to %1. It changes the entries of %2 of the 485 groups.";

// The Export Patch dialog's title with an original set. %1: its file name.
inline constexpr char kExportPatchFromTitle[] = "Export Patch from %1";

inline constexpr std::array<const char*, 5> AboutQuips = {
    "Boo.",
    "Hello. My name is Dorn Pippet.",
    "Give this a Tobble. It may just be the Tobble of your life.",
    "Don't look now, but your toaster is on fire.",
    "What came first: the chicken or the sandwich?\n\nHmmm, what indeed.",
};

inline constexpr char kPictureClickText[] = "Shut up, Blix.";
inline constexpr char kPictureClickButtonText[] = "y j00 h4x?";

// The settings file or its lock is unusable; shown once for each problem.
// %1: the file's path; %2: what is wrong with it.
inline constexpr char kSettingsUnusableText[] =
    "The editor's settings cannot be used: %1 %2. The editor goes on without them and does not "
    "keep the list of recent ROMs; move that file away to have the list kept again.";

}  // namespace om
