// The real desktop, offscreen: the message boxes the program shows and the
// file-open dialog, answered from inside their own event loops as a user
// would answer them.
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/Desktop.h"

using om::Desktop;

Q_DECLARE_METATYPE(Desktop::Buttons)
Q_DECLARE_METATYPE(Desktop::Icon)
Q_DECLARE_METATYPE(Desktop::Answer)

namespace {

// Runs act on the first modal window of type T once it is up.
template <class T>
void WhenModal(QObject* context, std::function<void(T*)> act) {
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, act] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(w);
        }
    });
    poll->start(10);
}

// Should a window not close (or ask something back), the test fails instead
// of waiting for ever: every 20 seconds the top modal dialog is rejected.
struct Watchdog {
    Watchdog() {
        QObject::connect(&timer, &QTimer::timeout, [] {
            if (auto* w = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                w->reject();
        });
        timer.start(20000);
    }
    QTimer timer;
};

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void messageBox_data() {
        QTest::addColumn<Desktop::Buttons>("buttons");
        QTest::addColumn<Desktop::Icon>("icon");
        QTest::addColumn<QString>("press");  // a button's text, or a key
        QTest::addColumn<Desktop::Answer>("answer");
        QTest::addColumn<QString>("informative");
        using B = Desktop::Buttons;
        using I = Desktop::Icon;
        using A = Desktop::Answer;
        QTest::newRow("warning, OK clicked") << B::Ok << I::Warning << "OK" << A::Ok << "";
        QTest::newRow("warning, Enter") << B::Ok << I::Warning << "Enter" << A::Ok << "";
        QTest::newRow("warning, Escape") << B::Ok << I::Warning << "Escape" << A::Ok << "";
        QTest::newRow("warning with a reason")
            << B::Ok << I::Warning << "OK" << A::Ok << "No such file or directory";
        QTest::newRow("question, Yes clicked") << B::YesNo << I::Question << "Yes" << A::Yes << "";
        QTest::newRow("question, No clicked") << B::YesNo << I::Question << "No" << A::No << "";
        QTest::newRow("question, Enter") << B::YesNo << I::Question << "Enter" << A::Yes << "";
        QTest::newRow("question, Escape") << B::YesNo << I::Question << "Escape" << A::No << "";
    }

    void messageBox() {
        QFETCH(Desktop::Buttons, buttons);
        QFETCH(Desktop::Icon, icon);
        QFETCH(QString, press);
        QFETCH(Desktop::Answer, answer);
        QFETCH(QString, informative);

        QWidget owner;
        owner.show();
        const bool yesNo = buttons == Desktop::Buttons::YesNo;
        QString title, text, shownInformative, defaultText;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        QStringList buttonTexts;
        QWidget* parent = nullptr;
        WhenModal<QMessageBox>(this, [&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            shownInformative = box->informativeText();
            shownIcon = box->icon();
            parent = box->parentWidget();
            for (QAbstractButton* b : box->buttons())
                buttonTexts.append(b->text().remove(QLatin1Char('&')));
            if (box->defaultButton())
                defaultText = box->defaultButton()->text().remove(QLatin1Char('&'));
            if (press == QLatin1String("Enter"))
                QTest::keyClick(box, Qt::Key_Return);
            else if (press == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                for (QAbstractButton* b : box->buttons())
                    if (b->text().remove(QLatin1Char('&')) == press)
                        b->click();
        });

        const Watchdog watchdog;
        om::QtDesktop desktop;
        const Desktop::Answer got = desktop.messageBox(&owner, QStringLiteral("Gloomfen is flooded."),
                                                       buttons, icon, informative);
        QCOMPARE(got, answer);
        QCOMPARE(title, QStringLiteral("OMBattleAnim"));
        QCOMPARE(text, QStringLiteral("Gloomfen is flooded."));
        QCOMPARE(shownInformative, informative);
        QCOMPARE(shownIcon, yesNo ? QMessageBox::Question : QMessageBox::Warning);
        buttonTexts.sort();
        QCOMPARE(buttonTexts, (yesNo ? QStringList{"No", "Yes"} : QStringList{"OK"}));
        QCOMPARE(defaultText, yesNo ? QStringLiteral("Yes") : QStringLiteral("OK"));
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
        QString title, selectedFilter, startedIn;
        QStringList filters, listed, all;
        WhenModal<QFileDialog>(this, [&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            selectedFilter = dialog->selectedNameFilter();
            startedIn = dialog->directory().absolutePath();
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

        const Watchdog watchdog;
        om::QtDesktop desktop;
        const QString chosen = desktop.chooseRomFile(nullptr, dir.path());
        QCOMPARE(chosen, accept ? path : QString());
        QCOMPARE(title, QStringLiteral("Open"));
        QCOMPARE(startedIn, dir.path());
        QCOMPARE(filters, (QStringList{"SNES ROM files (*.smc *.sfc)", "All files (*)"}));
        QCOMPARE(selectedFilter, QStringLiteral("SNES ROM files (*.smc *.sfc)"));
        QCOMPARE(listed, (QStringList{"BARE.SFC", "Mirewood.smc", "Mixed.Smc", "SHOUT.SMC",
                                      "bare.sfc"}));
        QCOMPARE(all.size(), 7);
    }
};

QTEST_MAIN(TestDesktop)
#include "test_qtdesktop.moc"
