#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
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
    // Both texts often name a file or quote what was typed: shown as text,
    // never read as markup.
    box.setTextFormat(Qt::PlainText);
    if (!informative.isEmpty()) {
        box.setInformativeText(informative);
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            label->setTextFormat(Qt::PlainText);
    }
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

QString QtDesktop::choosePictureFile(QWidget* owner) {
    QFileDialog dialog(owner, QStringLiteral("Set Thumbnail from File"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(
        {QString::fromLatin1(kPictureFileFilter), QString::fromLatin1(kAllFilesFilter)});
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDesktop::chooseFolder(QWidget* owner, const QString& title, const QString& startFolder) {
    QFileDialog dialog(owner, title, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
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

std::optional<QString> QtDesktop::askText(QWidget* owner, const QString& title,
                                          const QString& label, const QString& initial) {
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(initial);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::unique_ptr<QInputDialog> MakeEmulatorCommandDialog(QWidget* owner, const QString& current) {
    auto dialog = std::make_unique<QInputDialog>(owner);
    dialog->setWindowTitle(QString::fromLatin1(kEmulatorDialogTitle));
    dialog->setLabelText(QString::fromLatin1(kEmulatorDialogLabel));
    dialog->setInputMode(QInputDialog::TextInput);
    dialog->setTextValue(current);
    // Wide enough for a command line with a path or two in it.
    dialog->resize(dialog->fontMetrics().averageCharWidth() * 70, dialog->sizeHint().height());
    return dialog;
}

std::optional<QString> QtDesktop::chooseEmulatorCommand(QWidget* owner, const QString& current) {
    const std::unique_ptr<QInputDialog> dialog = MakeEmulatorCommandDialog(owner, current);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog->textValue();
}

bool DesktopEntryNeedsTerminal(const QByteArray& entry) {
    bool inMainGroup = false;
    for (const QByteArray& raw : entry.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (inMainGroup && eq > 0 && line.left(eq).trimmed() == "Terminal")
            return line.mid(eq + 1).trimmed() == "true";
    }
    return false;
}

Desktop::Opener QtDesktop::documentOpener(const QString& path) {
    const QMimeType known = QMimeDatabase().mimeTypeForFile(path);
    // Without a MIME database the documents this program opens (its readme)
    // are taken as what they are, plain text.
    const QString type = known.isValid() && !known.isDefault() ? known.name()
                                                               : QStringLiteral("text/plain");
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0)
        return Opener::Unknown;
    const QString name = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (name.isEmpty())
        return Opener::None;
    const QString file = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name);
    QFile entry(file);
    if (file.isEmpty() || !entry.open(QIODevice::ReadOnly))
        return Opener::None;
    return DesktopEntryNeedsTerminal(entry.readAll()) ? Opener::TerminalProgram
                                                      : Opener::Application;
}

}  // namespace om
