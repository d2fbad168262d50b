#include "app/BattleAnimApp.h"

#include "app/BattleAnimDlg.h"

namespace om {

bool CBattleAnimApp::InitInstance() {
    CBattleAnimDlg dlg(data_, desktop_);
    dlg.OpenRomAfterStartup(startupRom_);
    dlg.exec();
    return false;
}

}  // namespace om
