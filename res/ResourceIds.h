// Identifiers of the program's windows, controls, menu commands and
// resources. Widgets carry their identifier's name as object name and the
// number as the "controlId" property.
#pragma once

namespace om {

// Standard dialog buttons.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Window layouts.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_BATTLEANIM_DIALOG = 102;
inline constexpr int IDD_SPLASH = 895;

// Resources.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_MAINMENU = 887;
inline constexpr int IDB_SPLASH = 897;
inline constexpr int IDB_ABOUT = 910;
inline constexpr int IDM_ABOUTBOX = 0x0010;

// Main window controls.
inline constexpr int IDC_LAYER1_PICKER = 1000;
inline constexpr int IDC_LAYER2_PICKER = 1001;
inline constexpr int IDC_LAYER1_LO = 1002;
inline constexpr int IDC_LAYER1_HI = 1003;
inline constexpr int IDC_LAYER2_LO = 1004;
inline constexpr int IDC_LAYER2_HI = 1005;
inline constexpr int IDC_GROUP_LIST = 1006;
inline constexpr int IDC_LAYER1_FRAME = 1007;
inline constexpr int IDC_SAVE = 1008;
inline constexpr int IDC_ENTRY_OFFSET = 1016;
inline constexpr int IDC_ORDER_NUMERIC = 1017;
inline constexpr int IDC_ORDER_ALPHA = 1018;
inline constexpr int IDC_ORDER_PROGRESSION = 1019;
inline constexpr int IDC_SORTER = 1021;

// The Find Group window.
inline constexpr int IDD_FIND_GROUP = 131;
inline constexpr int IDC_FIND_FILTER = 1030;
inline constexpr int IDC_FIND_TABLE = 1031;
inline constexpr int IDC_FIND_COUNT = 1032;

// Splash and About controls.
inline constexpr int IDC_SPLASH_PROGRESS = 1012;
inline constexpr int IDC_SPLASH_PICTURE = 1014;
inline constexpr int IDC_ABOUT_ICON = 1023;
inline constexpr int IDC_ABOUT_PICTURE = 1024;

// Menu commands.
inline constexpr int ID_FILE_OPENROM = 32771;
inline constexpr int ID_FILE_CLOSEROM = 32772;
inline constexpr int ID_FILE_SAVECHANGES = 32773;
inline constexpr int ID_FILE_EXIT = 32774;
inline constexpr int ID_FILE_EXPORTPATCH = 32775;
inline constexpr int ID_EDIT_FINDGROUP = 32790;
// Right-click menus: a layer's picker and fields, a row of the Find window.
inline constexpr int ID_GROUPS_USING_BACKGROUND = 32791;
inline constexpr int ID_GROUPS_USING_LAYER1 = 32792;
inline constexpr int ID_GROUPS_USING_LAYER2 = 32793;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_REDO = 57644;
// File > Open Recent: the submenu, its "Clear List", and its entries, the
// newest ROM first (ID_FILE_MRU_FILE1 + 0 ... + 7).
inline constexpr int ID_FILE_OPENRECENT = 32794;
inline constexpr int ID_FILE_CLEARRECENT = 32795;
inline constexpr int ID_FILE_MRU_FILE1 = 0xE110;
// Copy and paste of a group's entry; Find Group's changes of the selected
// rows, its buttons and their commands.
inline constexpr int ID_EDIT_COPYENTRY = 32820;
inline constexpr int ID_EDIT_PASTEENTRY = 32821;
inline constexpr int ID_FIND_SETLAYER1 = 32822;
inline constexpr int ID_FIND_SETLAYER2 = 32823;
inline constexpr int ID_FIND_PASTEENTRY = 32824;
inline constexpr int IDC_FIND_SETLAYER1 = 1140;
inline constexpr int IDC_FIND_SETLAYER2 = 1141;
inline constexpr int IDC_FIND_PASTEENTRY = 1142;
inline constexpr int ID_HELP_ABOUT = 32780;
inline constexpr int ID_HELP_README = 57666;
inline constexpr int ID_HELP = 57670;
// Tools menu: Run in Emulator (F5) and the emulator's command line.
inline constexpr int ID_TOOLS_RUNEMULATOR = 32830;
inline constexpr int ID_TOOLS_EMULATOR = 32831;

// The user's own thumbnails: Tools menu entries, and a picker's right-click
// entries for the thumbnail it shows.
inline constexpr int ID_TOOLS_IMPORTTHUMBNAILS = 32840;
inline constexpr int ID_TOOLS_EXPORTTHUMBNAILS = 32841;
inline constexpr int ID_TOOLS_SCREENSHOTFOLDER = 32842;
inline constexpr int ID_THUMBNAIL_FROMFILE = 32843;
inline constexpr int ID_THUMBNAIL_PASTE = 32844;
inline constexpr int ID_THUMBNAIL_SCREENSHOT = 32845;
inline constexpr int ID_THUMBNAIL_RESET = 32846;

// The background browser (View > Browse Backgrounds...): its window and
// controls, the command that opens it from the menu bar and from a layer's
// right-click menu, and its cells' right-click command.
inline constexpr int IDD_BACKGROUND_BROWSER = 1120;
inline constexpr int IDC_BROWSER_FILTER = 1121;
inline constexpr int IDC_BROWSER_LAYERS = 1122;
inline constexpr int IDC_BROWSER_VIEW = 1123;
inline constexpr int IDC_BROWSER_SIZE = 1124;
inline constexpr int IDC_BROWSER_COUNT = 1125;
inline constexpr int IDC_BROWSER_USE = 1126;
inline constexpr int ID_VIEW_BROWSEBACKGROUNDS = 32810;
inline constexpr int ID_BROWSE_BACKGROUNDS = 32811;
inline constexpr int ID_BROWSER_GROUPS_USING = 32812;

// File > Table History... and File > Revert to Saved.
inline constexpr int IDD_TABLE_HISTORY = 1200;
inline constexpr int IDC_TABLEHISTORY_VERSIONS = 1201;
inline constexpr int IDC_TABLEHISTORY_SUMMARY = 1202;
inline constexpr int IDC_TABLEHISTORY_DIFFERENCES = 1203;
inline constexpr int IDC_TABLEHISTORY_RESTORE = 1204;
inline constexpr int ID_FILE_TABLEHISTORY = 32850;
inline constexpr int ID_FILE_REVERTTOSAVED = 32851;

// File > Set Original ROM...: the untouched image patches are made from.
inline constexpr int ID_FILE_SETORIGINAL = 32860;

// The program's name: the title of every message box.
inline constexpr char kProgramName[] = "OMBattleAnim";

// Group numbers, browsing and hex bytes: the readme window of our own, Go
// and View commands.
inline constexpr int IDC_README_TEXT = 1100;
inline constexpr int ID_GO_BACK = 32800;
inline constexpr int ID_GO_FORWARD = 32801;
inline constexpr int ID_VIEW_HEXBYTES = 32802;

}  // namespace om
