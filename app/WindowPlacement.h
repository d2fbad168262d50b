// Where a tool window of the editor (Find Group, the background browser)
// opens: beside the main window, never over it, and wholly on the screen.
// All rectangles are window frames, title bar and borders included, in the
// screen's coordinates.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace om {

// The frame for a tool window of the given size beside mainFrame on the
// available part of the screen.
// - remembered, when valid, is where the window was last: it is kept, made
//   no larger than the screen and moved back onto it (the screen may have
//   shrunk since), unless it then covers the main window; then only its
//   size counts.
// - Otherwise the window goes right of the main window, else left of it,
//   else below it, else above it: the first side with room for the whole
//   window, lined up with the main window's top (left when below or above)
//   as far as the screen allows.
// - No side with room: the side that leaves the largest window no smaller
//   than minimum, the window shrunk to its room.
// - Not even that (the main window fills the screen): the wanted size,
//   at most the screen's, in the screen's top right corner.
QRect PlaceToolWindow(const QRect& mainFrame, QSize size, const QRect& available,
                      const QRect& remembered = QRect(), QSize minimum = QSize(0, 0));

// A window's frame from its inside and the frame extents known for it and
// for a window the window manager decorates alike. Qt may keep the extents
// it read while the window manager was still decorating the window
// (openbox's first extents lack the one-pixel border), so each side is the
// wider of the two.
QRect FrameAround(const QRect& inside, const QMargins& own, const QMargins& alike);

}  // namespace om
