#include "app/AboutDlg.h"

#include <QPushButton>
#include <QShortcut>
#include <array>
#include <cstddef>
#include <cstdlib>
#include <ctime>

#include "Version.h"
#include "app/Desktop.h"
#include "app/DialogLayout.h"
#include "app/Messages.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"

namespace om {

namespace {

constexpr char kNoteFirst[] =
    "Heads up: this build isn't finished yet. Only about half of the game's enemy groups "
    "are listed with proper descriptions so far.";

constexpr char kNoteSecond[] =
    "I'll finish it along with my other Orbitmarsh tool, so expect the rest then. Found a "
    "fault? Report it on the project's issue tracker with the group, the bytes you typed "
    "and what happened. No e-mail, please: the tracker is where I look.";

// Joins two string literals at compile time.
template <std::size_t N, std::size_t M>
constexpr std::array<char, N + M - 1> Join(const char (&a)[N], const char (&b)[M]) {
    std::array<char, N + M - 1> out{};
    for (std::size_t i = 0; i + 1 < N; ++i)
        out[i] = a[i];
    for (std::size_t i = 0; i < M; ++i)
        out[N - 1 + i] = b[i];
    return out;
}

constexpr auto kHeading = Join("Orbitmarsh Battle Animation Editor v", kVersion);

constexpr ControlSpec kAboutControls[] = {
    {CONTROL(IDC_ABOUT_ICON), ControlKind::Icon, "", 303, 92, 21, 20, kReportsClicks},
    {CONTROL(IDOK), ControlKind::PushButton, "OK", 258, 3, 66, 14, kDefaultButton | kTabStop},
    {CONTROL(IDC_ABOUT_PICTURE), ControlKind::Picture, "", 3, 3, 96, 90, kSunken | kReportsClicks},
    {0, nullptr, ControlKind::Label, kNoteFirst, 107, 19, 147, 31, kWrap},
    {0, nullptr, ControlKind::GroupFrame, kHeading.data(), 105, 3, 149, 11, 0},
    {0, nullptr, ControlKind::Label, kNoteSecond, 107, 51, 147, 61, kWrap},
};

constexpr DialogTemplate kAboutLayout{331, 117, kAboutControls};

}  // namespace

CAboutDlg::CAboutDlg(Desktop& desktop, QWidget* owner) : QDialog(owner), desktop_(desktop) {
    setObjectName(QStringLiteral("IDD_ABOUTBOX"));
    setWindowTitle(QStringLiteral("About OMBattleAnim"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(DialogFont());
    const DialogUnits units(font());
    BuildControls(this, kAboutLayout, units);
    setFixedSize(units.size(kAboutLayout.width, kAboutLayout.height));

    auto* icon = Control<ClickLabel>(this, IDC_ABOUT_ICON);
    icon->setPixmap(LoadAppIcon().pixmap(32, 32));
    auto* picture = Control<ClickLabel>(this, IDC_ABOUT_PICTURE);
    const QPixmap pixmap = QPixmap::fromImage(LoadBitmapResource(IDB_ABOUT));
    picture->setPixmap(pixmap);
    // The control takes the picture's own size.
    picture->resize(pixmap.size() + QSize(2 * picture->frameWidth(), 2 * picture->frameWidth()));
    ok_ = Control<QPushButton>(this, IDOK);

    connect(icon, &ClickLabel::clicked, this, &CAboutDlg::OnClickAboutIcon);
    connect(picture, &ClickLabel::clicked, this, &CAboutDlg::OnClickAboutPicture);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &CAboutDlg::helpRequested);
}

int CAboutDlg::DrawQuipIndex() {
    // Seeded afresh on every click from the clock and the generator's own
    // next number, twice.
    for (int i = 0; i < 2; ++i)
        std::srand(static_cast<unsigned>(std::time(nullptr)) * static_cast<unsigned>(std::rand()));
    return std::rand() % static_cast<int>(AboutQuips.size());
}

void CAboutDlg::OnClickAboutIcon() {
    desktop_.messageBox(this, QString::fromLatin1(AboutQuips[static_cast<std::size_t>(DrawQuipIndex())]),
                        Desktop::Buttons::Ok, Desktop::Icon::Warning);
}

void CAboutDlg::OnClickAboutPicture() {
    desktop_.messageBox(this, QString::fromLatin1(kPictureClickText), Desktop::Buttons::Ok,
                        Desktop::Icon::Warning);
    ok_->setText(QString::fromLatin1(kPictureClickButtonText));
}

}  // namespace om
