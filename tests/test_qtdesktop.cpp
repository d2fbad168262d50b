// The real desktop, offscreen: the message boxes the program shows and the
// file-open dialog, answered from inside their own event loops as a user
// would answer them.
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <optional>

#include "ShownText.h"
#include "app/Desktop.h"

using om::Desktop;

Q_DECLARE_METATYPE(Desktop::Buttons)
Q_DECLARE_METATYPE(Desktop::Icon)
Q_DECLARE_METATYPE(Desktop::Answer)

namespace {

// Runs act on the first modal window of type T once it is up. Should a
// window not close (or ask something back), the test fails instead of
// waiting for ever: every 20 seconds the top modal dialog is rejected.
template <class T>
struct WhenModal {
    explicit WhenModal(std::function<void(T*)> act) {
        QObject::connect(&poll, &QTimer::timeout, [this, act] {
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
                poll.stop();
                act(w);
            }
        });
        QObject::connect(&watchdog, &QTimer::timeout, [] {
            if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                w->reject();
        });
        poll.start(10);
        watchdog.start(20000);
    }
    QTimer poll;
    QTimer watchdog;
};

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void messageBox_data() {
        QTest::addColumn<Desktop::Buttons>("buttons");
        QTest::addColumn<QString>("press");  // a button's text, or a key
        QTest::addColumn<Desktop::Answer>("answer");
        QTest::addColumn<QString>("informative");
        QTest::addColumn<QString>("message");
        using B = Desktop::Buttons;
        using A = Desktop::Answer;
        QTest::newRow("warning with a reason, OK clicked")
            << B::Ok << "OK" << A::Ok << "No such file or directory" << "Gloomfen is flooded.";
        QTest::newRow("warning, Enter") << B::Ok << "Enter" << A::Ok << "" << "Gloomfen is flooded.";
        QTest::newRow("warning, Escape") << B::Ok << "Escape" << A::Ok << "" << "Gloomfen is flooded.";
        QTest::newRow("question, Yes clicked") << B::YesNo << "Yes" << A::Yes << "" << "Gloomfen is flooded.";
        QTest::newRow("question, No clicked") << B::YesNo << "No" << A::No << "" << "Gloomfen is flooded.";
        QTest::newRow("question, Enter") << B::YesNo << "Enter" << A::Yes << "" << "Gloomfen is flooded.";
        QTest::newRow("question, Escape") << B::YesNo << "Escape" << A::No << "" << "Gloomfen is flooded.";
        // A file's name or a term typed is shown as it is, markup and all.
        QTest::newRow("names holding markup, shown as text")
            << B::Ok << "OK" << A::Ok << "cannot write '/x/#<font color=red>y.bps': No space"
            << "<b>Gloomfen</b> &amp; <table><tr><td>";
    }

    void messageBox() {
        QFETCH(Desktop::Buttons, buttons);
        QFETCH(QString, press);
        QFETCH(Desktop::Answer, answer);
        QFETCH(QString, informative);
        QFETCH(QString, message);
        const bool yesNo = buttons == Desktop::Buttons::YesNo;
        QWidget owner;
        owner.show();
        // The box as shown: title, text, informative text, icon, its buttons
        // in alphabetical order, the default one; and its parent.
        QStringList shown;
        QWidget* parent = nullptr;
        const WhenModal<QMessageBox> answering([&](QMessageBox* box) {
            const auto text = [](QAbstractButton* b) { return b ? b->text().remove('&') : ""; };
            QStringList buttonTexts;
            for (QAbstractButton* b : box->buttons())
                buttonTexts.append(text(b));
            buttonTexts.sort();
            const auto label = [box](const char* name) {
                return omtest::ShownText(box->findChild<QLabel*>(QLatin1String(name)));
            };
            shown = QStringList{box->windowTitle(), label("qt_msgbox_label"),
                                informative.isEmpty() ? QString() : label("qt_msgbox_informativelabel"),
                                QString::number(box->icon()), buttonTexts.join(' '),
                                text(box->defaultButton())};
            parent = box->parentWidget();
            if (press == QLatin1String("Enter"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (press == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                for (QAbstractButton* b : box->buttons())
                    if (text(b) == press)
                        b->click();
        });

        om::QtDesktop desktop;
        const Desktop::Answer got = desktop.messageBox(
            &owner, message, buttons,
            yesNo ? Desktop::Icon::Question : Desktop::Icon::Warning, informative);
        QCOMPARE(got, answer);
        QCOMPARE(shown, (QStringList{"OMBattleAnim", message, informative,
                                     QString::number(yesNo ? QMessageBox::Question
                                                           : QMessageBox::Warning),
                                     yesNo ? "No Yes" : "OK", yesNo ? "Yes" : "OK"}));
        QCOMPARE(parent, &owner);
    }

    void fileDialog_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("file chosen") << true;
        QTest::newRow("cancelled") << false;
    }

    void fileDialog() {
        QFETCH(bool, accept);
        QTemporaryDir dir;
        const QString path = dir.path() + "/Mirewood.smc";
        for (const char* name : {"Mirewood.smc", "SHOUT.SMC", "Mixed.Smc", "bare.sfc",
                                 "BARE.SFC", "notes.txt", "game.smc.bak"}) {
            QFile f(dir.path() + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QStringList seen;  // title, folder, the filter selected, then every filter
        QStringList listed, all;
        const WhenModal<QFileDialog> answering([&](QFileDialog* dialog) {
            seen = QStringList{dialog->windowTitle(), dialog->directory().absolutePath(),
                               dialog->selectedNameFilter()} +
                   dialog->nameFilters();
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            // What the dialog lists: ROM images in any letter case, then
            // with "All files" everything.
            auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
            QVERIFY(view);
            const auto shown = [&](int rows) {
                QStringList names;
                const QModelIndex root = view->rootIndex();
                if (!QTest::qWaitFor([&] { return view->model()->rowCount(root) == rows; }))
                    return names;
                for (int r = 0; r < rows; ++r)
                    names.append(view->model()->index(r, 0, root).data().toString());
                names.sort();
                return names;
            };
            listed = shown(5);
            dialog->selectNameFilter(QStringLiteral("All files (*)"));
            all = shown(7);
            if (accept) {
                // Type the name, as a user would.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                QTest::keyClicks(name, QStringLiteral("Mirewood.smc"));
                QTest::keyClick(name, Qt::Key_Return);
            } else {
                QTest::keyClick(dialog, Qt::Key_Escape);
            }
        });

        om::QtDesktop desktop;
        const QString chosen = desktop.chooseRomFile(nullptr, dir.path());
        QCOMPARE(chosen, accept ? path : QString());
        const QString roms = QStringLiteral("SNES ROM files (*.smc *.sfc)");
        QCOMPARE(seen, (QStringList{"Open", dir.path(), roms, roms, "All files (*)"}));
        QCOMPARE(listed, (QStringList{"BARE.SFC", "Mirewood.smc", "Mixed.Smc", "SHOUT.SMC",
                                      "bare.sfc"}));
        QCOMPARE(all.size(), 7);
    }

    // Tools > Emulator...: the line shows the command kept; what is typed
    // and confirmed with Enter comes back, Escape gives nothing.
    void emulatorCommandDialog_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("typed");  // empty: Escape
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::newRow("typed over the kept one")
            << "mednafen %f" << "retroarch -L \"/a core.so\" %f"
            << std::optional<QString>(QStringLiteral("retroarch -L \"/a core.so\" %f"));
        QTest::newRow("cancelled") << "mednafen %f" << "" << std::optional<QString>();
    }
    void emulatorCommandDialog() {
        QFETCH(QString, current);
        QFETCH(QString, typed);
        QFETCH(std::optional<QString>, answer);
        QStringList seen;  // title, then the line as shown
        const WhenModal<QInputDialog> answering([&](QInputDialog* dialog) {
            auto* line = dialog->findChild<QLineEdit*>();
            QVERIFY(line);
            seen = QStringList{dialog->windowTitle(), line->text()};
            if (typed.isEmpty()) {
                QTest::keyClick(line, Qt::Key_Escape);
                return;
            }
            line->selectAll();
            QTest::keyClicks(line, typed);
            QTest::keyClick(line, Qt::Key_Return);
        });
        om::QtDesktop desktop;
        QCOMPARE(desktop.chooseEmulatorCommand(nullptr, current), answer);
        QCOMPARE(seen, (QStringList{"Emulator", current}));
    }
};

QTEST_MAIN(TestDesktop)
#include "test_qtdesktop.moc"
