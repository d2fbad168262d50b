// The editor's main window: the group list and its three orders, one frame
// per background layer with its thumbnail picker and byte fields, the entry
// offset, Save and Close, and the menu bar.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <cstdint>
#include <QStringList>
#include <functional>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "app/RecentFiles.h"
#include "catalogue/GroupOrder.h"
#include "patch/OriginalRom.h"
#include "pickers/LayerEditing.h"
#include "pickers/Widgets.h"
#include "romdata/BattleAnimData.h"
#include "romdata/RomFile.h"
#include "romdata/RomProbe.h"
#include "romdata/RomSnapshot.h"

class QAction;
class QComboBox;
class QMimeData;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QGroupBox;
class QUndoStack;

namespace om {

class CSplashDlg;
class Desktop;
class FindGroupDlg;
class EditHistory;
class HotExit;

class CBattleAnimDlg : public QDialog {
    Q_OBJECT
public:
    CBattleAnimDlg(BattleAnimData& data, Desktop& desktop, QWidget* parent = nullptr);
    ~CBattleAnimDlg() override;

    // File menu and Save button. An open asked for before the pickers are
    // built waits for them (the last one asked for) and runs right after.
    void OnFileOpenRom();
    // File > Open Recent: opens path as Open ROM would; a file that is gone
    // leaves the list.
    void OnFileOpenRecent(const QString& path);
    // Opens a ROM as Open ROM opens the file chosen in its dialog: the title
    // check (and its question), then the load. False when nothing was loaded
    // (yet: before the build, the open waits).
    bool OpenRomPath(const QString& path);
    // A ROM to open that way right after the pickers are built (the command
    // line's); empty for none.
    void OpenRomAfterStartup(const QString& path) {
        if (!path.isEmpty())
            OpenRomPath(path);
    }
    bool IsRomTitleValid(const QString& path);
    bool LoadRom(const QString& path);
    void OnFileSaveChanges();
    void OnFileCloseRom();
    void OnFileExportPatch();
    // The image the editor would save: the file as it was opened with the
    // table as it is now on screen, edits not yet saved included.
    std::vector<std::uint8_t> EditedImage() const;
    // The table of that image alone, 1,940 bytes.
    std::vector<std::uint8_t> EditedTable() const;

    // File > Set Original ROM...: the untouched image this ROM was made
    // from, for Export Patch and the changed-group marks.
    void OnFileSetOriginal();
    // The open ROM's original, when one is set and could be read as it was
    // set; its table is what the marks compare with.
    bool hasOriginal() const { return !originalTable_.empty(); }
    // Whether group g's entry in the editor differs from the original's.
    bool changedFromOriginal(int g) const {
        return changedFromOriginal_[static_cast<std::size_t>(g)];
    }

    // Group list and its orders.
    void FillGroupList(bool store);
    void OnOrderNumeric();
    void OnOrderAlpha();
    void OnOrderProgression();
    void OnSelchangeGroupList();

    // Layer editing.
    void OnSelchangeLayer1Picker() { editor_->OnSelchangePicker(1); }
    void OnSelchangeLayer2Picker() { editor_->OnSelchangePicker(2); }
    void OnChangeLayer1Fields() { editor_->OnChangeFields(1); }
    void OnChangeLayer2Fields() { editor_->OnChangeFields(2); }

    // Help menu.
    void OnHelpReadme();
    // Where Help > Readme looks for README.TXT, in order.
    // Tests set their own; empty: ReadmePlaces() at the time of asking.
    QStringList readmePlaces() const;
    void setReadmePlaces(const QStringList& places) { readmePlaces_ = places; }
    void OnHelpAbout();

    void EnableEditing(bool enable);

    // Edit menu: the Find Group window, made on first use, one at a time.
    void OnEditFindGroup();
    FindGroupDlg& findGroupWindow();
    bool hasFindGroupWindow() const { return findGroup_ != nullptr; }
    // The right-click "Groups Using This Background" of a layer (1 or 2).
    void OnGroupsUsingBackground(int layer);
    // A group chosen in the Find window: selected as a choice in the group
    // list selects it.
    void OnFindGroupChosen(int group);

signals:
    // A ROM was opened or closed: every group may show other values and
    // descriptions.
    void romChanged();

public:

