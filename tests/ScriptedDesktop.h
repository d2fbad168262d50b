// A Desktop that answers from a script instead of showing modal windows,
// and records what the program asked.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "app/Desktop.h"

namespace omtest {

class ScriptedDesktop : public om::Desktop {
public:
    struct Shown {
        QString text;
        Buttons buttons;
        Icon icon;
        QWidget* owner;
    };

    Answer messageBox(QWidget* owner, const QString& text, Buttons buttons, Icon icon) override {
        shown.push_back({text, buttons, icon, owner});
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

    QString chooseRomFile(QWidget*) override {
        ++fileDialogs;
        if (whileChoosing)
            whileChoosing();
        if (files.empty())
            return {};
        const QString f = files.front();
        files.pop_front();
        return f;
    }

    QString choosePatchFile(QWidget*) override {
        ++patchDialogs;
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

    std::deque<Answer> answers;   // for Yes/No questions, in order
    std::deque<QString> files;    // what the file-open dialog returns; empty = cancel
    std::function<void()> whileChoosing;  // runs while the dialog is up
    std::deque<QString> patchFiles;  // what the Export Patch dialog returns
    int patchDialogs = 0;
    std::function<void()> whileShowing;   // runs while a message box is up
    bool documentsOpen = true;            // what openDocument answers
    std::vector<Shown> shown;
    QStringList documents;
    int fileDialogs = 0;
};

}  // namespace omtest
