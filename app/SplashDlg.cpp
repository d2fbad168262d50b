#include "app/SplashDlg.h"

#include <QGuiApplication>
#include <QLabel>
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
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setFont(DialogFont());
    const DialogUnits units(font());
    BuildControls(this, kSplashLayout, units);
    picture_ = Control<QLabel>(this, IDC_SPLASH_PICTURE);
    progress_ = Control<QProgressBar>(this, IDC_SPLASH_PROGRESS);

    // The picture control takes the picture's own size; the bar runs along
    // the bottom edge beneath it.
    const QPixmap picture = QPixmap::fromImage(LoadBitmapResource(IDB_SPLASH));
    picture_->setPixmap(picture);
    picture_->resize(picture.size());
    // The window is as wide as the picture, whatever the font's units make
    // of the layout's width.
    const int width = picture.width();
    const int barHeight = units.y(8);
    progress_->setGeometry(0, picture.height(), width, barHeight);
    setFixedSize(width, picture.height() + barHeight);

    progress_->setRange(0, kPickerBuildSteps);
    progress_->setValue(0);
    picture_->show();

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void CSplashDlg::stepProgress() {
    progress_->setValue(progress_->value() + 1);
    // Repaint at once whenever the filled part grows by a pixel; in between
    // the bar looks the same.
    const int width = progress_->width() * progress_->value() / std::max(1, progress_->maximum());
    if (width != paintedWidth_ && isVisible()) {
        paintedWidth_ = width;
        progress_->repaint();
    }
}

}  // namespace om
