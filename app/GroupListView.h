// How the group list shows and takes group numbers: a right-aligned number
// column in the open list and in the closed box (drawn, never part of the
// item text, so the names, their order and type-ahead by letters stay as
// they are), and digits typed into the focused list choosing the group of
// that number.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStyledItemDelegate>

#include "catalogue/GroupOrder.h"

class QComboBox;
class QFontMetrics;
class QModelIndex;
class QPainter;
class QPushButton;

namespace om {

// The number column's text for an item: its group number, or an empty text
// for an item without one.
QString GroupNumberText(const QModelIndex& index);
// Whether the column marks the item as changed from the opened ROM.
bool GroupChangedMark(const QModelIndex& index);

// Sets each item's group number (kGroupNumberRole) from the display order
// the list was filled in.
void SetGroupNumbers(QComboBox* list, const DisplayOrderArray& order);

// Draws an item of the open list: its name at the left, cut short before the
// number column at the right.
class GroupNumberDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Puts the number column into a combo box's open list and closed box, and
// takes digits typed into the box as a group number.
class GroupListNumbers : public QObject {
    Q_OBJECT
public:
    // A pause this long between two digits starts a new number.
    static constexpr int kNumberPauseMs = 1000;

    explicit GroupListNumbers(QComboBox* list);

    // Whether the last choice made by typing continued a number typed before
    // (the "1" of "21"): it replaces the choice of that number's start.
    bool continuedNumber() const { return continued_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PaintClosedBox();
    bool TypeDigit(QChar digit);

    QComboBox* list_;
    QString typed_;
    QElapsedTimer sinceDigit_;
    bool continued_ = false;
};

// The width of the number column for a font: three digits and the mark.
int GroupNumberColumnWidth(const QFontMetrics& metrics);
// Draws the column's mark and number, right-aligned in rect.
void PaintGroupNumber(QPainter* painter, const QRect& rect, const QModelIndex& index);

// The three order buttons: their tooltips, and the active order checked.
void SetUpOrderButtons(QPushButton* numeric, QPushButton* alpha, QPushButton* progression);
void ShowActiveOrder(QPushButton* active);

}  // namespace om
