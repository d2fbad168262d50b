#include "app/WindowPlacement.h"

#include <algorithm>

namespace om {

namespace {

enum class Side { Right, Left, Below, Above };

// The free part of the screen on one side of the main window.
QRect RoomOn(Side side, const QRect& main, const QRect& screen) {
    switch (side) {
    case Side::Right:
        return QRect(QPoint(main.right() + 1, screen.top()), screen.bottomRight());
    case Side::Left:
        return QRect(screen.topLeft(), QPoint(main.left() - 1, screen.bottom()));
    case Side::Below:
        return QRect(QPoint(screen.left(), main.bottom() + 1), screen.bottomRight());
    case Side::Above:
        return QRect(screen.topLeft(), QPoint(screen.right(), main.top() - 1));
    }
    return {};
}

// v moved into [low, high - length + 1], preferring low when it does not fit.
int Clamp(int v, int low, int high, int length) {
    return std::max(low, std::min(v, high - length + 1));
}

// A window of size s (which fits room) on that side, against the main window.
QRect PutOn(Side side, QSize s, const QRect& room, const QRect& main) {
    switch (side) {
    case Side::Right:
        return QRect(QPoint(room.left(), Clamp(main.top(), room.top(), room.bottom(), s.height())), s);
    case Side::Left:
        return QRect(QPoint(room.right() - s.width() + 1,
                            Clamp(main.top(), room.top(), room.bottom(), s.height())),
                     s);
    case Side::Below:
        return QRect(QPoint(Clamp(main.left(), room.left(), room.right(), s.width()), room.top()), s);
    case Side::Above:
        return QRect(QPoint(Clamp(main.left(), room.left(), room.right(), s.width()),
                            room.bottom() - s.height() + 1),
                     s);
    }
    return {};
}

QRect OntoScreen(QRect r, const QRect& screen) {
    r.setSize(r.size().boundedTo(screen.size()));
    r.moveTopLeft(QPoint(Clamp(r.left(), screen.left(), screen.right(), r.width()),
                         Clamp(r.top(), screen.top(), screen.bottom(), r.height())));
    return r;
}

}  // namespace

QRect PlaceToolWindow(const QRect& mainFrame, QSize size, const QRect& available,
                      const QRect& remembered, QSize minimum) {
    if (remembered.isValid()) {
        const QRect kept = OntoScreen(remembered, available);
        if (!kept.intersects(mainFrame))
            return kept;
        size = kept.size();
    }
    size = size.boundedTo(available.size());
    constexpr Side kSides[] = {Side::Right, Side::Left, Side::Below, Side::Above};
    for (Side side : kSides) {
        const QRect room = RoomOn(side, mainFrame, available);
        if (room.width() >= size.width() && room.height() >= size.height())
            return PutOn(side, size, room, mainFrame);
    }
    // The side where the shrunk window keeps the most of itself.
    QRect best;
    long bestArea = -1;
    for (Side side : kSides) {
        const QRect room = RoomOn(side, mainFrame, available);
        const QSize s = size.boundedTo(room.size());
        if (room.isEmpty() || s.width() < minimum.width() || s.height() < minimum.height() ||
            s.isEmpty())
            continue;
        const long area = long(s.width()) * s.height();
        if (area > bestArea) {
            bestArea = area;
            best = PutOn(side, s, room, mainFrame);
        }
    }
    if (bestArea >= 0)
        return best;
    return QRect(QPoint(available.right() - size.width() + 1, available.top()), size);
}

QRect FrameAround(const QRect& inside, const QMargins& own, const QMargins& alike) {
    return inside.marginsAdded(QMargins(std::max(own.left(), alike.left()), std::max(own.top(), alike.top()),
                                        std::max(own.right(), alike.right()),
                                        std::max(own.bottom(), alike.bottom())));
}

}  // namespace om
