// The two kinds of control the layer editing works through: a byte field
// whose change handler runs on every update, and a drop-down list of
// thumbnails backed by an image list.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QSize>
#include <QValidator>
#include <cstdint>
#include <string_view>
#include <vector>

namespace om {

// A field's value: the text as a signed decimal integer (an optional minus
// sign and digits, nothing else), or 0 when it is not one, including a
// number too large for 32 bits.
std::int32_t ParseFieldValue(std::string_view text);

// A byte field's text as the byte it stands for: decimal digits, or hex
// digits after a "0x" or "$" prefix, or hex digits alone when hex is true;
// nothing reads as 0.
std::int32_t ByteFieldValue(const QString& text, bool hex);
// A byte as the field shows it: decimal, or two upper-case hex digits.
QString ByteFieldText(std::int32_t value, bool hex);

// What a byte field accepts: nothing (which reads as 0), digits whose number
// is at most 255, or "0x" or "$" and at most two hex digits (shown in upper
// case); in hex mode also two hex digits without a prefix. A keystroke or
// paste that would make anything else is refused, visibly, so a field shows
// exactly the byte Save writes.
class ByteValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
    void setHex(bool hex) { hex_ = hex; }

private:
    bool hex_ = false;
};

class ByteField : public QLineEdit {
    Q_OBJECT
public:
    explicit ByteField(QWidget* parent = nullptr);

    // Sets the text from the program; raises changed() once, even when the
    // text stays the same.
    void setProgramText(const QString& text);
    void setValue(std::int32_t v) { setProgramText(ByteFieldText(v, hex_)); }
    std::int32_t value() const;
    // Shows and takes the byte in hex (two digits) or decimal. The value
    // shown stays the same; nothing is raised.
    void setHex(bool hex);
    bool isHex() const { return hex_; }
    // The sign shown when a keystroke or paste is refused.
    static QString refusalText();

signals:
    // Every user edit and every program update.
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The undo and redo keys go to the window's edit history, not to the
    // field's own typing history.
    bool event(QEvent* event) override;

private:
    ByteValidator* validator_;
    bool hex_ = false;
};

// 32-bit colour images of one size, kept for the whole run.
class ImageList {
public:
    ImageList(QSize imageSize, int growBy);
    QSize imageSize() const { return size_; }
    int count() const { return static_cast<int>(images_.size()); }
    // Copies the image in, converted to 32-bit colour.
    void append(const QImage& image);
    // Puts image in place of image i: the old pixels are let go, not kept
    // beside the new ones.
    void replace(int i, const QImage& image);
    const QPixmap& image(int i) const { return images_.at(static_cast<std::size_t>(i)); }

private:
    QSize size_;
    int growBy_;
    std::vector<QPixmap> images_;
};

class ImagePicker : public QComboBox {
    Q_OBJECT
public:
    explicit ImagePicker(QWidget* parent = nullptr);
    void setImageList(const ImageList* images);
    const ImageList* imageList() const { return images_; }
    // Inserts an item showing image `image` of the attached list.
    void insertImageItem(int index, const QString& text, int image);
    // Inserts an item showing picture, which only that item holds.
    void insertPictureItem(int index, const QString& text, const QPixmap& picture);
    // Item index shows image `image` of the attached list again (after the
    // list's image changed), or picture.
    void showImage(int index, int image);
    void showPicture(int index, const QPixmap& picture);
    // Widens the picker about its centre, as far as needed for the closed
    // box to show the longest item text whole beside the picture.
    void fitClosedBox();

private:
    const ImageList* images_ = nullptr;
};

// Where BuildLayerPickers reports each of its steps.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void step() = 0;
};

}  // namespace om
