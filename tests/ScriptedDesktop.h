// A Desktop that answers from a script instead of showing modal windows,
// and records what the program asked.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <vector>

#include "app/Desktop.h"

namespace omtest {

// No test reads or writes the user's own settings (the recent files): every
// test program that makes a window keeps them in a folder of its own,
// removed when it ends. A test may point them elsewhere again.
struct PrivateSettings {
    PrivateSettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
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

    QString choosePatchFileTitled(QWidget* owner, const QString& suggestedPath,
                                  const QString& title) override {
        patchTitles.append(title);
        return choosePatchFile(owner, suggestedPath);
    }

    std::deque<Answer> answers;   // for Yes/No questions, in order
    std::deque<QString> files;    // what the file-open dialog returns; empty = cancel
    std::deque<QString> patchFiles;  // what the Export Patch dialog returns
    int patchDialogs = 0;
    std::function<void()> whileShowing;   // runs while a message box is up
    bool documentsOpen = true;            // what openDocument answers
    std::vector<Shown> shown;
    QStringList documents;
    int fileDialogs = 0;
    QStringList startFolders;      // what each file-open dialog was to start in
    QStringList suggestedPatches;  // what each Export Patch dialog proposed
    QStringList patchTitles;       // the titles of the titled ones
};

}  // namespace omtest
