// The application object: runs the main window modally; when it closes, the
// program ends.
#pragma once

#include <QString>
#include <utility>

#include "app/Desktop.h"
#include "romdata/BattleAnimData.h"

namespace om {

class CBattleAnimApp {
public:
    // startupRom: a ROM named on the command line, opened once the window
    // is up; empty for none.
    explicit CBattleAnimApp(QString startupRom = {}) : startupRom_(std::move(startupRom)) {}

    // Runs the program; returns false so no further event loop starts.
    bool InitInstance();

private:
    BattleAnimData data_;  // the one data set of the run
    QtDesktop desktop_;
    QString startupRom_;
};

}  // namespace om
