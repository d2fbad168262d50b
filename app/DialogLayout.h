// Window layouts as tables of controls in dialog units, and their
// conversion into widgets with the metrics of the dialog font.
#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>
#include <QWidget>
#include <span>
#include <vector>

namespace om {

enum class ControlKind {
    PushButton,
    ImagePicker,
    GroupFrame,
    ByteField,
    DropDownList,
    Label,
    OffsetField,
    SortedList,
    Icon,
    Picture,
    ProgressBar,
};

enum ControlFlag : unsigned {
    kDisabled = 1u << 0,
    kHidden = 1u << 1,
    kDefaultButton = 1u << 2,
    kTabStop = 1u << 3,
    kWrap = 1u << 4,
    kSunken = 1u << 5,
    kReportsClicks = 1u << 6,
};

// The identifier's number and name, for the first two fields of a ControlSpec.
#define CONTROL(id) id, #id

struct ControlSpec {
    int id;            // 0 for a control without identifier
    const char* name;  // the identifier's name, or nullptr
    ControlKind kind;
    const char* text;
    int x, y, w, h;    // dialog units
    unsigned flags;
};

struct DialogTemplate {
    int width, height;  // client area, dialog units
    std::span<const ControlSpec> controls;  // layout order = tab order
};

// A picture or icon that reports clicks.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The dialog font: 8-point sans-serif.
QFont DialogFont();

// Dialog units of a font: a horizontal unit is a quarter of its average
// character width, a vertical unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseX, int baseY) : baseX_(baseX), baseY_(baseY) {}
    int x(int du) const { return (du * baseX_ + 2) / 4; }
    int y(int du) const { return (du * baseY_ + 4) / 8; }
    QRect rect(int x0, int y0, int w, int h) const {
        return QRect(x(x0), y(y0), x(x0 + w) - x(x0), y(y0 + h) - y(y0));
    }
    QSize size(int w, int h) const { return QSize(x(w), y(h)); }

private:
    int baseX_;
    int baseY_;
};

// Creates the controls of a layout as children of parent, in layout order,
// sets their identifiers, states and tab order; returns them in that order.
std::vector<QWidget*> BuildControls(QWidget* parent, const DialogTemplate& layout,
                                    const DialogUnits& units);

// The control with identifier id among parent's descendants.
QWidget* FindControl(const QWidget* parent, int id);
template <class T>
T* Control(const QWidget* parent, int id) {
    return qobject_cast<T*>(FindControl(parent, id));
}

}  // namespace om
