#include "app/BattleAnimDlg.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QStringList>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <QTimerEvent>
#include <QUndoStack>
#include <QUrl>
#include <QDateTime>
#include <utility>

#include "app/AboutDlg.h"
#include "app/Desktop.h"
#include "app/DialogLayout.h"
#include "app/EditHistory.h"
#include "app/EmulatorRun.h"
#include "app/FindGroupDlg.h"
#include "app/GroupListView.h"
#include "app/HotExit.h"
#include "app/LocalPath.h"
#include "app/Messages.h"
#include "app/OpenFailureReason.h"
#include "app/SplashDlg.h"
#include "app/TableHistoryDlg.h"
#include "catalogue/DisplayName.h"
#include "catalogue/GroupTemplates.h"
#include "patch/ImagePatch.h"
#include "patch/Patch.h"
#include "patch/PatchFile.h"
#include "patch/Recovery.h"
#include "pickers/BuildLayerPickers.h"
#include "pickers/ThumbnailStore.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"
#include "romdata/FileWrite.h"
#include "romdata/TableWrite.h"

namespace om {

namespace {

constexpr ControlSpec kMainControls[] = {
    {CONTROL(IDC_SAVE), ControlKind::PushButton, "&Save", 102, 144, 50, 14,
     kDisabled | kDefaultButton | kTabStop},
    {CONTROL(IDCANCEL), ControlKind::PushButton, "&Close", 155, 144, 50, 14, kTabStop},
    {CONTROL(IDC_LAYER1_PICKER), ControlKind::ImagePicker, "", 13, 27, 125, 192,
     kDisabled | kTabStop},
    {CONTROL(IDC_LAYER1_FRAME), ControlKind::GroupFrame, "Layer 1:", 5, 15, 142, 124, 0},
    {CONTROL(IDC_LAYER1_LO), ControlKind::ByteField, "", 99, 121, 19, 12, kDisabled | kTabStop},
    {CONTROL(IDC_LAYER1_HI), ControlKind::ByteField, "", 119, 121, 19, 12, kDisabled | kTabStop},
    {CONTROL(IDC_LAYER2_PICKER), ControlKind::ImagePicker, "", 170, 27, 125, 192,
     kDisabled | kTabStop},
    {0, nullptr, ControlKind::GroupFrame, "Layer 2:", 161, 15, 142, 124, 0},
    {CONTROL(IDC_LAYER2_LO), ControlKind::ByteField, "", 256, 121, 19, 12, kDisabled | kTabStop},
    {CONTROL(IDC_LAYER2_HI), ControlKind::ByteField, "", 276, 121, 19, 12, kDisabled | kTabStop},
    {CONTROL(IDC_GROUP_LIST), ControlKind::DropDownList, "", 5, 1, 248, 138, kDisabled | kTabStop},
    {0, nullptr, ControlKind::Label, "BG number:", 58, 121, 38, 12, 0},
    {0, nullptr, ControlKind::Label, "BG number:", 215, 121, 38, 12, 0},
    {CONTROL(IDC_ENTRY_OFFSET), ControlKind::OffsetField, "", 14, 122, 40, 12, kTabStop},
    {CONTROL(IDC_ORDER_NUMERIC), ControlKind::PushButton, "123", 254, 1, 16, 12, kTabStop},
    {CONTROL(IDC_ORDER_ALPHA), ControlKind::PushButton, "ABC", 270, 1, 17, 12, kTabStop},
    {CONTROL(IDC_ORDER_PROGRESSION), ControlKind::PushButton, "->", 287, 1, 16, 12, kTabStop},
    {CONTROL(IDC_SORTER), ControlKind::SortedList, "", 11, 148, 44, 12, kHidden},
};

constexpr DialogTemplate kMainLayout{308, 162, kMainControls};

// Start-up waits for both windows to be on the screen, looking every few
// milliseconds, for two seconds at most.
constexpr int kOnScreenPollMs = 5;
constexpr int kFirstPaintWaitMs = 2000;

// Never seen: the first fill of the list replaces them.
constexpr const char* kPlaceholderGroups[] = {"Mirelight Sprite", "Bogwater Toad", "Reed Hopper"};

QString FromLatin1(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

class SplashProgress : public ProgressSink {
public:
    explicit SplashProgress(CSplashDlg* splash) : splash_(splash) {}
    void step() override {
        if (splash_)
            splash_->stepProgress();
    }

private:
    CSplashDlg* splash_;
};

}  // namespace

CBattleAnimDlg::CBattleAnimDlg(BattleAnimData& data, Desktop& desktop, QWidget* parent)
    : QDialog(parent),
      data_(data),
      desktop_(desktop),
      icon_(LoadAppIcon()),
      layer1Images_(QSize(kThumbnailWidth, kThumbnailHeight), kImageListGrowBy),
      layer2Images_(QSize(kThumbnailWidth, kThumbnailHeight), kImageListGrowBy) {
    setObjectName(QStringLiteral("IDD_BATTLEANIM_DIALOG"));
    ShowRomInTitle(this, QString());
    // A fixed frame with a minimise box and no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    // A single file dropped on the window is opened as Open ROM opens one.
    setAcceptDrops(true);

    undoStack_ = new QUndoStack(this);
    BuildMenu();
    // File > Open Recent, right after Open ROM.
    recentMenu_ = new RecentFilesMenu(menuBar_->actions().constFirst()->menu(),
                                      command(ID_FILE_CLOSEROM), recent_);
    connect(recentMenu_, &RecentFilesMenu::openRequested, this, &CBattleAnimDlg::OnFileOpenRecent);
    surface_ = new QWidget(this);
    surface_->setObjectName(QStringLiteral("surface"));
    surface_->setFont(font());
    const DialogUnits units(font());
    BuildControls(surface_, kMainLayout, units);
    surface_->installEventFilter(this);

    const QSize client = units.size(kMainLayout.width, kMainLayout.height);
    const int menuHeight = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, client.width(), menuHeight);
    surface_->setGeometry(0, menuHeight, client.width(), client.height());
    setFixedSize(client.width(), menuHeight + client.height());

