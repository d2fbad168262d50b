// The user's settings (~/.config/OMBattleAnim/OMBattleAnim.conf, or under
// $XDG_CONFIG_HOME), read and written so that nothing found there can hold
// the editor up. QSettings itself opens the file without looking at it first
// (a FIFO there waits for a writer for ever), reads a file of any size, and
// waits without end for its lock file (a folder or a FIFO there never lets
// go; a lock naming another computer is waited on for half a minute). So the
// path is looked at before Qt opens it: the file and its lock must be
// regular files (or absent) and the file at most kMaxSettingsSize bytes,
// else the settings are not used at all (never read, never overwritten) and
// the problem is reported once; a write waits for the lock a moment at most
// and is dropped when it is busy. The editor works without its settings.
//
// Every user of the settings goes through here: ReadSettings() to read,
// WriteSettings() to change them. Nothing else constructs a QSettings.
// Free of widgets.
#pragma once

#include <QSettings>
#include <QString>
#include <functional>
#include <memory>

namespace om {

// Settings files larger than this are refused as damaged.
inline constexpr qint64 kMaxSettingsSize = 1024 * 1024;
// How long a write waits for another program's lock on the settings.
inline constexpr int kSettingsLockWaitMs = 200;

// The settings file: $XDG_CONFIG_HOME (or ~/.config) /OMBattleAnim/OMBattleAnim.conf,
// read at each call.
QString SettingsFilePath();

// Why the settings cannot be used, naming the file ("" when they can).
QString SettingsProblem();

// The settings to read from, or nullptr when they cannot be used (then the
// problem has been reported).
std::unique_ptr<const QSettings> ReadSettings();

// Applies change to the settings and writes them at once. False when
// nothing was written: the settings cannot be used (reported), their lock
// stayed busy for kSettingsLockWaitMs, or the write failed.
bool WriteSettings(const std::function<void(QSettings&)>& change);

// One setting's value, or fallback when it is not set or the settings
// cannot be used.
QVariant SettingValue(const QString& key, const QVariant& fallback = {});
// Sets one setting (an invalid value removes it) and writes the settings at
// once, as WriteSettings does.
bool SetSetting(const QString& key, const QVariant& value);

// Receives the text of each settings problem once (the same problem is not
// reported again in this run), while it exists; the newest one made gets
// them. Without one, the problems go to standard error.
class SettingsProblemReporter {
public:
    explicit SettingsProblemReporter(std::function<void(const QString&)> report);
    ~SettingsProblemReporter();
    SettingsProblemReporter(const SettingsProblemReporter&) = delete;
    SettingsProblemReporter& operator=(const SettingsProblemReporter&) = delete;

private:
    std::function<void(const QString&)> report_;
    SettingsProblemReporter* previous_;
    friend void ReportSettingsProblem(const QString& problem);
};

}  // namespace om
