// The application object: runs the main window modally; when it closes, the
// program ends.
#pragma once

#include "app/Desktop.h"
#include "romdata/BattleAnimData.h"

namespace om {

class CBattleAnimApp {
public:
    // Runs the program; returns false so no further event loop starts.
    bool InitInstance();

private:
    BattleAnimData data_;  // the one data set of the run
    QtDesktop desktop_;
};

}  // namespace om
