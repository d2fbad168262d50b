#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "app/Desktop.h"
#include "res/ResourceIds.h"

namespace om {

Desktop::Answer QtDesktop::messageBox(QWidget* owner, const QString& text, Buttons buttons,
                                      Icon icon, const QString& informative) {
    QMessageBox box(icon == Icon::Question      ? QMessageBox::Question
                    : icon == Icon::Information ? QMessageBox::Information
                                                : QMessageBox::Warning,
                    QString::fromLatin1(kProgramName), text,
                    buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                              : QMessageBox::Ok,
                    owner);
    if (!informative.isEmpty())
        box.setInformativeText(informative);
    // The first button is the default, as the platform's own message box has it.
    box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok);
    const int r = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return r == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::unique_ptr<QFileDialog> MakeRomFileDialog(QWidget* owner, const QString& startFolder) {
    auto dialog = std::make_unique<QFileDialog>(owner);
    if (!startFolder.isEmpty())
        dialog->setDirectory(startFolder);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // Without QDir::CaseSensitive the name filter matches the extension in
    // any letter case, so game.smc and GAME.SMC both show.
    dialog->setNameFilters(
        {QString::fromLatin1(kRomFileFilter), QString::fromLatin1(kAllFilesFilter)});
    dialog->selectNameFilter(QString::fromLatin1(kRomFileFilter));
    dialog->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    // Qt's own dialog: a desktop's native one may match patterns by case.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    return dialog;
}

QString QtDesktop::chooseRomFile(QWidget* owner, const QString& startFolder) {
    const std::unique_ptr<QFileDialog> dialog = MakeRomFileDialog(owner, startFolder);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

std::unique_ptr<QFileDialog> MakePatchFileDialog(QWidget* owner, const QString& suggestedPath) {
    auto dialog = std::make_unique<QFileDialog>(owner, QString::fromLatin1(kExportPatchTitle));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters(
        {QString::fromLatin1(kBpsPatchFilter), QString::fromLatin1(kIpsPatchFilter)});
    dialog->selectNameFilter(QString::fromLatin1(kBpsPatchFilter));
    dialog->setDefaultSuffix(QStringLiteral("bps"));
    QFileDialog* d = dialog.get();
    QObject::connect(d, &QFileDialog::filterSelected, d, [d](const QString& filter) {
        d->setDefaultSuffix(filter == QLatin1String(kIpsPatchFilter) ? QStringLiteral("ips")
                                                                     : QStringLiteral("bps"));
    });
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (!suggestedPath.isEmpty()) {
        const QFileInfo suggested(suggestedPath);
        dialog->setDirectory(suggested.absolutePath());
        dialog->selectFile(suggested.fileName());
    }
    return dialog;
}

QString QtDesktop::choosePatchFile(QWidget* owner, const QString& suggestedPath) {
    const std::unique_ptr<QFileDialog> dialog = MakePatchFileDialog(owner, suggestedPath);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

QString QtDesktop::choosePatchFileTitled(QWidget* owner, const QString& suggestedPath,
                                        const QString& title) {
    const std::unique_ptr<QFileDialog> dialog = MakePatchFileDialog(owner, suggestedPath);
    dialog->setWindowTitle(title);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

bool QtDesktop::openDocument(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace om
