// A main window started as the program starts it (shown, pickers built on
// the first timer tick), with a scripted desktop and a test image on disk.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "ScriptedDesktop.h"
#include "TestImages.h"
#include "app/BattleAnimDlg.h"
#include "app/DialogLayout.h"
#include "app/LocalPath.h"
#include "res/ResourceIds.h"

namespace omtest {

// Right-clicks at a point of w: the menu that opens.
inline QMenu* OpenMenu(QWidget* w, QPoint at) {
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
    QApplication::sendEvent(w, &click);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// ... and chooses its entry with command id, if that is enabled.
inline bool ChooseFromMenu(QWidget* w, QPoint at, int id) {
    QMenu* menu = OpenMenu(w, at);
    QAction* chosen = nullptr;
    for (QAction* a : menu ? menu->actions() : QList<QAction*>{})
        if (a->property("commandId").toInt() == id && a->isEnabled())
            chosen = a;
    if (menu)
        menu->close();
    if (chosen)
        chosen->trigger();
    return chosen;
}

// Writes the test image to folder/name, the name's bytes as they are (not
// all of them UTF-8), and gives the path as the window takes it.
inline QString WriteRomNamed(const QString& folder, const QByteArray& name) {
    const QByteArray path = om::PathBytes(folder) + '/' + name;
    return MakeTestImage().writeFile(path.toStdString()) ? om::PathFromBytes(path) : QString();
}

struct WindowFixture {
    explicit WindowFixture(const om::RomImage& image = MakeTestImage()) : rom(image) { start(); }

    // Ends the window, as the program ends, and starts a new one.
    void restart() {
        window.reset();
        start();
    }
    void start() {
        window = std::make_unique<om::CBattleAnimDlg>(data, desktop);
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(window->pickersBuilt(), 30000);
    }

    template <class T>
    T* control(int id) const {
        return om::Control<T>(window.get(), id);
    }
    QComboBox* groupList() const { return control<QComboBox>(om::IDC_GROUP_LIST); }
    om::ImagePicker* picker(int layer) const {
        return control<om::ImagePicker>(layer == 1 ? om::IDC_LAYER1_PICKER : om::IDC_LAYER2_PICKER);
    }
    om::ByteField* field(int id) const { return control<om::ByteField>(id); }
    QString text(int id) const { return control<QLineEdit>(id)->text(); }
    // The four byte fields: layer 1 low and high, layer 2 low and high.
    QStringList fields() const {
        return {text(om::IDC_LAYER1_LO), text(om::IDC_LAYER1_HI), text(om::IDC_LAYER2_LO),
                text(om::IDC_LAYER2_HI)};
    }

    bool load() { return window->LoadRom(rom.qpath()); }

    // What a user's choice in a list does: the selection moves, then the
    // list reports it.
    static void choose(QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    void chooseGroup(int position) const { choose(groupList(), position); }
    void choosePicker(int layer, int index) const { choose(picker(layer), index); }

    // Replaces a field's text by typing.
    void type(int id, const QString& keys) const {
        om::ByteField* f = field(id);
        f->selectAll();
        if (keys.isEmpty())
            QTest::keyClick(f, Qt::Key_Delete);
        else
            QTest::keyClicks(f, keys);
    }
    void click(int id) const { QTest::mouseClick(control<QPushButton>(id), Qt::LeftButton); }
    void trigger(int id) const { window->command(id)->trigger(); }

    TempRom rom;
    om::BattleAnimData data;
    ScriptedDesktop desktop;
    std::unique_ptr<om::CBattleAnimDlg> window;
};

}  // namespace omtest
