#include <QApplication>

#include "app/BattleAnimApp.h"
#include "res/ResourceIds.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(om::kProgramName));
    om::CBattleAnimApp app;
    app.InitInstance();
    return 0;
}
