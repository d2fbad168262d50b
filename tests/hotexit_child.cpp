// Started by test_hotexit as a process of its own: opens the ROM named on
// the command line in the editor's window, types 77 into the first group's
// layer-1 low byte, says "typed" on standard output and runs until it is
// killed.
#include <QApplication>
#include <QTest>
#include <cstdio>

#include "ScriptedDesktop.h"
#include "app/BattleAnimDlg.h"
#include "app/DialogLayout.h"
#include "res/ResourceIds.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    om::BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    om::CBattleAnimDlg window(data, desktop);
    window.show();
    while (!window.pickersBuilt())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (argc != 2 || !window.LoadRom(QString::fromLocal8Bit(argv[1])))
        return 1;
    auto* field = om::Control<om::ByteField>(&window, om::IDC_LAYER1_LO);
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("77"));
    std::puts("typed");
    std::fflush(stdout);
    return app.exec();
}
