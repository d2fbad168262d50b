// The readme in a read-only window of the program's own, for a desktop
// whose default application for text cannot show it (a program that needs a
// terminal, none at all, or one that fails to start).
#pragma once

#include <QWidget>

class QTextBrowser;

namespace om {

class ReadmeWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReadmeWindow(QWidget* owner);
    // Shows the text of the file at path; false, and nothing shown, when it
    // cannot be read.
    bool showFile(const QString& path);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

}  // namespace om
