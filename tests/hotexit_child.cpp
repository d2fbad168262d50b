// Started by test_hotexit and tools/reliability_hotexit.sh as a process of
// its own, on the ROM named on the command line (its bytes as given):
//
//   hotexit_child ROM                  types 77 into the first group's layer-1
//                                      low byte, says "typed" on standard
//                                      output and runs until it is killed;
//   hotexit_child --session ROM VALUE  says what the window shows once the
//                                      ROM is open ("restored=<that byte's
//                                      field> modified=<0|1> boxes=<message
//                                      boxes so far>"), types VALUE there
//                                      unless it is "-", and ends the window
//                                      as the program ends.
#include <QApplication>
#include <QTest>
#include <cstdio>
#include <cstring>

#include "ScriptedDesktop.h"
#include "app/BattleAnimDlg.h"
#include "app/DialogLayout.h"
#include "app/LocalPath.h"
#include "res/ResourceIds.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool session = argc == 4 && std::strcmp(argv[1], "--session") == 0;
    if (argc != 2 && !session)
        return 1;
    om::BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    auto window = std::make_unique<om::CBattleAnimDlg>(data, desktop);
    window->show();
    while (!window->pickersBuilt())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!window->LoadRom(om::PathFromBytes(QByteArray(argv[session ? 2 : 1]))))
        return 1;
    auto* field = om::Control<om::ByteField>(window.get(), om::IDC_LAYER1_LO);
    if (session) {
        std::printf("restored=%s modified=%d boxes=%zu\n", qPrintable(field->text()),
                    int(window->isWindowModified()), desktop.shown.size());
        if (std::strcmp(argv[3], "-") != 0) {
            field->selectAll();
            QTest::keyClicks(field, QString::fromLatin1(argv[3]));
        }
        window.reset();
        return 0;
    }
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("77"));
    std::puts("typed");
    std::fflush(stdout);
    return app.exec();
}
