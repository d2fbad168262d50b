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
inline constexpr int ID_HELP_ABOUT = 32780;
inline constexpr int ID_HELP_README = 57666;
inline constexpr int ID_HELP = 57670;
// File > Set Original ROM...: the untouched image patches are made from.
inline constexpr int ID_FILE_SETORIGINAL = 32860;

// The program's name: the title of every message box.
inline constexpr char kProgramName[] = "OMBattleAnim";

}  // namespace om
