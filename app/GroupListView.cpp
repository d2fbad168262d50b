#include "app/GroupListView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "app/GroupListRoles.h"

namespace om {

QString GroupNumberText(const QModelIndex& index) {
    const QVariant number = index.data(kGroupNumberRole);
    return number.isValid() ? QString::number(number.toInt()) : QString();
}

bool GroupChangedMark(const QModelIndex& index) { return index.data(kGroupChangedRole).toBool(); }

void SetGroupNumbers(QComboBox* list, const DisplayOrderArray& order) {
    const int n = std::min(list->count(), kGroupCount);
    for (int p = 0; p < n; ++p)
        list->setItemData(p, order[static_cast<std::size_t>(p)], kGroupNumberRole);
}

int GroupNumberColumnWidth(const QFontMetrics& metrics) {
    return metrics.horizontalAdvance(QStringLiteral("000")) + metrics.height();
}

void PaintGroupNumber(QPainter* painter, const QRect& rect, const QModelIndex& index) {
    const QString number = GroupNumberText(index);
    painter->drawText(rect, Qt::AlignRight | Qt::AlignVCenter, number);
    if (!GroupChangedMark(index))
        return;
    // A dot in the text's colour just before the number.
    const QFontMetrics metrics = painter->fontMetrics();
    const int d = std::max(3, metrics.height() / 3);
    const int right = rect.right() - metrics.horizontalAdvance(number) - d / 2;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(painter->pen().color());
    painter->drawEllipse(QRect(right - d, rect.center().y() - d / 2, d, d));
    painter->restore();
}

void GroupNumberDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString name = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Background, selection and focus as the style draws an item.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect inner = opt.rect.adjusted(margin, 0, -margin, 0);
    const int column = GroupNumberColumnWidth(opt.fontMetrics);
    const QRect nameRect = inner.adjusted(0, 0, -column - margin, 0);
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal
                                                                         : QPalette::Disabled;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, opt.state & QStyle::State_Selected
                                                 ? QPalette::HighlightedText
                                                 : QPalette::Text));
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                      opt.fontMetrics.elidedText(name, Qt::ElideRight, nameRect.width()));
    PaintGroupNumber(painter, QRect(inner.right() - column + 1, inner.top(), column, inner.height()),
                     index);
    painter->restore();
}

QSize GroupNumberDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width() + GroupNumberColumnWidth(option.fontMetrics), size.height()};
}

GroupListNumbers::GroupListNumbers(QComboBox* list) : QObject(list), list_(list) {
    list_->setItemDelegate(new GroupNumberDelegate(list_));
    list_->installEventFilter(this);
}

bool GroupListNumbers::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::Paint) {
        PaintClosedBox();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString t = key->text();
        const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!command && t.size() == 1 && t[0] >= u'0' && t[0] <= u'9')
            return TypeDigit(t[0]);
    }
    return QObject::eventFilter(watched, event);
}

void GroupListNumbers::PaintClosedBox() {
    // The box as the combo box draws itself, its text cut short before the
    // number column at the right of the text field.
    QStyleOptionComboBox opt;
    opt.initFrom(list_);
    opt.editable = false;
    opt.frame = list_->hasFrame();
    if (list_->hasFocus())
        opt.state |= QStyle::State_Selected;
    if (list_->view()->isVisible())
        opt.state |= QStyle::State_On;
    opt.subControls = QStyle::SC_All;
    opt.iconSize = list_->iconSize();
    QStylePainter painter(list_);
    painter.setPen(list_->palette().color(QPalette::ButtonText));
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);

    const QRect field =
        list_->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, list_);
    const int column = GroupNumberColumnWidth(list_->fontMetrics());
    opt.currentText = list_->fontMetrics().elidedText(list_->currentText(), Qt::ElideRight,
                                                     field.width() - column - 4);
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
    const QModelIndex current = list_->model()->index(list_->currentIndex(), list_->modelColumn());
    if (current.isValid())
        PaintGroupNumber(&painter, QRect(field.right() - column + 1, field.top(), column, field.height()),
                         current);
}

bool GroupListNumbers::TypeDigit(QChar digit) {
    if (!sinceDigit_.isValid() || sinceDigit_.elapsed() >= kNumberPauseMs)
        typed_.clear();
    sinceDigit_.start();
    const bool chosenBefore = !typed_.isEmpty();
    typed_ += digit;
    bool ok = false;
    const int number = typed_.toInt(&ok);
    int p = -1;
    for (int i = 0; ok && i < list_->count(); ++i) {
        const QVariant n = list_->itemData(i, kGroupNumberRole);
        if (n.isValid() && n.toInt() == number) {
            p = i;
            break;
        }
    }
    // A number no group has chooses nothing; the one typed so far stays.
    if (p < 0) {
        typed_.chop(1);
        return true;
    }
    continued_ = chosenBefore;
    // Exactly a user's choice: the selection moves, then the list reports it.
    list_->setCurrentIndex(p);
    emit list_->activated(p);
    return true;
}

void SetUpOrderButtons(QPushButton* numeric, QPushButton* alpha, QPushButton* progression) {
    auto* group = new QButtonGroup(numeric->parent());
    const std::pair<QPushButton*, const char*> tips[] = {{numeric, "Order by group number"},
                                                         {alpha, "Order by description"},
                                                         {progression, "Order by area"}};
    for (const auto& [button, tip] : tips) {
        button->setToolTip(QString::fromLatin1(tip));
        button->setCheckable(true);
        group->addButton(button);
    }
    group->setExclusive(true);
}

void ShowActiveOrder(QPushButton* active) { active->setChecked(true); }

}  // namespace om