    // Members bound to their controls, in declaration order.
    sorter_ = Control<QComboBox>(this, IDC_SORTER);
    save_ = Control<QPushButton>(this, IDC_SAVE);
    layer2Hi_ = Control<ByteField>(this, IDC_LAYER2_HI);
    layer1Hi_ = Control<ByteField>(this, IDC_LAYER1_HI);
    layer2Lo_ = Control<ByteField>(this, IDC_LAYER2_LO);
    layer1Lo_ = Control<ByteField>(this, IDC_LAYER1_LO);
    layer1Frame_ = Control<QGroupBox>(this, IDC_LAYER1_FRAME);
    groupList_ = Control<QComboBox>(this, IDC_GROUP_LIST);
    layer2Picker_ = Control<ImagePicker>(this, IDC_LAYER2_PICKER);
    layer1Picker_ = Control<ImagePicker>(this, IDC_LAYER1_PICKER);
    offsetField_ = Control<QLineEdit>(this, IDC_ENTRY_OFFSET);

    for (const char* name : kPlaceholderGroups)
        groupList_->addItem(QString::fromLatin1(name));
    groupList_->setCurrentIndex(-1);

    editor_ = std::make_unique<LayerEditor>(data_, displayOrder_, groupList_, offsetField_,
                                            LayerControls{layer1Picker_, layer1Lo_, layer1Hi_},
                                            LayerControls{layer2Picker_, layer2Lo_, layer2Hi_});
    thumbnails_ = std::make_unique<ThumbnailStore>();
    editor_->setCustomPictures(
        [this](int layer, int background) { return thumbnails_->load(layer, background); });
    history_ = std::make_unique<EditHistory>(undoStack_, data_, *editor_, displayOrder_);
    connect(history_.get(), &EditHistory::unsavedChanged, this, &QWidget::setWindowModified);
    // What a killed editor left half-written among the recoveries goes.
    RemoveStaleTemporaries(RecoveryFolder(), std::chrono::seconds(0));
    hotExit_ = std::make_unique<HotExit>(desktop_, this, [this] { return EditedTable(); });
    connect(history_.get(), &EditHistory::valuesChanged, hotExit_.get(), &HotExit::Changed);
    // Every change of a group's values is a step done, undone or redone
    // (typing merged into its step too), and may change groups not shown:
    // the marks follow it, then Find's rows, which show them.
    connect(undoStack_, &QUndoStack::indexChanged, this, &CBattleAnimDlg::MarkChangedGroups);

