// Started by test_hotexit and tools/reliability-hotexit.sh as a process of
// its own. The ROM's path is taken as the bytes of the argument, whatever
// they are.
//
//   ombattleanim-hotexit-child ROM [VALUE [GROUP]]
//     opens ROM in the editor's window, types VALUE (77) into the layer-1
//     low byte of the group shown (or of the group list's row GROUP), says
//     "typed" on standard output and runs until it is killed.
//   ombattleanim-hotexit-child --look ROM [GROUP]
//     opens ROM and prints what the window shows of the group shown (or of
//     row GROUP), then ends without leaving
//     the ROM (so that no recovery is written or removed):
//       value=<layer-1 low byte> modified=<0|1> messages=<boxes shown>
//     and one line per box: "message: <its text>".
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ScriptedDesktop.h"
#include "app/BattleAnimDlg.h"
#include "app/DialogLayout.h"
#include "app/LocalPath.h"
#include "res/ResourceIds.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool look = argc >= 3 && std::strcmp(argv[1], "--look") == 0;
    if (argc < 2 || argc > 4)
        return 2;
    const char* rom = argv[look ? 2 : 1];
    const char* value = !look && argc >= 3 ? argv[2] : "77";
    const char* group = argc == 4 ? argv[3] : nullptr;
    om::BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    om::CBattleAnimDlg window(data, desktop);
    window.show();
    while (!window.pickersBuilt())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!window.LoadRom(om::PathFromBytes(QByteArray(rom))))
        return 1;
    if (group) {
        auto* list = om::Control<QComboBox>(&window, om::IDC_GROUP_LIST);
        list->setCurrentIndex(std::atoi(group));
        emit list->activated(list->currentIndex());
    }
    auto* field = om::Control<om::ByteField>(&window, om::IDC_LAYER1_LO);
    if (look) {
        std::printf("value=%s modified=%d messages=%zu\n", qPrintable(field->text()),
                    window.isWindowModified() ? 1 : 0, desktop.shown.size());
        for (const auto& m : desktop.shown)
            std::printf("message: %s\n", m.text.toUtf8().constData());
        std::fflush(stdout);
        // Gone without leaving the ROM: what the state folder holds stays.
        std::_Exit(0);
    }
    field->selectAll();
    QTest::keyClicks(field, QString::fromLatin1(value));
    std::puts("typed");
    std::fflush(stdout);
    return app.exec();
}
