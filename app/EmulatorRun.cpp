#include "app/EmulatorRun.h"
#include "app/SafeSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/Desktop.h"
#include "res/ResourceIds.h"

namespace om {

namespace {

// The emulators tried, in order, each started with the image as its one
// argument. Debian installs its games' programs in /usr/games.
constexpr const char* kEmulators[] = {"mednafen", "snes9x-gtk", "snes9x", "bsnes", "higan"};
constexpr char kRetroArch[] = "retroarch";
constexpr const char* kRetroArchCores[] = {"snes9x_libretro.so", "bsnes_libretro.so",
                                           "bsnes_mercury_balanced_libretro.so",
                                           "mesen-s_libretro.so"};
constexpr char kFilePlaceholder[] = "%f";

// An emulator's output is kept up to this many bytes, the newest.
constexpr qsizetype kOutputKept = 8192;
// A closed emulator is given this long to end before it is killed.
constexpr int kCloseWaitMs = 2000;

// One argument as splitCommand reads it back: quoted when it holds a space
// or a quote, a quote inside written three times.
QString Quoted(const QString& argument) {
    if (!argument.isEmpty() && !argument.contains(QLatin1Char(' ')) &&
        !argument.contains(QLatin1Char('\t')) && !argument.contains(QLatin1Char('"')))
        return argument;
    QString inner = argument;
    inner.replace(QLatin1String("\""), QLatin1String("\"\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString FindProgram(const QString& name, const QStringList& folders) {
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() && !folders.isEmpty() ? QStandardPaths::findExecutable(name, folders)
                                                  : onPath;
}

QString LastLines(const QByteArray& output, int count) {
    QStringList lines = QString::fromLocal8Bit(output).split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.constLast().trimmed().isEmpty())
        lines.removeLast();
    if (lines.size() > count)
        lines = lines.mid(lines.size() - count);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

EmulatorSearch EmulatorSearch::System() {
    EmulatorSearch s;
    s.programFolders = {QStringLiteral("/usr/games")};
    const QDir lib(QStringLiteral("/usr/lib"));
    for (const QString& arch : lib.entryList({QStringLiteral("*-linux-*")}, QDir::Dirs))
        s.coreFolders.append(lib.filePath(arch) + QStringLiteral("/libretro"));
    s.coreFolders.append(QStringLiteral("/usr/lib/libretro"));
    s.coreFolders.append(QDir::homePath() + QStringLiteral("/.config/retroarch/cores"));
    return s;
}

QString FindEmulatorCommand(const EmulatorSearch& search) {
    const QString file = QString::fromLatin1(kFilePlaceholder);
    for (const char* name : kEmulators) {
        const QString program = FindProgram(QString::fromLatin1(name), search.programFolders);
        if (!program.isEmpty())
            return Quoted(program) + QLatin1Char(' ') + file;
    }
    const QString retroArch = FindProgram(QString::fromLatin1(kRetroArch), search.programFolders);
    if (retroArch.isEmpty())
        return {};
    for (const char* core : kRetroArchCores)
        for (const QString& folder : search.coreFolders) {
            const QString path = QDir(folder).filePath(QString::fromLatin1(core));
            if (QFileInfo(path).isFile())
                return Quoted(retroArch) + QStringLiteral(" -L ") + Quoted(path) +
                       QLatin1Char(' ') + file;
        }
    return {};
}

QStringList EmulatorArguments(const QString& command, const QString& file) {
    QStringList arguments = QProcess::splitCommand(command);
    if (arguments.isEmpty())
        return {};
    bool named = false;
    const QString placeholder = QString::fromLatin1(kFilePlaceholder);
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (arguments[i].contains(placeholder)) {
            arguments[i].replace(placeholder, file);
            named = true;
        }
    if (!named)
        arguments.append(file);
    return arguments;
}

QString StoredEmulatorCommand() {
    return SettingValue(QString::fromLatin1(kEmulatorCommandKey)).toString();
}

void StoreEmulatorCommand(const QString& command) {
    SetSetting(QString::fromLatin1(kEmulatorCommandKey),
               command.trimmed().isEmpty() ? QVariant() : QVariant(command.trimmed()));
}

EmulatorRun::EmulatorRun(Desktop& desktop, QWidget* owner)
    : desktop_(desktop), owner_(owner), copies_(EmulatorCopyFolder()) {
    RemoveAbandonedCopies(EmulatorCopyFolder());
}

EmulatorRun::~EmulatorRun() { Stop(); }

QString EmulatorRun::Command() const {
    const QString stored = StoredEmulatorCommand();
    return stored.isEmpty() ? FindEmulatorCommand(search_) : stored;
}

void EmulatorRun::ChooseCommand() {
    if (const std::optional<QString> command =
            desktop_.chooseEmulatorCommand(owner_, StoredEmulatorCommand()))
        StoreEmulatorCommand(*command);
}

void EmulatorRun::Stop() {
    if (!process_)
        return;
    // Its end is ours, not the emulator's fault: nothing is reported.
    process_->disconnect(this);
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (!process_->waitForFinished(kCloseWaitMs)) {
            process_->kill();
            process_->waitForFinished(kCloseWaitMs);
        }
    }
    process_.reset();
}

bool EmulatorRun::Run(const QString& romPath, const std::vector<std::uint8_t>& image) {
    const QString command = Command();
    if (command.trimmed().isEmpty()) {
        desktop_.messageBox(owner_, QString::fromLatin1(kNoEmulatorText), Desktop::Buttons::Ok,
                            Desktop::Icon::Warning);
        return false;
    }
    // The emulator started before holds the copy about to be replaced.
    Stop();
    std::string error;
    const std::string written =
        copies_.Write(QFile::encodeName(QFileInfo(romPath).fileName()).toStdString(), image, error);
    if (written.empty()) {
        desktop_.messageBox(owner_,
                            QString::fromLatin1(kEmulatorCopyFailedText)
                                .arg(QString::fromLocal8Bit(error.c_str())),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return false;
    }
    copyPath_ = QFile::decodeName(written.c_str());
    QStringList arguments = EmulatorArguments(command, copyPath_);
    // A program named without a folder is looked for where Debian puts games too.
    QString program = arguments.takeFirst();
    if (!program.contains(QLatin1Char('/'))) {
        const QString found = FindProgram(program, search_.programFolders);
        if (!found.isEmpty())
            program = found;
    }
    command_ = command;
    output_.clear();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    connect(process_.get(), &QProcess::readyRead, this, &EmulatorRun::OnOutput);
    connect(process_.get(), &QProcess::finished, this, &EmulatorRun::OnFinished);
    connect(process_.get(), &QProcess::errorOccurred, this, &EmulatorRun::OnError);
    started_.start();
    process_->start(program, arguments);
    // A program that cannot be found is reported (and let go) at once.
    return process_ != nullptr;
}

void EmulatorRun::OnOutput() {
    output_ += process_->readAll();
    if (output_.size() > kOutputKept)
        output_ = output_.right(kOutputKept);
}

void EmulatorRun::OnError(QProcess::ProcessError error) {
    // A crash is told by the end that follows it.
    if (error != QProcess::FailedToStart)
        return;
    const QString reason = process_->errorString();
    Report(kEmulatorNotStartedText, reason);
}

void EmulatorRun::OnFinished(int exitCode, QProcess::ExitStatus status) {
    OnOutput();
    const bool failed = status == QProcess::CrashExit || exitCode != 0;
    if (!failed || started_.elapsed() >= kAtOnceMs)
        return;
    const QString reason = status == QProcess::CrashExit
                               ? QStringLiteral("It crashed: %1").arg(process_->errorString())
                               : QStringLiteral("It exited with status %1.").arg(exitCode);
    const QString lines = LastLines(output_, kReportLines);
    Report(kEmulatorStoppedText, lines.isEmpty() ? reason : reason + QStringLiteral("\n\n") + lines);
}

void EmulatorRun::Report(const char* text, const QString& reason) {
    const QString informative = QStringLiteral("%1\n%2").arg(command_, reason);
    // The process told of is done with; it goes once its signal has
    // returned, whatever the user does while the box is up (another F5).
    process_->disconnect(this);
    process_.release()->deleteLater();
    desktop_.messageBox(owner_, QString::fromLatin1(text), Desktop::Buttons::Ok,
                        Desktop::Icon::Warning, informative);
}

}  // namespace om
