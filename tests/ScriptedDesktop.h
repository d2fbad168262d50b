// A Desktop that answers from a script instead of showing modal windows,
// and records what the program asked.
#pragma once

#include <QFile>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/Desktop.h"

namespace omtest {

// No test reads or writes the user's own settings (the recent files): every
// test program that makes a window keeps them in a folder of its own,
// removed when it ends. A test may point them elsewhere again with use().
struct PrivateSettings {
    PrivateSettings() { use(folder.path()); }
    // The program finds its settings under $XDG_CONFIG_HOME (om::SettingsFilePath).
    static void use(const QString& configFolder) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configFolder));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configFolder);
    }
    QTemporaryDir folder;
};
inline PrivateSettings privateSettings;

class ScriptedDesktop : public om::Desktop {
public:
    struct Shown {
        QString text;
        QString informative;
        Buttons buttons;
        Icon icon;
        QWidget* owner;
    };

    Answer messageBox(QWidget* owner, const QString& text, Buttons buttons, Icon icon,
                      const QString& informative) override {
        shown.push_back({text, informative, buttons, icon, owner});
        if (whileShowing)
            whileShowing();
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (answers.empty())
            return Answer::No;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }

    QString chooseRomFile(QWidget*, const QString& startFolder) override {
        ++fileDialogs;
        startFolders.append(startFolder);
        if (files.empty())
            return {};
        const QString f = files.front();
        files.pop_front();
        return f;
    }

    QString choosePatchFile(QWidget*, const QString& suggestedPath) override {
        ++patchDialogs;
        suggestedPatches.append(suggestedPath);
        if (patchFiles.empty())
            return {};
        const QString f = patchFiles.front();
        patchFiles.pop_front();
        return f;
    }

    bool openDocument(const QString& path) override {
        documents.append(path);
        return documentsOpen;
    }

    std::optional<QString> askText(QWidget*, const QString& title, const QString& label,
                                   const QString& initial) override {
        asked.append(title + QLatin1Char('|') + label + QLatin1Char('|') + initial);
        if (texts.empty())
            return std::nullopt;
        const QString t = texts.front();
        texts.pop_front();
        return t;
    }
    QString choosePictureFile(QWidget*) override { return next(pictureFiles); }
    QString chooseFolder(QWidget*, const QString& title, const QString&) override {
        folderTitles.append(title);
        return next(folders);
    }
    static QString next(std::deque<QString>& queue) {
        if (queue.empty())
            return {};
        const QString f = queue.front();
        queue.pop_front();
        return f;
    }
    std::deque<QString> pictureFiles;  // what the picture-file dialog returns; empty = cancel
    std::deque<QString> folders;       // what each folder dialog returns
    QStringList folderTitles;          // what each folder dialog was for

    std::optional<QString> chooseEmulatorCommand(QWidget*, const QString& current) override {
        shownCommands.append(current);
        if (emulatorCommands.empty())
            return std::nullopt;
        const std::optional<QString> c = emulatorCommands.front();
        emulatorCommands.pop_front();
        return c;
    }
    Opener documentOpener(const QString& path) override {
        openerQueries.append(path);
        return opener;
    }

    QString choosePatchFileTitled(QWidget* owner, const QString& suggestedPath,
                                  const QString& title) override {
        patchTitles.append(title);
        return choosePatchFile(owner, suggestedPath);
    }

    std::deque<Answer> answers;   // for Yes/No questions, in order
    std::deque<QString> files;    // what the file-open dialog returns; empty = cancel
    std::deque<QString> patchFiles;  // what the Export Patch dialog returns
    int patchDialogs = 0;
    std::deque<QString> texts;  // what askText returns, in order; empty = cancel
    QStringList asked;          // each askText's "title|label|initial"
    std::function<void()> whileShowing;   // runs while a message box is up
    bool documentsOpen = true;            // what openDocument answers
    std::vector<Shown> shown;
    QStringList documents;
    int fileDialogs = 0;
    QStringList startFolders;      // what each file-open dialog was to start in
    QStringList suggestedPatches;  // what each Export Patch dialog proposed
    // What Tools > Emulator... answers, in order (nothing: cancelled; none left: cancelled),
    // and the command each of those dialogs showed.
    std::deque<std::optional<QString>> emulatorCommands;
    QStringList shownCommands;
    Opener opener = Opener::Application;  // what documentOpener answers
    QStringList openerQueries;            // the paths documentOpener was asked about
    QStringList patchTitles;       // the titles of the titled ones
};

}  // namespace omtest
