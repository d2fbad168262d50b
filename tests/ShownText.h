// What a label or a tooltip puts on the screen, as text: its own text when it
// is shown as text, else what is left of it once read as rich text ("<b>X</b>"
// shows X). Qt reads a text of format Qt::AutoText (a tooltip's) as rich
// text when it looks like markup.
#pragma once

#include <QLabel>
#include <QTextDocument>

namespace omtest {

inline QString ShownText(const QString& text, Qt::TextFormat format = Qt::AutoText) {
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

inline QString ShownText(const QLabel* label) {
    return label ? ShownText(label->text(), label->textFormat()) : QStringLiteral("(no label)");
}

}  // namespace omtest
