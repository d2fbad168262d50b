// The main window's side of the user's own thumbnails: the entries a
// picker's right-click menu adds, the Tools menu's commands, and showing a
// changed picture in its picker at once.
#include "app/ThumbnailCommands.h"
#include "app/SafeSettings.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>

#include "app/BackgroundBrowser.h"
#include "app/BattleAnimDlg.h"
#include "app/Desktop.h"
#include "pickers/BuildLayerPickers.h"
#include "pickers/ThumbnailStore.h"
#include "res/ResourceIds.h"

namespace om {

namespace {

QAction* AddEntry(QMenu* menu, const char* name, int id, const char* text) {
    QAction* a = menu->addAction(QString::fromLatin1(text));
    a->setObjectName(QString::fromLatin1(name));
    a->setProperty("commandId", id);
    return a;
}

}  // namespace

QString DefaultScreenshotFolder() { return QDir::homePath() + QStringLiteral("/.mednafen/snaps"); }

QString ScreenshotFolder() {
    return SettingValue(QLatin1String(kScreenshotFolderKey), DefaultScreenshotFolder()).toString();
}

void SetScreenshotFolder(const QString& folder) {
    SetSetting(QLatin1String(kScreenshotFolderKey), folder);
}

QString LatestPicture(const QString& folder) {
    QStringList patterns;
    for (const QByteArray& suffix : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(suffix));
    QDir dir(folder);
    dir.setNameFilters(patterns);
    // Newest first; any letter case of the extension.
    const QFileInfoList files =
        dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Time | QDir::IgnoreCase);
    return files.isEmpty() ? QString() : files.constFirst().filePath();
}

PickerBuildTarget CBattleAnimDlg::pickerTarget(int layer) {
    return layer == 1 ? PickerBuildTarget{layer1Picker_, &layer1Images_, &editor_->catalog(1),
                                          thumbnails_.get(), 1}
                      : PickerBuildTarget{layer2Picker_, &layer2Images_, &editor_->catalog(2),
                                          thumbnails_.get(), 2};
}

void CBattleAnimDlg::AddThumbnailEntries(int layer, int background, QMenu* menu) {
    // Each acts on the thumbnail of that background (the one a picker shows,
    // or a browser's cell); none without one.
    const bool shown = background >= 0;
    const struct {
        const char* name;
        int id;
        const char* text;
        void (CBattleAnimDlg::*run)(int, int);
    } kEntries[] = {
        {"ID_THUMBNAIL_FROMFILE", ID_THUMBNAIL_FROMFILE, "Set Thumbnail from &File...",
         &CBattleAnimDlg::OnThumbnailFromFile},
        {"ID_THUMBNAIL_PASTE", ID_THUMBNAIL_PASTE, "&Paste Thumbnail",
         &CBattleAnimDlg::OnPasteThumbnail},
        {"ID_THUMBNAIL_SCREENSHOT", ID_THUMBNAIL_SCREENSHOT, "Use Latest Emulator &Screenshot",
         &CBattleAnimDlg::OnLatestScreenshot},
        {"ID_THUMBNAIL_RESET", ID_THUMBNAIL_RESET, "&Reset Thumbnail",
         &CBattleAnimDlg::OnResetThumbnail},
    };
    for (const auto& e : kEntries) {
        QAction* a = AddEntry(menu, e.name, e.id, e.text);
        a->setEnabled(shown && (e.id != ID_THUMBNAIL_RESET ||
                                thumbnails_->has(layer, background)));
        const auto run = e.run;
        connect(a, &QAction::triggered, this,
                [this, run, layer, background] { (this->*run)(layer, background); });
    }
}

int CBattleAnimDlg::ShownBackground(int layer) {
    const PickerBuildTarget t = pickerTarget(layer);
    const int k = t.picker->currentIndex();
    return k >= 0 && k < t.catalog->size() ? BackgroundOf(t.catalog->entry(k)) : -1;
}

void CBattleAnimDlg::ShowThumbnail(int layer, int background) {
    const PickerBuildTarget t = pickerTarget(layer);
    const int custom = t.catalog->customSlot();
    for (int k = 0; k < custom; ++k) {
        if (BackgroundOf(t.catalog->entry(k)) != background)
            continue;
        // The list's picture is replaced, the item shown again: the old
        // pixels go with the last icon that held them.
        t.images->replace(k, ThumbnailOf(t, k));
        t.picker->showImage(k, k);
    }
    if (t.picker->count() > custom && BackgroundOf(t.catalog->entry(custom)) == background) {
        const QImage own = thumbnails_->load(layer, background);
        if (own.isNull())
            t.picker->showImage(custom, custom);
        else
            t.picker->showPicture(custom, QPixmap::fromImage(own));
    }
    if (browser_)
        browser_->thumbnailsChanged(layer);
}