    // The command table: every command and notification with its handler.
    connect(layer1Picker_, &QComboBox::activated, this, &CBattleAnimDlg::OnSelchangeLayer1Picker);
    connect(layer2Picker_, &QComboBox::activated, this, &CBattleAnimDlg::OnSelchangeLayer2Picker);
    connect(layer1Lo_, &ByteField::changed, this, &CBattleAnimDlg::OnChangeLayer1Fields);
    connect(layer1Hi_, &ByteField::changed, this, &CBattleAnimDlg::OnChangeLayer1Fields);
    connect(layer2Lo_, &ByteField::changed, this, &CBattleAnimDlg::OnChangeLayer2Fields);
    connect(layer2Hi_, &ByteField::changed, this, &CBattleAnimDlg::OnChangeLayer2Fields);
    connect(groupList_, &QComboBox::activated, this, &CBattleAnimDlg::OnSelchangeGroupList);
    connect(save_, &QPushButton::clicked, this, &CBattleAnimDlg::OnFileSaveChanges);
    connect(Control<QPushButton>(this, IDCANCEL), &QPushButton::clicked, this, &QDialog::reject);
    connect(Control<QPushButton>(this, IDC_ORDER_NUMERIC), &QPushButton::clicked, this,
            &CBattleAnimDlg::OnOrderNumeric);
    connect(Control<QPushButton>(this, IDC_ORDER_ALPHA), &QPushButton::clicked, this,
            &CBattleAnimDlg::OnOrderAlpha);
    connect(Control<QPushButton>(this, IDC_ORDER_PROGRESSION), &QPushButton::clicked, this,
            &CBattleAnimDlg::OnOrderProgression);
    connect(command(ID_FILE_OPENROM), &QAction::triggered, this, &CBattleAnimDlg::OnFileOpenRom);
    connect(command(ID_FILE_CLOSEROM), &QAction::triggered, this, &CBattleAnimDlg::OnFileCloseRom);
    connect(command(ID_FILE_SAVECHANGES), &QAction::triggered, this,
            &CBattleAnimDlg::OnFileSaveChanges);
    connect(command(ID_FILE_SETORIGINAL), &QAction::triggered, this,
            &CBattleAnimDlg::OnFileSetOriginal);
    connect(command(ID_FILE_EXPORTPATCH), &QAction::triggered, this,
            &CBattleAnimDlg::OnFileExportPatch);
    connect(command(ID_FILE_TABLEHISTORY), &QAction::triggered, this,
            &CBattleAnimDlg::OnFileTableHistory);
    connect(command(ID_FILE_REVERTTOSAVED), &QAction::triggered, this,
            &CBattleAnimDlg::OnFileRevertToSaved);
    connect(command(ID_FILE_EXIT), &QAction::triggered, this, &QDialog::reject);
    connect(command(ID_EDIT_FINDGROUP), &QAction::triggered, this, &CBattleAnimDlg::OnEditFindGroup);
    connect(command(ID_EDIT_COPYENTRY), &QAction::triggered, this, &CBattleAnimDlg::OnEditCopyEntry);
    connect(command(ID_EDIT_PASTEENTRY), &QAction::triggered, this,
            &CBattleAnimDlg::OnEditPasteEntry);
    connect(command(ID_VIEW_BROWSEBACKGROUNDS), &QAction::triggered, this,
            &CBattleAnimDlg::OnViewBrowseBackgrounds);
    for (const int layer : {1, 2}) {
        ImagePicker* picker = layer == 1 ? layer1Picker_ : layer2Picker_;
        const auto lookUp = [this, layer] { OnGroupsUsingBackground(layer); };
        const auto browse = [this, layer] { OnBrowseBackgrounds(layer); };
        AddBackgroundLookup({picker}, lookUp, browse,
                            [this, layer](QMenu* menu) {
                                AddThumbnailEntries(layer, ShownBackground(layer), menu);
                            });
        AddBackgroundLookup({layer == 1 ? layer1Lo_ : layer2Lo_, layer == 1 ? layer1Hi_ : layer2Hi_},
                            lookUp, browse);
    }
    connect(command(ID_TOOLS_IMPORTTHUMBNAILS), &QAction::triggered, this,
            &CBattleAnimDlg::OnImportThumbnails);
    connect(command(ID_TOOLS_EXPORTTHUMBNAILS), &QAction::triggered, this,
            &CBattleAnimDlg::OnExportThumbnails);
    connect(command(ID_TOOLS_SCREENSHOTFOLDER), &QAction::triggered, this,
            &CBattleAnimDlg::OnScreenshotFolder);
    emulator_ = std::make_unique<EmulatorRun>(desktop_, this);
    connect(command(ID_TOOLS_RUNEMULATOR), &QAction::triggered, this,
            &CBattleAnimDlg::OnToolsRunInEmulator);
    connect(command(ID_TOOLS_EMULATOR), &QAction::triggered, emulator_.get(),
            &EmulatorRun::ChooseCommand);
    connect(command(ID_HELP_README), &QAction::triggered, this, &CBattleAnimDlg::OnHelpReadme);
    connect(command(ID_HELP_ABOUT), &QAction::triggered, this, &CBattleAnimDlg::OnHelpAbout);
    // The platform has no help engine: F1 opens the readme as Help > Readme does.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setObjectName(QStringLiteral("ID_HELP"));
    connect(help, &QShortcut::activated, this, &CBattleAnimDlg::OnHelpReadme);
    // The history learns of each edit once the handlers above have made it.
    EditHistory* history = history_.get();
    for (QComboBox* picker : {layer1Picker_, layer2Picker_})
        connect(picker, &QComboBox::activated, history, &EditHistory::OnPicked);
    for (ByteField* field : {layer1Lo_, layer1Hi_, layer2Lo_, layer2Hi_})
        connect(field, &QLineEdit::textEdited, history, &EditHistory::OnTyped);
    connect(groupList_, &QComboBox::activated, history, &EditHistory::OnGroupChosen);
    BindBrowsing();
}

CBattleAnimDlg::~CBattleAnimDlg() {
    // Leaving the program keeps the unsaved edits, then flushes and closes
    // an open ROM; nothing is asked.
    hotExit_->Closed();
    romFile_.close();
    delete splash_;
    // The undo stack, a child, is cleared after the editor it would ask.
    undoStack_->disconnect();
}

void CBattleAnimDlg::reject() {
    if (hotExit_->Leave(HotExit::Leaving::Program))
        QDialog::reject();
}

void CBattleAnimDlg::BuildMenu() {
    struct MenuEntry {
        const char* menu;
        int id;
        const char* name;
        const char* text;
        QKeySequence::StandardKey key = QKeySequence::UnknownKey;
    };
    // One row a menu entry, in menu order; a row without text is a separator.
    static constexpr MenuEntry kMenu[] = {
        {"&File", CONTROL(ID_FILE_OPENROM), "&Open ROM", QKeySequence::Open},
        {"&File", CONTROL(ID_FILE_CLOSEROM), "C&lose ROM", QKeySequence::Close},
        {"&File", CONTROL(ID_FILE_SAVECHANGES), "&Save Changes", QKeySequence::Save},
        {"&File", CONTROL(ID_FILE_EXPORTPATCH), "Export &Patch..."},
        {"&File", CONTROL(ID_FILE_TABLEHISTORY), "Table &History..."},
        {"&File", CONTROL(ID_FILE_REVERTTOSAVED), "Re&vert to Saved"},
        {"&File", CONTROL(ID_FILE_SETORIGINAL), "Set &Original ROM..."},
        {"&File", 0, nullptr, nullptr},
        {"&File", CONTROL(ID_FILE_EXIT), "&Exit", QKeySequence::Quit},
        {"&Edit", CONTROL(ID_EDIT_UNDO), "&Undo"},
        {"&Edit", CONTROL(ID_EDIT_REDO), "&Redo"},
        {"&Edit", 0, nullptr, nullptr},
        {"&Edit", CONTROL(ID_EDIT_COPYENTRY), "&Copy Entry"},
        {"&Edit", CONTROL(ID_EDIT_PASTEENTRY), "&Paste Entry"},
        {"&Edit", 0, nullptr, nullptr},
        {"&Edit", CONTROL(ID_EDIT_FINDGROUP), "&Find Group...", QKeySequence::Find},
        {"&View", CONTROL(ID_VIEW_BROWSEBACKGROUNDS), "&Browse Backgrounds..."},
        {"&View", CONTROL(ID_VIEW_HEXBYTES), "&Hexadecimal Bytes"},
        {"&Go", CONTROL(ID_GO_BACK), "&Back"},
        {"&Go", CONTROL(ID_GO_FORWARD), "&Forward"},
        {"&Tools", CONTROL(ID_TOOLS_RUNEMULATOR), "&Run in Emulator"},
        {"&Tools", CONTROL(ID_TOOLS_EMULATOR), "&Emulator..."},
        {"&Tools", 0, nullptr, nullptr},
        {"&Tools", CONTROL(ID_TOOLS_IMPORTTHUMBNAILS), "&Import Thumbnails..."},
        {"&Tools", CONTROL(ID_TOOLS_EXPORTTHUMBNAILS), "E&xport Thumbnails..."},
        {"&Tools", CONTROL(ID_TOOLS_SCREENSHOTFOLDER), "&Screenshot Folder..."},
        {"&Help", CONTROL(ID_HELP_README), "&Readme"},
        {"&Help", CONTROL(ID_HELP_ABOUT), "&About..."},
    };
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("IDR_MAINMENU"));
    QMenu* current = nullptr;
    QString currentTitle;
    for (const MenuEntry& e : kMenu) {
        if (!current || currentTitle != QLatin1String(e.menu)) {
            currentTitle = QLatin1String(e.menu);
            current = menuBar_->addMenu(currentTitle);
        }
        if (!e.text) {
            current->addSeparator();
            continue;
        }
        // Undo and Redo are the history's: their texts name the step, and
        // they are disabled while there is nothing to undo or redo.
        const QString text = QString::fromLatin1(e.text);
        QAction* a = e.id == ID_EDIT_UNDO   ? undoStack_->createUndoAction(current, text)
                     : e.id == ID_EDIT_REDO ? undoStack_->createRedoAction(current, text)
                                            : new QAction(text, current);
        current->addAction(a);
        a->setObjectName(QString::fromLatin1(e.name));
        a->setProperty("commandId", e.id);
        if (e.key != QKeySequence::UnknownKey)
            a->setShortcuts(e.key);
    }
    command(ID_EDIT_UNDO)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    command(ID_TOOLS_RUNEMULATOR)->setShortcut(QKeySequence(Qt::Key_F5));
    command(ID_TOOLS_RUNEMULATOR)->setEnabled(false);
    command(ID_VIEW_BROWSEBACKGROUNDS)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    command(ID_EDIT_REDO)->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    command(ID_EDIT_COPYENTRY)->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    command(ID_EDIT_PASTEENTRY)->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    for (int id : {ID_EDIT_COPYENTRY, ID_EDIT_PASTEENTRY})
        command(id)->setEnabled(false);
    command(ID_GO_BACK)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    command(ID_GO_FORWARD)->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
}

