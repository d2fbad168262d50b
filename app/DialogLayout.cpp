#include "app/DialogLayout.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "pickers/Widgets.h"

namespace om {

QFont DialogFont() {
    QFont f(QStringLiteral("Sans Serif"), 8);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = std::max(1, (fm.horizontalAdvance(letters) / 26 + 1) / 2);
    baseY_ = std::max(1, fm.height());
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        emit clicked();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

namespace {

// A smooth, continuous bar in a sunken edge, cheap enough to repaint on
// every visible step.
class SmoothProgressBar : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = rect();
        qDrawShadePanel(&p, r, palette(), true, 1);
        const QRect inside = r.adjusted(1, 1, -1, -1);
        p.fillRect(inside, palette().base());
        const int span = std::max(1, maximum() - minimum());
        const int filled = int(qint64(inside.width()) * (value() - minimum()) / span);
        p.fillRect(QRect(inside.left(), inside.top(), filled, inside.height()),
                   palette().highlight());
    }
};

QWidget* CreateWidget(QWidget* parent, const ControlSpec& c, const DialogUnits& u) {
    const QString text = QString::fromUtf8(c.text ? c.text : "");
    QWidget* w = nullptr;
    QRect r = u.rect(c.x, c.y, c.w, c.h);
    switch (c.kind) {
    case ControlKind::PushButton: {
        auto* b = new QPushButton(text, parent);
        b->setDefault(c.flags & kDefaultButton);
        w = b;
        break;
    }
    case ControlKind::ImagePicker: {
        auto* p = new ImagePicker(parent);
        // The layout's height includes the opened list; the closed box
        // shows one whole thumbnail.
        r.setHeight(p->iconSize().height() + 8);
        w = p;
        break;
    }
    case ControlKind::DropDownList:
    case ControlKind::SortedList: {
        auto* cb = new QComboBox(parent);
        if (c.kind == ControlKind::SortedList)
            cb->setEditable(true);
        r.setHeight(std::min(r.height(), cb->sizeHint().height()));
        w = cb;
        break;
    }
    case ControlKind::GroupFrame: {
        auto* g = new QGroupBox(text, parent);
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = g;
        break;
    }
    case ControlKind::ByteField:
        w = new ByteField(parent);
        break;
    case ControlKind::OffsetField: {
        auto* e = new QLineEdit(parent);
        e->setReadOnly(true);
        e->setFrame(false);
        QPalette pal = e->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Window));
        e->setPalette(pal);
        // Shows its text in upper case, whatever case it was given in.
        QObject::connect(e, &QLineEdit::textChanged, e, [e](const QString& t) {
            const QString upper = t.toUpper();
            if (upper != t)
                e->setText(upper);
        });
        w = e;
        break;
    }
    case ControlKind::Label: {
        auto* l = new QLabel(parent);
        // Text, never markup, whatever is put into it later.
        l->setTextFormat(Qt::PlainText);
        l->setText(text);
        l->setWordWrap(c.flags & kWrap);
        l->setAlignment(c.flags & kWrap ? Qt::AlignLeft | Qt::AlignTop
                                        : Qt::AlignLeft | Qt::AlignVCenter);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = l;
        break;
    }
    case ControlKind::Icon:
    case ControlKind::Picture: {
        QLabel* l = c.flags & kReportsClicks ? new ClickLabel(parent) : new QLabel(parent);
        if (c.flags & kSunken)
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        w = l;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* p = new SmoothProgressBar(parent);
        p->setTextVisible(false);
        p->setAttribute(Qt::WA_OpaquePaintEvent);
        w = p;
        break;
    }
    }
    w->setGeometry(r);
    w->setFont(parent->font());
    if (c.name)
        w->setObjectName(QString::fromLatin1(c.name));
    if (c.id)
        w->setProperty("controlId", c.id);
    w->setEnabled(!(c.flags & kDisabled));
    if (c.flags & kHidden)
        w->setVisible(false);
    w->setFocusPolicy(c.flags & kTabStop ? Qt::StrongFocus : Qt::NoFocus);
    return w;
}

}  // namespace

std::vector<QWidget*> BuildControls(QWidget* parent, const DialogTemplate& layout,
                                    const DialogUnits& units) {
    std::vector<QWidget*> widgets;
    QWidget* previousTabStop = nullptr;
    for (const ControlSpec& c : layout.controls) {
        QWidget* w = CreateWidget(parent, c, units);
        widgets.push_back(w);
        if (w->focusPolicy() != Qt::NoFocus) {
            if (previousTabStop)
                QWidget::setTabOrder(previousTabStop, w);
            previousTabStop = w;
        }
    }
    // Frames are drawn behind the controls they surround.
    for (QWidget* w : widgets)
        if (qobject_cast<QGroupBox*>(w))
            w->lower();
    return widgets;
}

QWidget* FindControl(const QWidget* parent, int id) {
    const auto all = parent->findChildren<QWidget*>();
    for (QWidget* w : all)
        if (w->property("controlId").toInt() == id)
            return w;
    return nullptr;
}

}  // namespace om
