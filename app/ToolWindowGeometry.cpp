#include "app/ToolWindowGeometry.h"
#include "app/SafeSettings.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMargins>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "app/WindowPlacement.h"
#include "res/ResourceIds.h"

namespace om {

namespace {

QString FrameKey(const QString& key) { return key + QStringLiteral("/Frame"); }

// The title bar and borders the window manager gives a window: the
// window's own once it has been on the screen, else its owner's.
QMargins FrameMargins(const QWidget* window, const QWidget* owner) {
    const QWindow* w = window->windowHandle();
    if (w && window->testAttribute(Qt::WA_WState_Created) && !w->frameMargins().isNull())
        return w->frameMargins();
    return owner->windowHandle() ? owner->windowHandle()->frameMargins() : QMargins();
}

// The owner's frame, as wide as the tool window's where Qt's extents for the
// owner are narrower.
QRect OwnerFrame(const QWidget* window, const QWidget* owner) {
    const QMargins o = owner->windowHandle() ? owner->windowHandle()->frameMargins() : QMargins();
    return FrameAround(owner->geometry(), o, FrameMargins(window, owner));
}

void Place(QWidget* window, const QWidget* owner, const QRect& remembered) {
    const QScreen* screen = owner->screen();
    if (!screen)
        return;
    const QMargins m = FrameMargins(window, owner);
    const QSize minimum =
        window->minimumSizeHint().expandedTo(window->minimumSize()).grownBy(m);
    const QRect frame = PlaceToolWindow(OwnerFrame(window, owner), window->size().grownBy(m),
                                        screen->availableGeometry(), remembered, minimum);
    // A window's position is its frame's; its size is inside the frame.
    window->resize(frame.size().shrunkBy(m));
    window->move(frame.topLeft());
}

// Placed again where its frame, as the window manager drew it, is off the
// screen or over the owner.
void KeepBesideOwner(QWidget* window, const QWidget* owner) {
    const QScreen* screen = owner->screen();
    if (!screen || !window->isVisible())
        return;
    const QRect frame = window->frameGeometry();
    if (screen->availableGeometry().contains(frame) && !frame.intersects(OwnerFrame(window, owner)))
        return;
    Place(window, owner, frame);
}

}  // namespace

void PlaceBesideOwner(QWidget* window, const QWidget* owner, const QString& key) {
    Place(window, owner, SettingValue(FrameKey(key)).toRect());
}

void ShowBesideOwner(QWidget* window, const QWidget* owner, const QString& key) {
    if (!owner) {
        window->show();
        return;
    }
    if (!window->isVisible())
        PlaceBesideOwner(window, owner, key);
    window->show();
    // The frame's extents come from the window manager some time after the
    // window is mapped.
    for (int ms : {50, 250, 1000, 2000, 4000})
        QTimer::singleShot(ms, window, [window, owner] { KeepBesideOwner(window, owner); });
}

void HandBackToOwner(const QWidget* window) {
    if (QWidget* owner = window->parentWidget(); owner && owner->isVisible()) {
        owner->activateWindow();
        owner->raise();
    }
}

bool PassedToList(QEvent* event, QWidget* list) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_PageUp && key != Qt::Key_PageDown)
        return false;
    QCoreApplication::sendEvent(list, event);
    return true;
}

void RememberPlace(const QWidget* window, const QString& key) {
    SetSetting(FrameKey(key), window->frameGeometry());
}

}  // namespace om
