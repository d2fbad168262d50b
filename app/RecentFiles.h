// The ROMs opened lately, newest first, kept in the user's settings
// (~/.config/OMBattleAnim/OMBattleAnim.conf, or under $XDG_CONFIG_HOME), and
// the File > Open Recent submenu that lists them.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QMenu;

namespace om {

inline constexpr int kMaxRecentFiles = 8;

// The list as the settings hold it. Every change is written at once and
// every read takes what is there, so two editors running side by side share
// one list.
class RecentFiles {
public:
    // Newest first, at most kMaxRecentFiles absolute paths, each once.
    QStringList paths() const;
    // Puts path first (once), dropping the oldest beyond the limit.
    void add(const QString& path);
    void remove(const QString& path);
    void clear();
    // The folder of the newest ROM in the list; empty when there is none.
    QString lastFolder() const;

private:
    static void store(const QStringList& paths);
};

// The text of entry index (0 for the newest): its number as the mnemonic,
// then the file's name ("&1 demo.smc"); when another entry has the same
// name, its folder follows in brackets.
QString RecentEntryText(int index, const QString& path, bool nameShared);

// Where Export Patch proposes to write: "<ROM name>.bps" beside the ROM.
QString SuggestedPatchPath(const QString& romPath);

// The submenu "Open &Recent" showing the list: one entry a ROM, newest
// first, then "&Clear List". Brought up to date whenever it is about to be
// shown, and by rebuild() after a change.
class RecentFilesMenu : public QObject {
    Q_OBJECT
public:
    // Puts the submenu into menu before the entry before.
    RecentFilesMenu(QMenu* menu, QAction* before, RecentFiles& recent);
    void rebuild();
    QMenu* menu() const { return menu_; }

signals:
    // The user chose the entry of path.
    void openRequested(const QString& path);

private:
    QMenu* menu_;  // the submenu
    RecentFiles& recent_;
    QList<QAction*> entries_;  // kMaxRecentFiles of them, the unused hidden
    QAction* separator_ = nullptr;
};

}  // namespace om
