#include "app/SafeSettings.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <cstdio>

#include "app/Messages.h"
#include "res/ResourceIds.h"
#include "romdata/TerminalSafe.h"

namespace om {

namespace {

SettingsProblemReporter* reporter = nullptr;

// What is wrong with the file at path for the settings, or "" when it is
// usable: absent, or a regular file (a link to one counts) of a bounded size.
// Looked at only: a FIFO or a device is never opened.
QString FileProblem(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};  // absent (or unreachable): Qt's own open fails at once
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("is not a regular file");
    if (st.st_size > kMaxSettingsSize)
        return QStringLiteral("is larger than %1 bytes").arg(QLocale(QLocale::English).toString(kMaxSettingsSize));
    return {};
}

QString LockPath(const QString& path) { return path + QStringLiteral(".lock"); }

}  // namespace

QString SettingsFilePath() {
    // The organisation and the application are both the program's name, as
    // QSettings(kProgramName, kProgramName) would have it.
    const QString name = QString::fromLatin1(kProgramName);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           name + QLatin1Char('/') + name + QStringLiteral(".conf");
}

QString SettingsProblem() {
    const QString path = SettingsFilePath();
    for (const QString& file : {path, LockPath(path)}) {
        const QString problem = FileProblem(file);
        if (!problem.isEmpty())
            return QString::fromLatin1(kSettingsUnusableText).arg(QDir::toNativeSeparators(file), problem);
    }
    return {};
}

void ReportSettingsProblem(const QString& problem) {
    static QStringList reported;
    if (reported.contains(problem))
        return;
    reported.append(problem);
    if (reporter)
        reporter->report_(problem);
    else
        std::fprintf(stderr, "%s\n", TerminalSafe(problem.toStdString()).c_str());
}

std::unique_ptr<const QSettings> ReadSettings() {
    if (const QString problem = SettingsProblem(); !problem.isEmpty()) {
        ReportSettingsProblem(problem);
        return nullptr;
    }
    // The one file alone: QSettings(organisation, application) would also
    // read ~/.config/OMBattleAnim.conf and the system's folder, unlooked at.
    return std::make_unique<const QSettings>(SettingsFilePath(), QSettings::IniFormat);
}

bool WriteSettings(const std::function<void(QSettings&)>& change) {
    if (const QString problem = SettingsProblem(); !problem.isEmpty()) {
        ReportSettingsProblem(problem);
        return false;
    }
    const QString path = SettingsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    {
        // QSettings waits for its lock without end. It is taken here first,
        // for a moment at most, and let go just before QSettings takes it:
        // a lock another program holds longer drops this write.
        QLockFile lock(LockPath(path));
        if (!lock.tryLock(kSettingsLockWaitMs))
            return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    change(settings);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

SettingsProblemReporter::SettingsProblemReporter(std::function<void(const QString&)> report)
    : report_(std::move(report)), previous_(reporter) {
    reporter = this;
}

SettingsProblemReporter::~SettingsProblemReporter() {
    if (reporter == this)
        reporter = previous_;
}

QVariant SettingValue(const QString& key, const QVariant& fallback) {
    const std::unique_ptr<const QSettings> settings = ReadSettings();
    return settings ? settings->value(key, fallback) : fallback;
}

bool SetSetting(const QString& key, const QVariant& value) {
    return WriteSettings([&](QSettings& settings) {
        if (value.isValid())
            settings.setValue(key, value);
        else
            settings.remove(key);
    });
}

}  // namespace om
