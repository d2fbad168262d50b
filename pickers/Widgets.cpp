#include "pickers/Widgets.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolTip>
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

namespace {

// The length of a hex prefix ("0x", "0X" or "$") text starts with, or 0.
int HexPrefix(const QString& text) {
    if (text.startsWith(u'$'))
        return 1;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        return 2;
    return 0;
}

}  // namespace

std::int32_t ByteFieldValue(const QString& text, bool hex) {
    const int prefix = HexPrefix(text);
    if (!hex && prefix == 0)
        return ParseFieldValue(text.toStdString());
    const QString digits = text.mid(prefix);
    bool ok = false;
    const int v = digits.toInt(&ok, 16);
    return ok && !digits.startsWith(u'-') && !digits.startsWith(u'+') ? v : 0;
}

QString ByteFieldText(std::int32_t value, bool hex) {
    return hex ? QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper()
               : QString::number(value);
}

QValidator::State ByteValidator::validate(QString& input, int&) const {
    const int prefix = HexPrefix(input);
    if (prefix > 0 || hex_) {
        if (input.size() - prefix > 2)
            return Invalid;
        for (qsizetype i = prefix; i < input.size(); ++i) {
            const QChar c = input[i];
            const bool hexDigit = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') ||
                                  (c >= u'A' && c <= u'F');
            if (!hexDigit)
                return Invalid;
            input[i] = c.toUpper();
        }
        // "0x" alone is a number still being typed.
        return input.size() == prefix && prefix > 0 ? Intermediate : Acceptable;
    }
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

ByteField::ByteField(QWidget* parent) : QLineEdit(parent), validator_(new ByteValidator(this)) {
    setValidator(validator_);
    connect(this, &QLineEdit::textEdited, this, &ByteField::changed);
    // A refused keystroke or paste says so where the user looks.
    connect(this, &QLineEdit::inputRejected, this, [this] {
        QToolTip::showText(mapToGlobal(QPoint(0, height())), refusalText(), this);
    });
}

QString ByteField::refusalText() {
    return QStringLiteral("Not a byte: type 0 to 255, or 0x00 to 0xFF");
}

void ByteField::setHex(bool hex) {
    if (hex == hex_)
        return;
    const QString shown = text();
    const std::int32_t v = value();
    hex_ = hex;
    validator_->setHex(hex);
    if (!shown.isEmpty())
        setText(ByteFieldText(v, hex_));
}

void ByteField::setProgramText(const QString& text) {
    setText(text);
    emit changed();
}

std::int32_t ByteField::value() const { return ByteFieldValue(text(), hex_); }

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
    // Every other key is typing the validator takes or refuses.
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
    if (missing <= 0)
        return;
    // The frame the picker stands in grows with it, as far as the window
    // has room.
    QGroupBox* frame = nullptr;
    if (parentWidget())
        for (QGroupBox* g : parentWidget()->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
            if (g->geometry().contains(geometry()))
                frame = g;
    const QRect before = geometry();
    setGeometry(geometry().adjusted(-missing / 2, 0, missing - missing / 2, 0));
    if (frame && !frame->geometry().contains(geometry())) {
        const int margin = std::min(before.left() - frame->geometry().left(), 2);
        frame->setGeometry(frame->geometry()
                               .united(geometry().adjusted(-margin, 0, margin, 0))
                               .intersected(parentWidget()->rect()));
    }
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
