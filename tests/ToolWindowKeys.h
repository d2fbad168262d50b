// Reaching the main window's tool windows as a user does: a key on the main
// window, or an entry of a right-click menu (OpenMenu and ChooseFromMenu of
// WindowFixture.h).
#pragma once

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include "WindowFixture.h"

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

}  // namespace omtest
