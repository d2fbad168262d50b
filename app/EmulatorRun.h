// Tools > Run in Emulator: the image the editor holds, written to a copy of
// the program's own, started in an emulator the editor keeps track of, and
// Tools > Emulator..., the command line that starts it. No window of its
// own: what it asks or reports goes through the Desktop.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

#include "romdata/EmulatorCopies.h"

class QWidget;

namespace om {

class Desktop;

inline constexpr char kNoEmulatorText[] =
    "No emulator was found. Install one (for example: sudo apt install mednafen), or set the "
    "command that starts yours with Tools > Emulator....";
inline constexpr char kEmulatorNotStartedText[] = "The emulator could not be started.";
inline constexpr char kEmulatorStoppedText[] = "The emulator stopped at once with an error.";
inline constexpr char kEmulatorCopyFailedText[] =
    "The image could not be written for the emulator: %1";

// Where the emulator's command line is kept in the settings.
inline constexpr char kEmulatorCommandKey[] = "Emulator/Command";

// The places searched for an emulator besides PATH, and for the cores of
// RetroArch; tests name their own.
struct EmulatorSearch {
    QStringList programFolders;
    QStringList coreFolders;
    static EmulatorSearch System();
};

// The command line of the first emulator found: mednafen, snes9x-gtk,
// snes9x, bsnes, higan, then RetroArch with one of the SNES cores; an empty
// string when there is none.
QString FindEmulatorCommand(const EmulatorSearch& search);

// command split as a shell splits it (quotes, no variables or globs), every
// "%f" replaced by file, file added at the end when no argument names it;
// the program first. Empty when command holds nothing.
QStringList EmulatorArguments(const QString& command, const QString& file);

// The command line kept in the settings; empty when none is set.
QString StoredEmulatorCommand();
// Keeps command in the settings; an empty one removes the setting.
void StoreEmulatorCommand(const QString& command);

class EmulatorRun : public QObject {
    Q_OBJECT
public:
    // A run that stops this soon after its start with an error is reported.
    static constexpr int kAtOnceMs = 3000;
    // How many of the emulator's last lines a report shows.
    static constexpr int kReportLines = 8;

    // owner: the window reports are shown over. Removes the copies of
    // editors that no longer run.
    EmulatorRun(Desktop& desktop, QWidget* owner);
    // Closes the emulator started last; the copy goes.
    ~EmulatorRun() override;

    // Writes image as a copy named as romPath's file and starts the
    // emulator on it, after closing the one started before if it still runs.
    // False when nothing was started (reported).
    bool Run(const QString& romPath, const std::vector<std::uint8_t>& image);
    // Tools > Emulator...: asks for the command line and keeps it.
    void ChooseCommand();
    // Closes the emulator started last, if it still runs; nothing is reported.
    void Stop();

    // The command line Run uses: the stored one, else the first emulator found.
    QString Command() const;
    void setSearch(const EmulatorSearch& search) { search_ = search; }
    // The emulator started last; null before the first and once a failure
    // of it was reported.
    QProcess* process() const { return process_.get(); }
    // The copy written last; empty before the first.
    QString copyPath() const { return copyPath_; }

private:
    void OnFinished(int exitCode, QProcess::ExitStatus status);
    void OnError(QProcess::ProcessError error);
    void OnOutput();
    void Report(const char* text, const QString& reason);

    Desktop& desktop_;
    QWidget* owner_;
    EmulatorSearch search_ = EmulatorSearch::System();
    EmulatorCopies copies_;
    std::unique_ptr<QProcess> process_;
    QString command_;      // as it was started, for the reports
    QByteArray output_;    // the last of what it wrote
    QElapsedTimer started_;
    QString copyPath_;
};

}  // namespace om