    LayerEditor& editor() { return *editor_; }
    // Undo and redo, and whether the edits are saved.
    EditHistory& history() { return *history_; }
    // Keeps the unsaved edits in a recovery file and gives them back.
    HotExit& hotExit() { return *hotExit_; }
    const DisplayOrderArray& displayOrder() const { return displayOrder_; }
    const GroupNameArray& groupDisplayNames() const { return groupDisplayNames_; }
    bool isRomOpen() const { return romFile_.isOpen(); }
    // The layout of the open ROM, decided when it was opened.
    const RomLayout& romLayout() const { return layout_; }
    // The open ROM's bytes as they were when it was opened.
    const std::vector<std::uint8_t>& openedImage() const { return openedImage_; }
    bool pickersBuilt() const { return pickerBuilds_ > 0; }
    int pickerBuilds() const { return pickerBuilds_; }
    CSplashDlg* splash() const { return splash_; }
    QAction* command(int id) const;
    QMenuBar* menuBar() const { return menuBar_; }
    RecentFilesMenu* recentMenu() const { return recentMenu_; }
    QWidget* surface() const { return surface_; }

    // The main window's initialisation; runs once, when it is first shown.
    void OnInitDialog();
    // Builds the pickers behind the splash; the first tick of the start-up
    // timer runs it.
    void OnStartupTick();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenu();
    void ApplyOrder(const DisplayOrderArray& order);
    void OnLButtonUp();
    bool BothWindowsOnScreen() const;
    void StartStartupTimer();
    // Before the pickers are built, keeps open to run right after the build
    // (the last one asked for) and returns true; false once they are built.
    bool KeptUntilBuilt(std::function<void()> open);
    void ShowOpenFailed(const QString& reason);
    void ShowSizeProblem(const char* text, long size, long limit);
    // Shows the edits a recovery holds (the image it gives) as unsaved edits.
    void RestoreEdits(const std::vector<std::uint8_t>& image);
    // The original remembered for the ROM just opened, read and checked.
    void LoadOriginalOfRom(const QString& romPath);
    // The changed-group marks of the group list and Find, anew.
    void MarkChangedGroups();
    // Export Patch's source: the original when one is set (false, said why,
    // when it cannot be used), else the ROM as opened; title names it.
    bool PatchSource(std::vector<std::uint8_t>& source, QString& title);

    BattleAnimData& data_;
    Desktop& desktop_;
    RomFile romFile_;
    RomLayout layout_ = kSmcLayout;
    std::vector<std::uint8_t> openedImage_;
    // The file as last read or saved: Save writes only into that.
    RomSnapshot snapshot_;
    DisplayOrderArray displayOrder_ = NumericOrder();
    GroupNameArray groupDisplayNames_;

    QIcon icon_;
    QMenuBar* menuBar_ = nullptr;
    QWidget* surface_ = nullptr;
    QComboBox* sorter_ = nullptr;
    QPushButton* save_ = nullptr;
    ByteField* layer2Hi_ = nullptr;
    ByteField* layer1Hi_ = nullptr;
    ByteField* layer2Lo_ = nullptr;
    ByteField* layer1Lo_ = nullptr;
    QGroupBox* layer1Frame_ = nullptr;
    QComboBox* groupList_ = nullptr;
    ImagePicker* layer2Picker_ = nullptr;
    ImagePicker* layer1Picker_ = nullptr;
    QLineEdit* offsetField_ = nullptr;

    std::unique_ptr<LayerEditor> editor_;
    QUndoStack* undoStack_ = nullptr;
    std::unique_ptr<EditHistory> history_;
    std::unique_ptr<HotExit> hotExit_;
    ImageList layer1Images_;
    ImageList layer2Images_;
    CSplashDlg* splash_ = nullptr;
    int startupTimer_ = 0;
    // Start-up waits for both windows' first paint before it builds.
    int onScreenPoll_ = 0;
    QElapsedTimer onScreenWait_;
    bool mainPainted_ = false;
    bool splashPainted_ = false;
    bool initialised_ = false;
    int pickerBuilds_ = 0;
    std::function<void()> pendingOpen_;
    RecentFiles recent_;
    RecentFilesMenu* recentMenu_ = nullptr;
    QStringList readmePlaces_;
    FindGroupDlg* findGroup_ = nullptr;
    std::optional<OriginalRom> original_;       // remembered for the open ROM
    std::vector<std::uint8_t> originalTable_;  // its table, when it was read as remembered
    std::array<bool, kGroupCount> changedFromOriginal_{};
};

// The places Help > Readme searches, in order: the current folder; the
// source tree when the program runs from its build folder; the installed
// documentation folder.
QStringList ReadmePlaces();

// The one local file (not a folder) that drag data carries, or an empty
// string when it carries anything else.
QString DroppedRomPath(const QMimeData* data);

}  // namespace om
