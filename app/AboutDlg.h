// The About box: title, picture, a short note, and two jokes hidden in the
// picture and the icon.
#pragma once

#include <QDialog>

class QPushButton;

namespace om {

class Desktop;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(Desktop& desktop, QWidget* owner);

    void OnClickAboutIcon();
    void OnClickAboutPicture();

    // The index of the quip a click on the icon shows.
    static int DrawQuipIndex();

signals:
    // F1 inside the box.
    void helpRequested();

private:
    Desktop& desktop_;
    QPushButton* ok_ = nullptr;
};

}  // namespace om
