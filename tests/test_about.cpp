// The About box and its two jokes, and how the menu opens it.
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "MessageTexts.h"
#include "WindowFixture.h"
#include "app/AboutDlg.h"

using namespace om;

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void layoutAndJokes();
    void helpAboutOpensAFreshBox();
};

// The box as drawn; two clicks on the picture say the same and rename OK
// (Enter and Escape still close the box); icon clicks show every quip.
void TestAbout::layoutAndJokes() {
    for (const int key : {Qt::Key_Return, Qt::Key_Escape}) {
        omtest::ScriptedDesktop desktop;
        CAboutDlg box(desktop, nullptr);
        QCOMPARE(box.windowTitle(), QStringLiteral("About OMBattleAnim"));
        auto* ok = Control<QPushButton>(&box, IDOK);
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        auto* picture = Control<QLabel>(&box, IDC_ABOUT_PICTURE);
        QCOMPARE(picture->pixmap().size(), QSize(142, 144));
        auto* icon = Control<QLabel>(&box, IDC_ABOUT_ICON);
        QVERIFY(!icon->pixmap().isNull());
        QCOMPARE(box.findChild<QGroupBox*>()->title(),
                 QStringLiteral("Orbitmarsh Battle Animation Editor v1.0"));
        box.show();
        QTest::mouseClick(picture, Qt::LeftButton);
        QTest::mouseClick(picture, Qt::LeftButton);
        QCOMPARE(ok->text(), omtest::kPictureClickButton);
        QSet<QString> quips;
        for (int i = 0; i < 300 && quips.size() < 5; ++i) {
            QTest::mouseClick(icon, Qt::LeftButton);
            quips.insert(desktop.shown.back().text);
        }
        QCOMPARE(quips, QSet<QString>(omtest::kQuips.begin(), omtest::kQuips.end()));
        for (std::size_t i = 0; i < desktop.shown.size(); ++i) {
            const auto& s = desktop.shown[i];
            if (i < 2)
                QCOMPARE(s.text, omtest::kPictureClick);
            QCOMPARE(s.buttons, Desktop::Buttons::Ok);
            QCOMPARE(s.icon, Desktop::Icon::Warning);
            QCOMPARE(s.owner, &box);
        }
        QTest::keyClick(&box, Qt::Key(key));
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected));
    }
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