QAction* CBattleAnimDlg::command(int id) const {
    const auto actions = menuBar_->findChildren<QAction*>();
    for (QAction* a : actions)
        if (a->property("commandId").toInt() == id)
            return a;
    return nullptr;
}

void CBattleAnimDlg::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CBattleAnimDlg::OnInitDialog() {
    // The platform lets no program edit the window menu; the About box is
    // reached through Help > About... .
    setWindowIcon(icon_);
    displayOrder_ = NumericOrder();
    // Start with the focus on the read-only offset field, where Enter does
    // nothing, rather than on the Close button.
    offsetField_->setFocus(Qt::OtherFocusReason);
    splash_ = new CSplashDlg(this);
    splash_->installEventFilter(this);
    splash_->show();
    // The pickers are built once both windows are on the screen: exposed by
    // the window system and painted. A window that is never exposed (a
    // hidden desktop, no screen) must not hold the start-up for ever.
    onScreenWait_.start();
    onScreenPoll_ = startTimer(kOnScreenPollMs);
}

bool CBattleAnimDlg::event(QEvent* event) {
    if (event->type() == QEvent::Paint)
        mainPainted_ = true;
    return QDialog::event(event);
}

bool CBattleAnimDlg::BothWindowsOnScreen() const {
    const auto exposed = [](const QWidget* w) {
        return w->windowHandle() && w->windowHandle()->isExposed();
    };
    return mainPainted_ && exposed(this) && (!splash_ || (splashPainted_ && exposed(splash_)));
}

