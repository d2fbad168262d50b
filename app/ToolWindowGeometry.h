// The places of the main window's tool windows: shown beside the main
// window (see PlaceToolWindow), and where each was last kept in the
// settings under its own key.
#pragma once

#include <QString>

class QEvent;
class QWidget;

namespace om {

// Moves and sizes window, not yet shown, beside its owner on the owner's
// screen: where it was last (the settings under key) when that is on the
// screen and clear of the owner, else beside the owner at its present size.
void PlaceBesideOwner(QWidget* window, const QWidget* owner, const QString& key);

// Shows window as a tool window of owner: placed by PlaceBesideOwner when
// it was not on the screen, and placed again once the window manager has
// given it its frame, should that frame reach off the screen or over the
// owner (a tool window's borders may differ from the owner's).
void ShowBesideOwner(QWidget* window, const QWidget* owner, const QString& key);

// A tool window closed: the keyboard goes back to its owner.
void HandBackToOwner(const QWidget* window);

// Up, Down and the page keys of a filter field's key event go to the list
// below it, so that a row is chosen without leaving the field: true when
// event was one of them and went there.
bool PassedToList(QEvent* event, QWidget* list);

// Keeps window's frame in the settings under key.
void RememberPlace(const QWidget* window, const QString& key);

}  // namespace om
