#include "pickers/Widgets.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <algorithm>
#include <limits>

namespace om {

std::int32_t ParseFieldValue(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        i = 1;
    if (i == text.size())
        return 0;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return 0;
        v = v * 10 + (c - '0');
        if (v > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            return 0;
    }
    if (negative)
        v = -v;
    if (v > std::numeric_limits<std::int32_t>::max())
        return 0;
    return static_cast<std::int32_t>(v);
}

QValidator::State ByteValidator::validate(QString& input, int&) const {
    int v = 0;
    for (const QChar c : input) {
        if (c < u'0' || c > u'9')
            return Invalid;
        v = v * 10 + (c.unicode() - u'0');
        if (v > 255)
            return Invalid;
    }
    return Acceptable;
}

namespace {

bool IsHistoryKey(const QKeyEvent* event) {
    const QKeySequence key(event->keyCombination());
    return event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
           key == QKeySequence(Qt::CTRL | Qt::Key_Y) ||
           key == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
}

}  // namespace

ByteField::ByteField(QWidget* parent) : QLineEdit(parent) {
    setValidator(new ByteValidator(this));
    connect(this, &QLineEdit::textEdited, this, &ByteField::changed);
}

void ByteField::setProgramText(const QString& text) {
    setText(text);
    emit changed();
}

std::int32_t ByteField::value() const {
    return ParseFieldValue(text().toStdString());
}

bool ByteField::event(QEvent* event) {
    // Not claimed here, the key reaches the window's Undo and Redo.
    if (event->type() == QEvent::ShortcutOverride && IsHistoryKey(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    return QLineEdit::event(event);
}

void ByteField::keyPressEvent(QKeyEvent* event) {
    // With nothing to undo or redo the key comes here: it does nothing.
    if (IsHistoryKey(event)) {
        event->accept();
        return;
    }
    const QString t = event->text();
    const bool printable = t.size() == 1 && t[0].isPrint();
    const bool digit = t.size() == 1 && t[0] >= u'0' && t[0] <= u'9';
    // A key with Ctrl, Alt or Meta is a command (Ctrl+V pastes), not typing.
    const bool command =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (printable && !digit && !command) {
        event->accept();  // swallowed: not a digit
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void ImagePicker::fitClosedBox() {
    int text = 0;
    for (int i = 0; i < count(); ++i)
        text = std::max(text, fontMetrics().horizontalAdvance(itemText(i)));
    // The closed box draws the picture at the left of its text field, and
    // the text 4 pixels and 1 pixel of margin after it, cut at the field's
    // end.
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int missing = iconSize().width() + 4 + 1 + text - field.width();
    if (missing > 0)
        setGeometry(geometry().adjusted(-missing / 2, 0, missing - missing / 2, 0));
}

ImageList::ImageList(QSize imageSize, int growBy) : size_(imageSize), growBy_(growBy) {}

void ImageList::append(const QImage& image) {
    if (images_.size() == images_.capacity())
        images_.reserve(images_.size() + static_cast<std::size_t>(growBy_));
    images_.push_back(QPixmap::fromImage(image.convertToFormat(QImage::Format_RGB32)));
}

void ImageList::replace(int i, const QImage& image) {
    images_.at(static_cast<std::size_t>(i)) =
        QPixmap::fromImage(image.convertToFormat(QImage::Format_RGB32));
}

ImagePicker::ImagePicker(QWidget* parent) : QComboBox(parent) {
    setIconSize(QSize(166, 145));
    setMaxVisibleItems(3);
}

void ImagePicker::setImageList(const ImageList* images) {
    images_ = images;
    if (images_)
        setIconSize(images_->imageSize());
}

namespace {

// The icon shares the picture's pixels; it makes no copy.
QIcon PictureIcon(const QPixmap& picture) {
    QIcon icon;
    if (picture.isNull())
        return icon;
    // A disabled picker still shows its thumbnails as they are.
    icon.addPixmap(picture, QIcon::Normal);
    icon.addPixmap(picture, QIcon::Disabled);
    return icon;
}

}  // namespace

void ImagePicker::insertImageItem(int index, const QString& text, int image) {
    const bool known = images_ && image >= 0 && image < images_->count();
    insertItem(index, PictureIcon(known ? images_->image(image) : QPixmap()), text);
}

void ImagePicker::insertPictureItem(int index, const QString& text, const QPixmap& picture) {
    insertItem(index, PictureIcon(picture), text);
}

void ImagePicker::showImage(int index, int image) {
    if (images_ && image >= 0 && image < images_->count())
        showPicture(index, images_->image(image));
}

void ImagePicker::showPicture(int index, const QPixmap& picture) {
    setItemIcon(index, PictureIcon(picture));
}

}  // namespace om
