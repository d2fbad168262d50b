#include <QApplication>
#include <cstdio>

#include "app/BattleAnimApp.h"
#include "app/CommandLine.h"
#include "app/LocalPath.h"
#include "res/ResourceIds.h"

int main(int argc, char** argv) {
    // The command line is read before the application object connects to a
    // display: --help and --version open no window.
    const om::CommandLine commandLine = om::ParseCommandLine(om::ArgumentsFromArgv(argc, argv));
    if (commandLine.exitStatus >= 0) {
        // Each byte of a name as it was given (see LocalPath.h).
        std::fputs(om::PathBytes(commandLine.out).constData(), stdout);
        std::fputs(om::PathBytes(commandLine.err).constData(), stderr);
        return commandLine.exitStatus;
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(om::kProgramName));
    om::CBattleAnimApp app(commandLine.romPath);
    app.InitInstance();
    return 0;
}