void CBattleAnimDlg::StartStartupTimer() {
    // Once only: the timer is the program's one start-up tick.
    if (startupTimer_ != 0 || pickerBuilds_ > 0)
        return;
    startupTimer_ = startTimer(0);
}

void CBattleAnimDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == onScreenPoll_ && onScreenPoll_ != 0) {
        if (BothWindowsOnScreen() || onScreenWait_.elapsed() >= kFirstPaintWaitMs) {
            killTimer(onScreenPoll_);
            onScreenPoll_ = 0;
            StartStartupTimer();
        }
        return;
    }
    if (event->timerId() == startupTimer_ && startupTimer_ != 0 && pickerBuilds_ == 0) {
        killTimer(startupTimer_);
        OnStartupTick();
        if (pendingOpen_)
            std::exchange(pendingOpen_, nullptr)();
        return;
    }
    QDialog::timerEvent(event);
}

void CBattleAnimDlg::OnStartupTick() {
    SplashProgress progress(splash_);
    // The user's own pictures replace the built-in ones, within the same steps.
    BuildLayerPickers(pickerTarget(1), pickerTarget(2), &progress);
    ++pickerBuilds_;
    showNormal();
    if (splash_) {
        splash_->hide();
        delete splash_;
        splash_ = nullptr;
    }
}

bool CBattleAnimDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == splash_ && event->type() == QEvent::Paint)
        splashPainted_ = true;
    if (watched == surface_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        OnLButtonUp();
    return QDialog::eventFilter(watched, event);
}

void CBattleAnimDlg::OnLButtonUp() {
    // A disabled list takes no focus, so without a ROM the focus stays.
    if (groupList_->isEnabled())
        groupList_->setFocus(Qt::MouseFocusReason);
}

void CBattleAnimDlg::EnableEditing(bool enable) {
    for (QWidget* w : std::initializer_list<QWidget*>{groupList_, layer1Picker_, layer2Picker_,
                                                      layer1Lo_, layer1Hi_, layer2Lo_, layer2Hi_,
                                                      save_})
        w->setEnabled(enable);
    for (int id : {ID_EDIT_COPYENTRY, ID_EDIT_PASTEENTRY})
        command(id)->setEnabled(enable);
    command(ID_TOOLS_RUNEMULATOR)->setEnabled(enable);
}

// --- ROM life cycle -------------------------------------------------------

bool CBattleAnimDlg::KeptUntilBuilt(std::function<void()> open) {
    // A ROM loaded into pickers not yet built would show nothing selected in
    // them; the build would then select nothing either.
    if (pickersBuilt())
        return false;
    pendingOpen_ = std::move(open);
    return true;
}

void CBattleAnimDlg::OnFileOpenRom() {
    if (KeptUntilBuilt([this] { OnFileOpenRom(); }))
        return;
    const QString path = desktop_.chooseRomFile(nullptr, recent_.lastFolder());
    if (path.isEmpty())
        return;
    OpenRomPath(path);
}

void CBattleAnimDlg::OnFileOpenRecent(const QString& path) {
    if (KeptUntilBuilt([this, path] { OnFileOpenRecent(path); }))
        return;
    if (!OpenRomPath(path) && !PathExists(path)) {
        recent_.remove(path);
        recentMenu_->rebuild();
    }
}

bool CBattleAnimDlg::OpenRomPath(const QString& path) {
    if (KeptUntilBuilt([this, path] { OpenRomPath(path); }))
        return false;
    return IsRomTitleValid(path) && LoadRom(path);
}

QString DroppedRomPath(const QMimeData* data) {
    if (!data || !data->hasUrls())
        return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = PathFromUrl(urls.first());
    return IsRegularFile(path) ? path : QString();
}

void CBattleAnimDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedRomPath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CBattleAnimDlg::dropEvent(QDropEvent* event) {
    const QString path = DroppedRomPath(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Opened once the drop is over: the question about a foreign title must
    // not keep the program the file came from waiting for the drop's end.
    QTimer::singleShot(0, this, [this, path] { OpenRomPath(path); });
}

bool CBattleAnimDlg::IsRomTitleValid(const QString& path) {
    OpenFailure why = OpenFailure::None;
    int error = 0;
    std::unique_ptr<RomStream> s = RomFile::OpenForUpdate(PathBytes(path).toStdString(),
                                                          &why, romFile_.held(), &error);
    if (!s) {
        ShowOpenFailed(OpenFailureReason(why, error));
        return false;
    }
    // The title decides where the table is, so a file too short for it is
    // refused before anything is asked.
    const RomProbe probe = ProbeRom(s->file(), s->size());
    const int readError = s->readError();
    s.reset();
    if (readError != 0) {
        ShowOpenFailed(OpenFailureReason(OpenFailure::CannotOpen, readError));
        return false;
    }
    if (probe.size > kMaxRomImageSize) {
        ShowSizeProblem(kTooLargeText, probe.size, kMaxRomImageSize);
        return false;
    }
    if (!probe.holdsTable()) {
        ShowSizeProblem(kTooShortText, probe.size, probe.layout.tableEnd());
        return false;
    }
    if (probe.titleMatches)
        return true;
    return desktop_.messageBox(this, QString::fromLatin1(kForeignTitleText),
                               Desktop::Buttons::YesNo,
                               Desktop::Icon::Question) == Desktop::Answer::Yes;
}

void CBattleAnimDlg::ShowOpenFailed(const QString& reason) {
    desktop_.messageBox(this, QString::fromLatin1(kOpenFailedText), Desktop::Buttons::Ok,
                        Desktop::Icon::Warning, reason);
}

void CBattleAnimDlg::ShowSizeProblem(const char* text, long size, long limit) {
    desktop_.messageBox(this, QString::fromLatin1(text).arg(size).arg(limit), Desktop::Buttons::Ok,
                        Desktop::Icon::Warning);
}

bool CBattleAnimDlg::LoadRom(const QString& path) {
    // Everything that can fail happens before anything changes: the open,
    // the lock, reading the whole image and checking it. A file refused
    // here leaves the editor as it was.
    OpenFailure why = OpenFailure::None;
    int error = 0;
    std::unique_ptr<RomStream> s = RomFile::OpenForUpdate(PathBytes(path).toStdString(),
                                                          &why, romFile_.held(), &error);
    std::vector<std::uint8_t> image;
    // Stamped before it is read: a change while reading shows at Save.
    FileStamp stamp;
    if (!s || !StampOf(*s, stamp) || !s->readAll(image, kMaxRomImageSize)) {
        if (s && !s->readFailed() && s->size() > kMaxRomImageSize)
            ShowSizeProblem(kTooLargeText, s->size(), kMaxRomImageSize);
        else
            ShowOpenFailed(s ? OpenFailureReason(OpenFailure::CannotOpen, s->readError())
                             : OpenFailureReason(why, error));
        return false;
    }
    const RomProbe probe = ProbeRomImage(image.data(), image.size());
    if (!probe.holdsTable()) {
        ShowSizeProblem(kTooShortText, probe.size, probe.layout.tableEnd());
        return false;
    }

    // The names and the table are read from the image just taken, which
    // is the file as it was opened; no read can fail any more.
    std::FILE* f = fmemopen(image.data(), image.size(), "rb");
    if (!f) {
        ShowOpenFailed(OpenFailureReason(OpenFailure::CannotOpen, errno));
        return false;
    }
    // The edits made to the ROM open until now are kept before it goes,
    // or it stays when they cannot be and the user keeps it; its original
    // is forgotten.
    if (!hotExit_->Leave(HotExit::Leaving::OtherRom)) {
        std::fclose(f);
        return false;
    }
    original_.reset();
    originalTable_.clear();
    romFile_.adopt(std::move(s));
    layout_ = probe.layout;
    snapshot_ = RomSnapshot::OfImage(image, layout_, stamp);
    openedImage_ = std::move(image);  // the stream reads the same bytes
    OnOrderNumeric();
    data_.ReadEnemyNames(f, layout_);
    data_.InitGroupRecords(GroupTemplateTable, LeadEnemyTable, layout_);
    FillGroupList(true);
    data_.ReadBattleBgEntries(f, layout_);
    std::fclose(f);
    editor_->SelectGroup(0, false);
    EnableEditing(true);
    history_->Reset(true);
    ShowRomInTitle(this, path);
    tableHistory_.emplace(TableHistoryFolder(), ResolvedPath(PathBytes(path).toStdString()));
    KeepOpenedTable(snapshot_.table);
    if (const auto restored = hotExit_->Opened(path, openedImage_, layout_))
        RestoreEdits(*restored);
    LoadOriginalOfRom(path);
    emit romChanged();
    // The list is where work on a ROM starts.
    groupList_->setFocus(Qt::OtherFocusReason);
    recent_.add(path);
    recentMenu_->rebuild();
    return true;
}

void CBattleAnimDlg::RestoreEdits(const std::vector<std::uint8_t>& image) {
    std::vector<GroupValuesChange> changes;
    for (const int g : ChangedGroups(layout_, openedImage_, image)) {
        const auto at = static_cast<std::size_t>(layout_.entryOffset(g));
        changes.push_back({g, {image[at], image[at + 1], image[at + 2], image[at + 3]}});
    }
    // One step takes them all back.
    history_->Push(QStringLiteral("Restore Unsaved Edits"), changes);
}

void CBattleAnimDlg::OnFileSaveChanges() {
    if (!romFile_.isOpen())
        return;
    editor_->StoreFieldsToCurrentGroup();
    // The whole table in one write, onto the disk before this returns, and
    // only into the file as it was read: one another program changed or
    // took away gets nothing, and the edits stay here to be exported.
    const TableBytes replaced = snapshot_.table, written = TableOf(data_);
    const TableWrite w = WriteTable(romFile_, layout_, snapshot_, written);
    const char* text = w.result == TableWriteResult::Changed ? kFileChangedText
                       : w.result == TableWriteResult::Gone  ? kFileGoneText
                       : w.result == TableWriteResult::Failed ? kSaveFailedText
                                                              : nullptr;
    // Both tables kept and synced before the save is done; a history that
    // cannot be written is said once and the save stands.
    std::string error;
    if (!text && replaced != written && tableHistory_ &&
        !tableHistory_->append(TableWriter::Editor, QDateTime::currentSecsSinceEpoch(), replaced,
                               written, error))
        ReportHistoryFailure(error);
    history_->Saved(text == nullptr);
    if (!text)
        hotExit_->Saved();
    else
        desktop_.messageBox(this, QString::fromLatin1(text), Desktop::Buttons::Ok,
                            Desktop::Icon::Warning);
}

std::vector<std::uint8_t> CBattleAnimDlg::EditedTable() const {
    // The shown group's values are in the fields until it is left or saved.
    return TableBytesOf(history_->Table());
}

std::vector<std::uint8_t> CBattleAnimDlg::EditedImage() const {
    return WithTable(openedImage_, layout_, EditedTable());
}

void CBattleAnimDlg::OnFileExportPatch() {
    if (!romFile_.isOpen())
        return;
    // From the original when one is set, whatever was saved since; else from
    // the ROM as it was opened.
    std::vector<std::uint8_t> source;
    QString title;
    if (!PatchSource(source, title))
        return;
    const std::vector<std::uint8_t> table = EditedTable();
    const std::vector<int> groups = ChangedGroupsOfTables(TableOf(source, layout_), table);
    const std::vector<std::uint8_t> edited = WithTable(openedImage_, layout_, table);
    if (original_ ? edited == source : groups.empty()) {
        desktop_.messageBox(
            this,
            original_ ? QString::fromLatin1(kNothingToExportFromOriginalText)
                            .arg(QFile::decodeName(original_->path.c_str()))
                      : QString::fromLatin1(kNothingToExportText),
            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    const QString suggested =
        SuggestedPatchPath(QFile::decodeName(romFile_.held()->path().c_str()));
    const QString path = original_ ? desktop_.choosePatchFileTitled(this, suggested, title)
                                   : desktop_.choosePatchFile(this, suggested);
    if (path.isEmpty())
        return;
    const std::string file = QFile::encodeName(path).toStdString();
    // The name's extension says the format; BPS, which checks that it is
    // applied to the right image, when it says neither. A BPS patch of a
    // headered image is made behind its header, for images with and without one.
    const PatchFormat format = PatchFormatForPath(file).value_or(PatchFormat::Bps);
    ByteVector patch;
    std::string error;
    if (!MakeImagePatch(format, source, edited, patch, error) ||
        !WriteFileAtomically(file, patch, error))
        desktop_.messageBox(this, QString::fromLatin1(kExportFailedText).arg(QString::fromStdString(error)),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
    else
        desktop_.messageBox(
            this, QString::fromLatin1(kPatchExportedText).arg(path).arg(groups.size()),
            Desktop::Buttons::Ok, Desktop::Icon::Information);
}

void CBattleAnimDlg::OnToolsRunInEmulator() {
    if (romFile_.isOpen())
        emulator_->Run(QFile::decodeName(romFile_.held()->path().c_str()), EditedImage());
}

void CBattleAnimDlg::KeepOpenedTable(const TableBytes& table) {
    std::vector<TableVersion> versions;
    std::string error;
    if (!tableHistory_->read(versions, error)) {
        // A damaged history gets nothing more: it is left as it is.
        tableHistory_.reset();
        return ReportHistoryFailure(error);
    }
    if ((versions.empty() || versions.back().table != table) &&
        !tableHistory_->append(TableWriter::Opened, QDateTime::currentSecsSinceEpoch(), table,
                               table, error))
        ReportHistoryFailure(error);
}

void CBattleAnimDlg::ReportHistoryFailure(const std::string& error) {
    if (std::exchange(historyReported_, true))
        return;
    desktop_.messageBox(this, QString::fromLatin1(kTableHistoryFailedText),
                        Desktop::Buttons::Ok, Desktop::Icon::Warning,
                        QFile::decodeName(error.c_str()));
}

void CBattleAnimDlg::PushTable(const QString& text, const GroupValuesTable& table) {
    std::vector<GroupValuesChange> changes;
    for (int g = 0; g < kGroupCount; ++g)
        changes.push_back({g, table[static_cast<std::size_t>(g)]});
    history_->Push(text, changes);
}

void CBattleAnimDlg::OnFileRevertToSaved() {
    if (romFile_.isOpen())
        PushTable(QStringLiteral("Revert to Saved"), history_->SavedTable());
}

void CBattleAnimDlg::OnFileTableHistory() {
    if (!romFile_.isOpen())
        return;
    std::vector<TableVersion> versions;
    std::string error;
    const TableHistory history(TableHistoryFolder(), ResolvedPath(romFile_.held()->path()));
    if (!history.read(versions, error)) {
        desktop_.messageBox(this, QString::fromLatin1(kTableHistoryUnreadableText),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning,
                            QFile::decodeName(error.c_str()));
        return;
    }
    delete tableHistoryDlg_;
    tableHistoryDlg_ = new TableHistoryDlg(std::move(versions), history_->Table(), this);
    tableHistoryDlg_->setAttribute(Qt::WA_DeleteOnClose);
    connect(tableHistoryDlg_, &TableHistoryDlg::restoreRequested, this,
            &CBattleAnimDlg::RestoreVersion);
    tableHistoryDlg_->open();
}

TableHistoryDlg* CBattleAnimDlg::tableHistoryWindow() const { return tableHistoryDlg_; }

void CBattleAnimDlg::RestoreVersion(int number) {
    const TableVersion* v = tableHistoryDlg_ ? tableHistoryDlg_->version(number) : nullptr;
    if (!v)
        return;
    GroupValuesTable table{};
    for (int g = 0; g < kGroupCount; ++g) {
        const std::uint8_t* e = v->table.data() + static_cast<std::size_t>(g) * kEntrySize;
        table[static_cast<std::size_t>(g)] = {e[0], e[1], e[2], e[3]};
    }
    PushTable(QStringLiteral("Restore Table of %1").arg(TableHistoryDlg::ClockText(v->time)),
              table);
    tableHistoryDlg_->accept();
}

void CBattleAnimDlg::ShowSettingsProblem(const QString& text) {
    QTimer::singleShot(0, this, [this, text] {
        desktop_.messageBox(this, text, Desktop::Buttons::Ok, Desktop::Icon::Warning);
    });
}

void CBattleAnimDlg::OnFileCloseRom() {
    if (!hotExit_->Leave(HotExit::Leaving::CloseRom))
        return;
    romFile_.close();
    tableHistory_ = std::nullopt;
    EnableEditing(false);
    history_->Reset(false);
    original_.reset();
    originalTable_.clear();
    MarkChangedGroups();
    ShowRomInTitle(this, QString());
    emit romChanged();
}

// --- Group list and orders ------------------------------------------------

void CBattleAnimDlg::FillGroupList(bool store) {
    QStringList names;
    names.reserve(kGroupCount);
    for (int p = 0; p < kGroupCount; ++p) {
        const int g = displayOrder_[static_cast<std::size_t>(p)];
        std::string name = ComposeDisplayName(data_, g);
        names.append(FromLatin1(name));
        if (store)
            groupDisplayNames_[static_cast<std::size_t>(g)] = std::move(name);
    }
    groupList_->clear();
    groupList_->addItems(names);
    SetGroupNumbers(groupList_, displayOrder_);
    MarkChangedGroups();
    // Filling selects nothing; the callers do.
    groupList_->setCurrentIndex(-1);
}

void CBattleAnimDlg::ApplyOrder(const DisplayOrderArray& order) {
    const int selected = groupList_->currentIndex();
    const int group =
        selected >= 0 && selected < kGroupCount ? displayOrder_[static_cast<std::size_t>(selected)] : -1;
    displayOrder_ = order;
    FillGroupList(false);
    if (group >= 0) {
        const int p = PositionOfGroup(displayOrder_, group);
        groupList_->setCurrentIndex(p);
        data_.setCurrentPosition(p);
    }
}

void CBattleAnimDlg::OnOrderNumeric() {
    ApplyOrder(NumericOrder());
    ShowActiveOrder(Control<QPushButton>(this, IDC_ORDER_NUMERIC));
}

// The alphabetical and area orders are applied only by their buttons, whose
// exclusive group marks the one pressed; the numeric one by a load too.
void CBattleAnimDlg::OnOrderAlpha() {
    ApplyOrder(AlphabeticalOrder(groupDisplayNames_));
}

void CBattleAnimDlg::OnOrderProgression() {
    ApplyOrder(ProgressionOrder);
}

void CBattleAnimDlg::OnSelchangeGroupList() {
    const int p = groupList_->currentIndex();
    if (p >= 0)
        editor_->SelectGroup(p, true);
}

// --- Help -----------------------------------------------------------------

QStringList ReadmePlaces() {
    QStringList places = {QDir::currentPath()};
    // A program started from a desktop menu runs in the home folder; one
    // run from its build folder shows the source tree's readme.
    const QString buildBin = QStringLiteral(OM_BUILD_BIN_DIR);
    if (QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath() ==
        QFileInfo(buildBin).canonicalFilePath())
        places.append(QStringLiteral(OM_SOURCE_DIR));
    places.append(QStringLiteral(OM_INSTALL_DOC_DIR));
    for (QString& place : places)
        place = QDir::cleanPath(place + QStringLiteral("/README.TXT"));
    return places;
}

QStringList CBattleAnimDlg::readmePlaces() const {
    return readmePlaces_.isEmpty() ? ReadmePlaces() : readmePlaces_;
}

void CBattleAnimDlg::OnHelpReadme() {
    const QStringList places = readmePlaces();
    for (const QString& path : places) {
        if (!QFileInfo(path).isFile())
            continue;
        ShowReadme(path);
        return;
    }
    const QString searched = places.join(QLatin1Char('\n'));
    desktop_.messageBox(this, QString::fromLatin1(kReadmeMissingText).arg(searched),
                        Desktop::Buttons::Ok, Desktop::Icon::Warning);
}

void CBattleAnimDlg::OnHelpAbout() {
    CAboutDlg about(desktop_, this);
    connect(&about, &CAboutDlg::helpRequested, this, &CBattleAnimDlg::OnHelpReadme);
    about.exec();
}

}  // namespace om
