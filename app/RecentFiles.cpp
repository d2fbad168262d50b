#include "app/RecentFiles.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "app/SafeSettings.h"
#include "res/ResourceIds.h"

namespace om {

namespace {

const QString kPathsKey = QStringLiteral("RecentFiles/Paths");

QString Normalised(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

QStringList RecentFiles::paths() const {
    // The file may have been edited by hand: empty entries and repeats are
    // dropped, and no more than the limit is shown.
    QStringList paths;
    const std::unique_ptr<const QSettings> settings = ReadSettings();
    if (!settings)
        return paths;
    for (const QString& p : settings->value(kPathsKey).toStringList()) {
        if (p.isEmpty())
            continue;
        const QString path = Normalised(p);
        if (!paths.contains(path) && paths.size() < kMaxRecentFiles)
            paths.append(path);
    }
    return paths;
}

void RecentFiles::add(const QString& path) {
    QStringList list = paths();
    const QString p = Normalised(path);
    list.removeAll(p);
    list.prepend(p);
    while (list.size() > kMaxRecentFiles)
        list.removeLast();
    store(list);
}

void RecentFiles::remove(const QString& path) {
    QStringList list = paths();
    if (list.removeAll(Normalised(path)) > 0)
        store(list);
}

void RecentFiles::clear() { store({}); }

QString RecentFiles::lastFolder() const {
    const QStringList list = paths();
    return list.isEmpty() ? QString() : QFileInfo(list.first()).absolutePath();
}

void RecentFiles::store(const QStringList& paths) {
    WriteSettings([&](QSettings& settings) {
        if (paths.isEmpty())
            settings.remove(kPathsKey);
        else
            settings.setValue(kPathsKey, paths);
    });
}

QString RecentEntryText(int index, const QString& path, bool nameShared) {
    const QFileInfo file(path);
    // An '&' in a name is shown as itself, not taken as a mnemonic.
    QString text = QStringLiteral("&%1 %2").arg(index + 1).arg(
        QString(file.fileName()).replace(QLatin1Char('&'), QLatin1String("&&")));
    if (nameShared)
        text += QStringLiteral(" (%1)").arg(
            QDir::toNativeSeparators(file.absolutePath()).replace(QLatin1Char('&'), QLatin1String("&&")));
    return text;
}

QString SuggestedPatchPath(const QString& romPath) {
    const QFileInfo rom(romPath);
    return rom.absoluteDir().filePath(rom.completeBaseName() + QStringLiteral(".bps"));
}

RecentFilesMenu::RecentFilesMenu(QMenu* menu, QAction* before, RecentFiles& recent)
    : QObject(menu), menu_(new QMenu(QStringLiteral("Open &Recent"), menu)), recent_(recent) {
    menu_->menuAction()->setObjectName(QStringLiteral("ID_FILE_OPENRECENT"));
    menu_->menuAction()->setProperty("commandId", ID_FILE_OPENRECENT);
    menu->insertMenu(before, menu_);
    // The full path of an entry shows as its tooltip.
    menu_->setToolTipsVisible(true);
    // The entries are made once and shown as the list needs them, so none is
    // deleted while it is being chosen.
    for (int i = 0; i < kMaxRecentFiles; ++i) {
        QAction* a = menu_->addAction(QString());
        a->setObjectName(QStringLiteral("ID_FILE_MRU_FILE%1").arg(i + 1));
        a->setProperty("commandId", ID_FILE_MRU_FILE1 + i);
        connect(a, &QAction::triggered, this, [this, a] { emit openRequested(a->data().toString()); });
        entries_.append(a);
    }
    separator_ = menu_->addSeparator();
    QAction* clear = menu_->addAction(QStringLiteral("&Clear List"));
    clear->setObjectName(QStringLiteral("ID_FILE_CLEARRECENT"));
    clear->setProperty("commandId", ID_FILE_CLEARRECENT);
    connect(clear, &QAction::triggered, this, [this] {
        recent_.clear();
        rebuild();
    });
    connect(menu_, &QMenu::aboutToShow, this, &RecentFilesMenu::rebuild);
    rebuild();
}

void RecentFilesMenu::rebuild() {
    const QStringList paths = recent_.paths();
    QStringList names;
    for (const QString& p : paths)
        names.append(QFileInfo(p).fileName());
    for (int i = 0; i < entries_.size(); ++i) {
        QAction* a = entries_[i];
        a->setVisible(i < paths.size());
        if (i >= paths.size())
            continue;
        a->setText(RecentEntryText(i, paths[i], names.count(names[i]) > 1));
        // A tooltip is read as markup when it looks like some: the path is
        // given escaped, so that a name holding "<b>" shows as it is.
        a->setToolTip(QStringLiteral("<p style='white-space:pre'>%1</p>")
                          .arg(QDir::toNativeSeparators(paths[i]).toHtmlEscaped()));
        a->setStatusTip(QDir::toNativeSeparators(paths[i]));
        a->setData(paths[i]);
    }
    separator_->setVisible(!paths.isEmpty());
}

}  // namespace om