void CBattleAnimDlg::SetThumbnail(int layer, int background, const QImage& picture,
                                  const QString& source, const QString& why) {
    if (picture.isNull()) {
        desktop_.messageBox(this, QString::fromLatin1(kBadPictureText).arg(source, why),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    if (background < 0)
        return;
    QString error;
    if (!thumbnails_->save(layer, background, picture, error)) {
        desktop_.messageBox(this, QString::fromLatin1(kThumbnailNotKeptText).arg(error),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    ShowThumbnail(layer, background);
}

void CBattleAnimDlg::OnThumbnailFromFile(int layer, int background) {
    const QString path = desktop_.choosePictureFile(this);
    if (path.isEmpty())
        return;
    QString why;
    const QImage picture = ReadPictureFile(path, why);
    SetThumbnail(layer, background, picture, path, why);
}

void CBattleAnimDlg::OnPasteThumbnail(int layer, int background) {
    const QImage picture = QGuiApplication::clipboard()->image();
    if (picture.isNull()) {
        desktop_.messageBox(this, QString::fromLatin1(kNoClipboardPictureText),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    QString why;
    if (picture.width() > kMaxPictureSide || picture.height() > kMaxPictureSide)
        why = QStringLiteral("it is larger than %1 x %1 pixels (%2 x %3)")
                  .arg(kMaxPictureSide)
                  .arg(picture.width())
                  .arg(picture.height());
    SetThumbnail(layer, background, why.isEmpty() ? picture : QImage(),
                 QString::fromLatin1(kClipboardPictureName), why);
}

void CBattleAnimDlg::OnLatestScreenshot(int layer, int background) {
    const QString folder = ScreenshotFolder();
    const QString path = LatestPicture(folder);
    if (path.isEmpty()) {
        desktop_.messageBox(this, QString::fromLatin1(kNoScreenshotText).arg(folder),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    QString why;
    const QImage picture = ReadPictureFile(path, why);
    SetThumbnail(layer, background, picture, path, why);
}

void CBattleAnimDlg::OnResetThumbnail(int layer, int background) {
    if (background < 0)
        return;
    QString error;
    if (!thumbnails_->remove(layer, background, error))
        desktop_.messageBox(this, QString::fromLatin1(kThumbnailNotKeptText).arg(error),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
    ShowThumbnail(layer, background);
}

void CBattleAnimDlg::OnImportThumbnails() {
    const QString pack =
        desktop_.chooseFolder(this, QString::fromLatin1(kImportThumbnailsTitle));
    if (pack.isEmpty())
        return;
    const ThumbnailStore::Transfer t = thumbnails_->importFolder(pack);
    if (t.copied > 0) {
        // Every picture of both layers is shown again: a pack may hold any.
        for (const auto& [layer, background] : thumbnails_->all())
            ShowThumbnail(layer, background);
    }
    if (!t.error.isEmpty()) {
        const char* text = t.copied > 0 ? kImportWriteFailedText : kImportFailedText;
        const QString message = t.copied > 0 ? QString::fromLatin1(text).arg(t.copied).arg(t.error)
                                             : QString::fromLatin1(text).arg(t.error);
        desktop_.messageBox(this, message, Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    desktop_.messageBox(
        this, QString::fromLatin1(kThumbnailsImportedText).arg(t.copied), Desktop::Buttons::Ok,
        Desktop::Icon::Warning,
        t.skipped.isEmpty() ? QString()
                            : QString::fromLatin1(kSkippedNamesText).arg(t.skipped.join(QLatin1Char('\n'))));
}

void CBattleAnimDlg::OnExportThumbnails() {
    if (thumbnails_->count() == 0) {
        desktop_.messageBox(this, QString::fromLatin1(kNoThumbnailsToExportText),
                            Desktop::Buttons::Ok, Desktop::Icon::Warning);
        return;
    }
    const QString pack =
        desktop_.chooseFolder(this, QString::fromLatin1(kExportThumbnailsTitle));
    if (pack.isEmpty())
        return;
    const ThumbnailStore::Transfer t = thumbnails_->exportFolder(pack);
    const QString message =
        t.error.isEmpty()
            ? QString::fromLatin1(kThumbnailsExportedText).arg(t.copied).arg(pack)
            : QString::fromLatin1(kExportThumbnailsFailedText).arg(t.copied).arg(t.error);
    desktop_.messageBox(this, message, Desktop::Buttons::Ok, Desktop::Icon::Warning);
}

void CBattleAnimDlg::OnScreenshotFolder() {
    const QString folder = desktop_.chooseFolder(
        this, QString::fromLatin1(kScreenshotFolderTitle), ScreenshotFolder());
    if (!folder.isEmpty())
        SetScreenshotFolder(folder);
}

}  // namespace om
