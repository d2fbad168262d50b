// Reaching the main window's tool windows as a user does: a key on the main
// window, or an entry of a right-click menu.
#pragma once

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

namespace omtest {

// The key with Ctrl on the main window, made active first: the tool window
// of type T it opens, once it is active (null when none).
template <class T>
T* PressForToolWindow(QWidget* main, Qt::Key key) {
    main->activateWindow();
    if (!QTest::qWaitForWindowActive(main))
        return nullptr;
    QTest::keyClick(main, key, Qt::ControlModifier);
    auto* t = main->findChild<T*>();
    (void)QTest::qWaitFor([t] { return t && QApplication::activeWindow() == t; });
    return t;
}

// Right-clicks at a point of w: the menu that opens.
inline QMenu* OpenMenu(QWidget* w, QPoint at) {
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
    QApplication::sendEvent(w, &click);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// ... and chooses its entry with command id.
inline bool ChooseFromMenu(QWidget* w, QPoint at, int id) {
    QMenu* menu = OpenMenu(w, at);
    QAction* chosen = nullptr;
    for (QAction* a : menu ? menu->actions() : QList<QAction*>{})
        if (a->property("commandId").toInt() == id)
            chosen = a;
    if (menu)
        menu->close();
    if (chosen)
        chosen->trigger();
    return chosen;
}

}  // namespace omtest
