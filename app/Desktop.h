// Everything that blocks on the user or leaves the process goes through this
// interface: message boxes, the file-open dialog and opening a document with
// the desktop's default application. Tests answer it with a script.
#pragma once

#include <QString>
#include <memory>
#include <optional>

class QFileDialog;
class QInputDialog;
class QWidget;

namespace om {

class Desktop {
public:
    enum class Buttons { Ok, YesNo };
    enum class Icon { Warning, Question, Information };
    enum class Answer { Ok, Yes, No };

    virtual ~Desktop() = default;

    // A modal message box over owner, titled with the program's name;
    // informative, when not empty, stands under the text (the system's
    // reason for a failure, for example).
    virtual Answer messageBox(QWidget* owner, const QString& text, Buttons buttons, Icon icon,
                              const QString& informative = {}) = 0;
    // The path of an existing file the user chose, or an empty string. The
    // dialog opens in startFolder when one is given.
    virtual QString chooseRomFile(QWidget* owner, const QString& startFolder = {}) = 0;
    // A path to write a patch to, or an empty string. An existing file is
    // only returned when the user agreed to replace it. The dialog proposes
    // suggestedPath (its folder and name) when one is given.
    virtual QString choosePatchFile(QWidget* owner, const QString& suggestedPath = {}) = 0;
    // Asks the desktop to open a document; false when it could not.
    virtual bool openDocument(const QString& path) = 0;
    // A line the user typed into a small modal dialog titled title, with
    // label above the field and initial in it, selected; nothing when the
    // dialog was cancelled.
    virtual std::optional<QString> askText(QWidget* owner, const QString& title,
                                           const QString& label, const QString& initial) = 0;
    // The path of an existing picture file the user chose, or an empty
    // string.
    virtual QString choosePictureFile(QWidget* owner) = 0;
    // The path of a folder the user chose (title: what it is for), or an
    // empty string. The dialog opens in startFolder when one is given.
    virtual QString chooseFolder(QWidget* owner, const QString& title,
                                 const QString& startFolder = {}) = 0;
    // Tools > Emulator...: the command line that starts the emulator, with
    // %f for the image, as the user left it (empty: none set); nothing when
    // the user cancelled. The dialog shows current.
    virtual std::optional<QString> chooseEmulatorCommand(QWidget* owner, const QString& current) = 0;

    // How openDocument would show a document of path's kind: with an
    // application of the desktop's, with a program that needs a terminal
    // (which shows nothing when started from a desktop), with nothing at
    // all, or not known.
    enum class Opener { Application, TerminalProgram, None, Unknown };
    virtual Opener documentOpener(const QString& path) = 0;
    // choosePatchFile with the dialog titled title (what the patch is made
    // from, for example).
    virtual QString choosePatchFileTitled(QWidget* owner, const QString& suggestedPath,
                                          const QString& title) {
        (void)title;
        return choosePatchFile(owner, suggestedPath);
    }
};

// Whether the text of a .desktop file says its program runs in a terminal
// (Terminal=true in its [Desktop Entry] group).
bool DesktopEntryNeedsTerminal(const QByteArray& entry);

// The filters of the file-open dialog, the first one selected. Its patterns
// match the extensions in any letter case: images with a copier header
// (.smc) and without one (.sfc).
inline constexpr char kRomFileFilter[] = "SNES ROM files (*.smc *.sfc)";
inline constexpr char kAllFilesFilter[] = "All files (*)";

// The file-open dialog Open ROM shows: existing files only, the one filter
// selected, in startFolder when one is given.
std::unique_ptr<QFileDialog> MakeRomFileDialog(QWidget* owner, const QString& startFolder = {});

// The filters of the Export Patch dialog; BPS, the one we recommend, first
// and selected. A name typed without an extension gets the selected one's.
inline constexpr char kBpsPatchFilter[] = "BPS patches (*.bps)";
inline constexpr char kIpsPatchFilter[] = "IPS patches (*.ips)";
inline constexpr char kExportPatchTitle[] = "Export Patch";

// suggestedPath, when given, sets the folder shown and the name proposed.
std::unique_ptr<QFileDialog> MakePatchFileDialog(QWidget* owner, const QString& suggestedPath = {});

// The dialog Tools > Emulator... shows: one line holding current.
inline constexpr char kEmulatorDialogTitle[] = "Emulator";
inline constexpr char kEmulatorDialogLabel[] =
    "The command that starts the emulator, %f standing for the image\n"
    "(for example: mednafen %f). Empty: the first emulator found.";
std::unique_ptr<QInputDialog> MakeEmulatorCommandDialog(QWidget* owner, const QString& current);

class QtDesktop : public Desktop {
public:
    Answer messageBox(QWidget* owner, const QString& text, Buttons buttons, Icon icon,
                      const QString& informative = {}) override;
    QString chooseRomFile(QWidget* owner, const QString& startFolder = {}) override;
    QString choosePatchFile(QWidget* owner, const QString& suggestedPath = {}) override;
    bool openDocument(const QString& path) override;
    std::optional<QString> askText(QWidget* owner, const QString& title, const QString& label,
                                   const QString& initial) override;
    QString choosePictureFile(QWidget* owner) override;
    QString chooseFolder(QWidget* owner, const QString& title,
                         const QString& startFolder = {}) override;
    std::optional<QString> chooseEmulatorCommand(QWidget* owner, const QString& current) override;
    // Asks xdg-mime for the default application of the document's type and
    // reads its .desktop file from the applications folders.
    Opener documentOpener(const QString& path) override;
    QString choosePatchFileTitled(QWidget* owner, const QString& suggestedPath,
                                  const QString& title) override;
};

// The filters of the picture-file dialog, the first one selected.
inline constexpr char kPictureFileFilter[] =
    "Pictures (*.png *.jpg *.jpeg *.bmp *.gif *.ppm *.pgm *.pbm *.xpm *.webp)";

}  // namespace om
