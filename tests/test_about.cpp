// The About box and its two jokes, and how the menu opens it.
#include <QPushButton>
#include <QGroupBox>
#include <QTimer>
#include <QtTest>

#include "ScriptedDesktop.h"
#include "WindowFixture.h"
#include "app/AboutDlg.h"
#include "app/Messages.h"

using namespace om;

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void pictureClickRenamesButton();
    void iconClickShowsEveryQuip();
    void escapeAfterRenameClosesAsOk();
    void helpAboutOpensAFreshBox();
};

void TestAbout::layout() {
    omtest::ScriptedDesktop desktop;
    CAboutDlg box(desktop, nullptr);
    QCOMPARE(box.windowTitle(), QStringLiteral("About OMBattleAnim"));
    auto* ok = Control<QPushButton>(&box, IDOK);
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    auto* picture = Control<QLabel>(&box, IDC_ABOUT_PICTURE);
    QCOMPARE(picture->pixmap().size(), QSize(142, 144));
    QVERIFY(!Control<QLabel>(&box, IDC_ABOUT_ICON)->pixmap().isNull());
    QVERIFY(box.findChild<QGroupBox*>() != nullptr);
    QCOMPARE(box.findChild<QGroupBox*>()->title(),
             QStringLiteral("Orbitmarsh Battle Animation Editor v1.0"));
}

void TestAbout::pictureClickRenamesButton() {
    omtest::ScriptedDesktop desktop;
    CAboutDlg box(desktop, nullptr);
    box.show();
    auto* picture = Control<QLabel>(&box, IDC_ABOUT_PICTURE);
    QTest::mouseClick(picture, Qt::LeftButton);
    QTest::mouseClick(picture, Qt::LeftButton);
    QCOMPARE(desktop.shown.size(), std::size_t(2));
    for (const auto& s : desktop.shown) {
        QCOMPARE(s.text, QStringLiteral("Shut up, Blix."));
        QCOMPARE(s.buttons, Desktop::Buttons::Ok);
        QCOMPARE(s.icon, Desktop::Icon::Warning);
        QCOMPARE(s.owner, &box);
    }
    auto* ok = Control<QPushButton>(&box, IDOK);
    QCOMPARE(ok->text(), QStringLiteral("y j00 h4x?"));
    // Enter still closes the box as OK.
    QTest::keyClick(&box, Qt::Key_Return);
    QCOMPARE(box.result(), int(QDialog::Accepted));
    QVERIFY(!box.isVisible());
}

void TestAbout::iconClickShowsEveryQuip() {
    omtest::ScriptedDesktop desktop;
    CAboutDlg box(desktop, nullptr);
    box.show();
    auto* icon = Control<QLabel>(&box, IDC_ABOUT_ICON);
    QSet<QString> seen;
    for (int i = 0; i < 300 && seen.size() < 5; ++i) {
        QTest::mouseClick(icon, Qt::LeftButton);
        seen.insert(desktop.shown.back().text);
    }
    const QStringList quips = {
        "Boo.",
        "Hello. My name is Dorn Pippet.",
        "Give this a Tobble. It may just be the Tobble of your life.",
        "Don't look now, but your toaster is on fire.",
        "What came first: the chicken or the sandwich?\n\nHmmm, what indeed.",
    };
    QCOMPARE(seen, QSet<QString>(quips.begin(), quips.end()));
    for (const auto& s : desktop.shown) {
        QCOMPARE(s.buttons, Desktop::Buttons::Ok);
        QCOMPARE(s.icon, Desktop::Icon::Warning);
        QCOMPARE(s.owner, &box);
    }
    // The draw picks by index: the table keeps this order.
    QStringList table;
    for (const char* q : AboutQuips)
        table.append(QString::fromLatin1(q));
    QCOMPARE(table, quips);
}

void TestAbout::escapeAfterRenameClosesAsOk() {
    omtest::ScriptedDesktop desktop;
    CAboutDlg box(desktop, nullptr);
    box.show();
    box.OnClickAboutPicture();
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(!box.isVisible());
}

void TestAbout::helpAboutOpensAFreshBox() {
    omtest::WindowFixture f;
    QStringList buttonTexts;
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            QVERIFY(box);
            buttonTexts.append(Control<QPushButton>(box, IDOK)->text());
            box->OnClickAboutPicture();
            box->reject();
        });
        f.window->command(ID_HELP_ABOUT)->trigger();
    }
    QCOMPARE(buttonTexts, (QStringList{"OK", "OK"}));
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
