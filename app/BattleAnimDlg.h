// The editor's main window: the group list and its three orders, one frame
// per background layer with its thumbnail picker and byte fields, the entry
// offset, Save and Close, and the menu bar.
#pragma once

#include <QPointer>
#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <cstdint>
#include <QStringList>
#include <functional>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/GroupTrail.h"
#include "app/RecentFiles.h"
#include "app/SafeSettings.h"
#include "catalogue/GroupOrder.h"
#include "patch/OriginalRom.h"
#include "pickers/BuildLayerPickers.h"
#include "pickers/LayerEditing.h"
#include "pickers/Widgets.h"
#include "romdata/BattleAnimData.h"
#include "romdata/RomFile.h"
#include "romdata/RomProbe.h"
#include "romdata/RomSnapshot.h"
#include "romdata/TableHistory.h"

class QAction;
class QComboBox;
class QMimeData;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QGroupBox;
class QMenu;
class QUndoStack;

namespace om {

class BackgroundBrowser;
class CSplashDlg;
class Desktop;
class FindGroupDlg;
class EditHistory;
class EmulatorRun;
class GroupListNumbers;
class ReadmeWindow;
class HotExit;
class ThumbnailStore;
class TableHistoryDlg;

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
    // File > Table History...: the tables kept of the open ROM, one of which
    // Restore puts into the editor as one undo step. The dialog is modal
    // to the window (open(), not exec()); tableHistoryWindow() is it while
    // it is open. A history that cannot be read is reported, not shown.
    void OnFileTableHistory();
    TableHistoryDlg* tableHistoryWindow() const;
    // File > Revert to Saved: the table the file holds back into the
    // editor, as one undo step.
    void OnFileRevertToSaved();
    // Where the open ROM's tables are kept; nothing without a ROM.
    const std::optional<TableHistory>& tableHistory() const { return tableHistory_; }
    // The image the editor would save: the file as it was opened with the
    // table as it is now on screen, edits not yet saved included.
    std::vector<std::uint8_t> EditedImage() const;
    // The table of that image alone, 1,940 bytes.
    std::vector<std::uint8_t> EditedTable() const;

    // Tools > Run in Emulator: the image as EditedImage() gives it, in an
    // emulator; the file, the history and the unsaved mark stay as they are.
    void OnToolsRunInEmulator();
    EmulatorRun& emulator() { return *emulator_; }

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

    // Edit > Copy Entry and Paste Entry: the shown group's four values to
    // the clipboard as text, and back into the shown group (one step).
    void OnEditCopyEntry();
    void OnEditPasteEntry();
    // Find Group's changes of the selected groups: a layer's background
    // asked for, or the entry on the clipboard, set into each (one step).
    void OnFindSetLayer(int layer, const QList<int>& groups);
    void OnFindPasteEntry(const QList<int>& groups);
    // The user's own thumbnails: a picker's right-click entries, acting on
    // the thumbnail it shows (layer 1 or 2), and the Tools menu.
    void OnThumbnailFromFile(int layer, int background);
    void OnPasteThumbnail(int layer, int background);
    void OnLatestScreenshot(int layer, int background);
    void OnResetThumbnail(int layer, int background);
    void OnImportThumbnails();
    void OnExportThumbnails();
    void OnScreenshotFolder();
    ThumbnailStore& thumbnails() { return *thumbnails_; }
    // Go menu: the groups shown before and after on the trail of groups
    // shown, chosen as a choice in the group list is.
    void OnGoBack();
    void OnGoForward();
    const GroupTrail& trail() const { return trail_; }
    // View > Hexadecimal Bytes: the four byte fields in hex or decimal.
    void OnViewHexBytes(bool hex);
    // The readme window of our own, once Help > Readme needed it.
    ReadmeWindow* readmeWindow() const { return readme_; }
    // View menu and a layer's right-click menu: the background browser,
    // made on first use, one at a time; Ctrl+B opens it on layer 1.
    void OnViewBrowseBackgrounds() { OnBrowseBackgrounds(1); }
    void OnBrowseBackgrounds(int layer);
    BackgroundBrowser& backgroundBrowser();
    bool hasBackgroundBrowser() const { return browser_ != nullptr; }
    // A cell used in the browser: entry `entry` of the layer's catalogue,
    // picked in the layer's picker.
    void OnUseBackground(int layer, int entry);

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

    // The window closes (Close, Exit, Escape, the window's own close): the
    // unsaved edits are kept first, or the user is asked while it is still
    // there when they cannot be.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ShowSettingsProblem(const QString& text);
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
    // The entry the clipboard holds; nothing, after saying so, when it
    // holds none.
    std::optional<GroupValues> EntryFromClipboard(QWidget* owner);
    // The user's own thumbnails (ThumbnailCommands.cpp).
    PickerBuildTarget pickerTarget(int layer);
    void AddThumbnailEntries(int layer, int background, QMenu* menu);
    // The background number of the thumbnail a layer's picker shows, or -1.
    int ShownBackground(int layer);
    // Shows the background's picture, the user's or the built-in one, in
    // every item of the layer's picker that shows that background, and in
    // the browser's cells.
    void ShowThumbnail(int layer, int background);
    // Keeps picture as the background's thumbnail and shows it; a null
    // picture is refused with a message naming source and why.
    void SetThumbnail(int layer, int background, const QImage& picture, const QString& source,
                      const QString& why);
    // Group numbers, the Go and View commands, the order buttons' marks.
    void BindBrowsing();
    void UpdateGoCommands();
    void WalkTrailTo(std::optional<int> group);
    // Shows the readme at path with the desktop's application, or in our
    // own window when the desktop cannot show it.
    void ShowReadme(const QString& path);
    // Puts a whole table into the editor as one undo step named text.
    void PushTable(const QString& text, const GroupValuesTable& table);
    void RestoreVersion(int number);
    // Keeps the table just read, unless the history's newest version is it.
    void KeepOpenedTable(const TableBytes& table);
    // A table could not be kept: said once a run; saving goes on.
    void ReportHistoryFailure(const std::string& error);
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
    std::unique_ptr<ThumbnailStore> thumbnails_;
    std::unique_ptr<EmulatorRun> emulator_;
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
    // Unusable settings are told once, when the window can show it.
    SettingsProblemReporter settingsProblems_{[this](const QString& text) { ShowSettingsProblem(text); }};
    QStringList readmePlaces_;
    FindGroupDlg* findGroup_ = nullptr;
    GroupListNumbers* groupNumbers_ = nullptr;
    GroupTrail trail_;
    ReadmeWindow* readme_ = nullptr;
    BackgroundBrowser* browser_ = nullptr;
    std::optional<TableHistory> tableHistory_;
    bool historyReported_ = false;
    // Cleared by Qt when the window goes (it deletes itself on closing).
    QPointer<TableHistoryDlg> tableHistoryDlg_;
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
