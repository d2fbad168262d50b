// The window that covers start-up: the title picture over a progress bar
// that counts the picker build's 832 steps.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace om {

class CSplashDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSplashDlg(QWidget* owner);

    // Advances the bar by one and shows it at once, without returning to
    // the event loop.
    void stepProgress();
    QProgressBar* progressBar() const { return progress_; }

    // The thin border around the picture and the bar, in pixels.
    static constexpr int kBorder = 1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* picture_ = nullptr;
    QProgressBar* progress_ = nullptr;
    int barPaints_ = 0;
};

}  // namespace om
