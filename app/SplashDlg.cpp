#include "app/SplashDlg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>

#include "app/DialogLayout.h"
#include "pickers/BuildLayerPickers.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"

namespace om {

namespace {


constexpr ControlSpec kSplashControls[] = {
    {CONTROL(IDC_SPLASH_PROGRESS), ControlKind::ProgressBar, "", 0, 133, 262, 8, kSunken},
    {CONTROL(IDC_SPLASH_PICTURE), ControlKind::Picture, "", 0, 0, 262, 150, 0},
};

constexpr DialogTemplate kSplashLayout{262, 141, kSplashControls};

}  // namespace

CSplashDlg::CSplashDlg(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("IDD_SPLASH"));
    // No caption: the window draws its own thin border. It stays above
    // the main window, which a window manager would otherwise put on top
    // when the main window comes up after it.
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFont(DialogFont());
    const DialogUnits units(font());
    BuildControls(this, kSplashLayout, units);
    picture_ = Control<QLabel>(this, IDC_SPLASH_PICTURE);
    progress_ = Control<QProgressBar>(this, IDC_SPLASH_PROGRESS);

    // The picture control takes the picture's own size; the bar runs along
    // the bottom edge beneath it; the border goes round both.
    const QPixmap picture = QPixmap::fromImage(LoadBitmapResource(IDB_SPLASH));
    picture_->setPixmap(picture);
    picture_->setGeometry(QRect(QPoint(kBorder, kBorder), picture.size()));
    // The window is as wide as the picture, whatever the font's units make
    // of the layout's width.
    const int width = picture.width();
    const int barHeight = units.y(8);
    progress_->setGeometry(kBorder, kBorder + picture.height(), width, barHeight);
    setFixedSize(width + 2 * kBorder, picture.height() + barHeight + 2 * kBorder);

    progress_->setRange(0, kPickerBuildSteps);
    progress_->setValue(0);
    progress_->installEventFilter(this);
    picture_->show();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void CSplashDlg::stepProgress() {
    // Every step shows at once, without a return to the event loop. The bar
    // repaints itself at once when its picture changes; the steps that leave
    // it alone are painted here, so none waits and none is painted twice.
    const int before = barPaints_;
    progress_->setValue(progress_->value() + 1);
    if (barPaints_ == before && isVisible())
        progress_->repaint();
}

void CSplashDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool CSplashDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == progress_ && event->type() == QEvent::Paint)
        ++barPaints_;
    return QDialog::eventFilter(watched, event);
}

}  // namespace om
