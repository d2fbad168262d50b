// Telling groups apart and moving between them: the group list's number
// column and typed numbers, Go > Back and Forward, the order buttons' marks,
// hex byte fields, and Help > Readme on desktops that cannot show it.
#include <QAbstractItemView>
#include <QAction>
#include <QPainter>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QToolTip>
#include <QtTest>

#include "WindowFixture.h"
#include "app/GroupListRoles.h"
#include "app/GroupListView.h"
#include "app/ReadmeWindow.h"

using namespace om;
using omtest::WindowFixture;

namespace {

// The table's place in the test image (copier header included).
constexpr long kTable = 0xBDA9E;

// Item p of the open list as its delegate draws it.
QImage RenderItem(const QComboBox* list, int p) {
    QStyleOptionViewItem option;
    option.initFrom(list->view());
    option.state |= QStyle::State_Enabled;
    option.rect = QRect(0, 0, 320, 22);
    option.font = list->font();
    option.fontMetrics = QFontMetrics(list->font());
    option.widget = list->view();
    QImage image(option.rect.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    list->itemDelegate()->paint(&painter, option, list->model()->index(p, list->modelColumn()));
    return image;
}

QImage RenderClosed(QComboBox* list) { return list->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The leftmost column in which two images of one size differ, or -1.
int FirstDifferingColumn(const QImage& a, const QImage& b) {
    for (int x = 0; x < a.width(); ++x)
        for (int y = 0; y < a.height(); ++y)
            if (a.pixel(x, y) != b.pixel(x, y))
                return x;
    return -1;
}

int PositionOf(const CBattleAnimDlg& w, int group) {
    return PositionOfGroup(w.displayOrder(), group);
}

}  // namespace

class TestBrowsing : public QObject {
    Q_OBJECT
private slots:
    // Groups 206 and 210 share a description in a real ROM; the column tells
    // them apart in every order, in the open list and the closed one, drawn
    // at the right and never part of the name.
    void numberColumnShowsTheGroup_data() {
        QTest::addColumn<int>("order");
        QTest::newRow("123") << IDC_ORDER_NUMERIC;
        QTest::newRow("ABC") << IDC_ORDER_ALPHA;
    }
    void numberColumnShowsTheGroup() {
        QFETCH(int, order);
        WindowFixture f;
        QVERIFY(f.load());
        f.click(order);
        QComboBox* list = f.groupList();
        QVERIFY(qobject_cast<GroupNumberDelegate*>(list->itemDelegate()));
        const std::pair<int, const char*> rows[] = {{206, "206"}, {210, "210"}};
        for (const auto& [group, number] : rows) {
            const int p = PositionOf(*f.window, group);
            const QModelIndex index = list->model()->index(p, 0);
            QCOMPARE(GroupNumberText(index), QString::fromLatin1(number));
            QCOMPARE(list->itemText(p), QString::fromStdString(f.window->groupDisplayNames()[std::size_t(group)]));
            QVERIFY(!list->itemText(p).contains(QLatin1String(number)));

            // What is drawn: the number alone changes the picture, at the right.
            const QImage shown = RenderItem(list, p);
            list->setItemData(p, QVariant(), kGroupNumberRole);
            const QImage without = RenderItem(list, p);
            const int at = FirstDifferingColumn(shown, without);
            QVERIFY2(at > shown.width() * 3 / 4, qPrintable(QString::number(at)));
            // The changed mark is drawn too, just before the number.
            list->setItemData(p, group, kGroupNumberRole);
            list->setItemData(p, true, kGroupChangedRole);
            QVERIFY(GroupChangedMark(index));
            const int mark = FirstDifferingColumn(RenderItem(list, p), shown);
            QVERIFY2(mark > shown.width() / 2 && mark < at, qPrintable(QString::number(mark)));
            list->setItemData(p, false, kGroupChangedRole);

            // The closed box shows the chosen group's number at its right.
            f.chooseGroup(p);
            const QImage closed = RenderClosed(list);
            list->setItemData(p, QVariant(), kGroupNumberRole);
            const int closedAt = FirstDifferingColumn(closed, RenderClosed(list));
            QVERIFY2(closedAt > closed.width() * 3 / 4, qPrintable(QString::number(closedAt)));
            list->setItemData(p, group, kGroupNumberRole);
        }
    }

    // Digits typed into the list choose the group of that number, as a
    // choice does (the fields and the trail follow); a pause starts a new
    // number; letters still search the names.
    void typedDigitsChooseTheGroup() {
        WindowFixture f;
        QVERIFY(f.load());
        f.click(IDC_ORDER_ALPHA);
        QComboBox* list = f.groupList();
        list->setFocus();
        QSignalSpy chosen(list, &QComboBox::activated);
        QTest::keyClicks(list, "210");
        QCOMPARE(chosen.size(), 3);
        QCOMPARE(list->currentIndex(), PositionOf(*f.window, 210));
        QCOMPARE(f.window->editor().shownGroup(), 210);
        QCOMPARE(f.fields(), (QStringList{"210", "0", "45", "1"}));
        // No group 2109: the number stays 210.
        QTest::keyClick(list, Qt::Key_9);
        QCOMPARE(f.window->editor().shownGroup(), 210);
        QTest::qWait(GroupListNumbers::kNumberPauseMs + 100);
        QTest::keyClicks(list, "5");
        QCOMPARE(f.window->editor().shownGroup(), 5);
        // One step back per number typed, not per digit.
        f.trigger(ID_GO_BACK);
        QCOMPARE(f.window->editor().shownGroup(), 210);
        f.trigger(ID_GO_BACK);
        QCOMPARE(f.window->editor().shownGroup(), 0);

        const QString name = list->itemText(150);
        QTest::qWait(GroupListNumbers::kNumberPauseMs + 100);
        QTest::keyClicks(list, name.left(1));
        QVERIFY2(list->currentText().startsWith(name.left(1), Qt::CaseInsensitive),
                 qPrintable(list->currentText()));
    }

    // Back and Forward walk the groups shown, as a browser does, by menu and
    // by Alt+Left and Alt+Right; each move is a choice (typed values are
    // stored into the group left).
    void backAndForwardWalkTheGroupsShown() {
        WindowFixture f;
        QAction* back = f.window->command(ID_GO_BACK);
        QAction* forward = f.window->command(ID_GO_FORWARD);
        QCOMPARE(back->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Left));
        QCOMPARE(forward->shortcut(), QKeySequence(Qt::ALT | Qt::Key_Right));
        QVERIFY(!back->isEnabled() && !forward->isEnabled());
        QVERIFY(f.load());
        const auto shown = [&] { return f.window->editor().shownGroup(); };
        f.chooseGroup(3);
        f.chooseGroup(7);
        f.type(IDC_LAYER1_LO, "99");
        QVERIFY(back->isEnabled() && !forward->isEnabled());
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::keyClick(f.window.get(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(shown(), 3);
        QCOMPARE(f.window->editor().valuesOf(7)[0], 99);
        QCOMPARE(f.fields(), (QStringList{"3", "0", "252", "1"}));
        f.trigger(ID_GO_BACK);
        QCOMPARE(shown(), 0);
        QVERIFY(!back->isEnabled() && forward->isEnabled());
        f.trigger(ID_GO_BACK);
        QCOMPARE(shown(), 0);
        QTest::keyClick(f.window.get(), Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(shown(), 3);
        // A group shown from the middle drops the groups ahead.
        f.chooseGroup(9);
        QVERIFY(!forward->isEnabled());
        f.trigger(ID_GO_BACK);
        QCOMPARE(shown(), 3);
        f.trigger(ID_GO_FORWARD);
        QCOMPARE(shown(), 9);
        // The moves are found in any order, and the edit history heard them.
        f.click(IDC_ORDER_ALPHA);
        f.trigger(ID_GO_BACK);
        QCOMPARE(shown(), 3);
        QCOMPARE(f.groupList()->currentIndex(), PositionOf(*f.window, 3));
        // A new ROM starts a new trail.
        QVERIFY(f.load());
        QVERIFY(!back->isEnabled() && !forward->isEnabled());
    }

    void orderButtonsShowTheirOrder() {
        WindowFixture f;
        const int ids[] = {IDC_ORDER_NUMERIC, IDC_ORDER_ALPHA, IDC_ORDER_PROGRESSION};
        const auto checked = [&] {
            QList<bool> c;
            for (int id : ids)
                c << f.control<QPushButton>(id)->isChecked();
            return c;
        };
        QStringList tips;
        for (int id : ids)
            tips << f.control<QPushButton>(id)->toolTip();
        QCOMPARE(tips, (QStringList{"Order by group number", "Order by description", "Order by area"}));
        QCOMPARE(checked(), (QList<bool>{true, false, false}));
        QVERIFY(f.load());
        f.click(IDC_ORDER_ALPHA);
        QCOMPARE(checked(), (QList<bool>{false, true, false}));
        f.click(IDC_ORDER_PROGRESSION);
        QCOMPARE(checked(), (QList<bool>{false, false, true}));
        // Pressed again it stays the active order.
        f.click(IDC_ORDER_PROGRESSION);
        QCOMPARE(checked(), (QList<bool>{false, false, true}));
        // A load applies the numeric order.
        QVERIFY(f.load());
        QCOMPARE(checked(), (QList<bool>{true, false, false}));
    }

    // What a byte field takes in each mode, and the byte Save writes: hex
    // in hex mode; in decimal mode a "0x" or "$" prefix makes that entry hex;
    // anything else is refused with a visible sign, never changed into
    // another number.
    void byteFieldsInHexAndDecimal_data() {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("byte");
        QTest::addColumn<bool>("refused");
        QTest::newRow("hex 1F") << true << "1F" << "1F" << 0x1F << false;
        QTest::newRow("hex lower case") << true << "1f" << "1F" << 0x1F << false;
        QTest::newRow("hex three digits") << true << "1FF" << "1F" << 0x1F << true;
        QTest::newRow("hex not a digit") << true << "G" << "00" << 0 << true;
        QTest::newRow("decimal 0x1F") << false << "0x1F" << "0x1F" << 31 << false;
        QTest::newRow("decimal $1f") << false << "$1f" << "$1F" << 31 << false;
        QTest::newRow("decimal 0X") << false << "0X" << "0X" << 0 << false;
        QTest::newRow("decimal 1F") << false << "1F" << "1" << 1 << true;
        QTest::newRow("decimal 0x123") << false << "0x123" << "0x12" << 0x12 << true;
        QTest::newRow("decimal 256") << false << "256" << "25" << 25 << true;
        QTest::newRow("decimal 31") << false << "31" << "31" << 31 << false;
    }
    void byteFieldsInHexAndDecimal() {
        QFETCH(bool, hex);
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QFETCH(int, byte);
        QFETCH(bool, refused);
        WindowFixture f;
        QVERIFY(f.load());
        QAction* mode = f.window->command(ID_VIEW_HEXBYTES);
        QVERIFY(mode->isCheckable() && !mode->isChecked());
        QCOMPARE(f.fields(), (QStringList{"0", "0", "255", "1"}));
        mode->setChecked(hex);
        QCOMPARE(f.fields(), (hex ? QStringList{"00", "00", "FF", "01"} : QStringList{"0", "0", "255", "1"}));
        QSignalSpy rejected(f.field(IDC_LAYER1_LO), &QLineEdit::inputRejected);
        f.type(IDC_LAYER1_LO, keys);
        QCOMPARE(f.text(IDC_LAYER1_LO), shown);
        QCOMPARE(!rejected.isEmpty(), refused);
        if (refused)
            QTRY_COMPARE(QToolTip::text(), QStringLiteral("Not a byte: type 0 to 255, or 0x00 to 0xFF"));
        f.click(IDC_SAVE);
        QCOMPARE(int(f.rom.bytes()[kTable]), byte);
        // The other mode shows the same byte.
        mode->setChecked(!hex);
        QCOMPARE(f.text(IDC_LAYER1_LO), hex ? QString::number(byte)
                                            : QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
        mode->setChecked(false);
    }

    void hexModeIsRemembered() {
        WindowFixture f;
        f.window->command(ID_VIEW_HEXBYTES)->setChecked(true);
        f.restart();
        QVERIFY(f.window->command(ID_VIEW_HEXBYTES)->isChecked());
        QVERIFY(f.load());
        f.chooseGroup(210);
        QCOMPARE(f.fields(), (QStringList{"D2", "00", "2D", "01"}));
        f.window->command(ID_VIEW_HEXBYTES)->setChecked(false);
        f.restart();
        QVERIFY(!f.window->command(ID_VIEW_HEXBYTES)->isChecked());
    }

    // Help > Readme shows the readme on every desktop: where the default
    // application for text needs a terminal, is missing or fails, in a
    // read-only window of our own.
    void readmeFallsBackToOurWindow_data() {
        QTest::addColumn<int>("opener");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("handedOver");  // openDocument asked
        QTest::addColumn<bool>("ours");
        using O = Desktop::Opener;
        QTest::newRow("application") << int(O::Application) << true << true << false;
        QTest::newRow("application fails") << int(O::Application) << false << true << true;
        QTest::newRow("terminal program") << int(O::TerminalProgram) << true << false << true;
        QTest::newRow("none") << int(O::None) << true << false << true;
        QTest::newRow("unknown") << int(O::Unknown) << true << true << false;
        QTest::newRow("unknown fails") << int(O::Unknown) << false << true << true;
    }
    void readmeFallsBackToOurWindow() {
        QFETCH(int, opener);
        QFETCH(bool, opens);
        QFETCH(bool, handedOver);
        QFETCH(bool, ours);
        WindowFixture f;
        QTemporaryDir dir;
        const QString readme = dir.path() + "/README.TXT";
        {
            QFile file(readme);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write("OMBattleAnim readme\n  second line") > 0);
        }
        f.window->setReadmePlaces({readme});
        f.desktop.opener = Desktop::Opener(opener);
        f.desktop.documentsOpen = opens;
        f.trigger(ID_HELP_README);
        QCOMPARE(f.desktop.openerQueries, QStringList{readme});
        QCOMPARE(f.desktop.documents, handedOver ? QStringList{readme} : QStringList{});
        QVERIFY(f.desktop.shown.empty());
        ReadmeWindow* window = f.window->readmeWindow();
        QCOMPARE(window != nullptr && window->isVisible(), ours);
        if (!ours)
            return;
        QCOMPARE(window->browser()->toPlainText(), QStringLiteral("OMBattleAnim readme\n  second line"));
        QVERIFY(window->browser()->isReadOnly());
        QCOMPARE(window->windowTitle(), QStringLiteral("README.TXT - OMBattleAnim"));
        // Asked again, the same window comes back.
        window->close();
        f.trigger(ID_HELP_README);
        QCOMPARE(f.window->readmeWindow(), window);
        QVERIFY(window->isVisible());
    }

    void desktopEntryNeedsTerminal_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("terminal") << QByteArray("[Desktop Entry]\nExec=vim %F\nTerminal=true\n") << true;
        QTest::newRow("spaces") << QByteArray("[Desktop Entry]\nTerminal = true \n") << true;
        QTest::newRow("false") << QByteArray("[Desktop Entry]\nTerminal=false\n") << false;
        QTest::newRow("not said") << QByteArray("[Desktop Entry]\nExec=gedit\n") << false;
        QTest::newRow("other group") << QByteArray("[Desktop Entry]\nExec=x\n[Desktop Action new]\nTerminal=true\n")
                                     << false;
        QTest::newRow("other key") << QByteArray("[Desktop Entry]\nTerminalOptions=true\n") << false;
    }
    void desktopEntryNeedsTerminal() {
        QFETCH(QByteArray, entry);
        QFETCH(bool, terminal);
        QCOMPARE(DesktopEntryNeedsTerminal(entry), terminal);
    }

    // The desktop's own answer, from xdg-mime and the applications folders.
    void desktopOpenerFromXdg_data() {
        QTest::addColumn<QByteArray>("entry");  // empty: no default named
        QTest::addColumn<bool>("withXdgMime");
        QTest::addColumn<int>("opener");
        using O = Desktop::Opener;
        QTest::newRow("terminal") << QByteArray("[Desktop Entry]\nExec=vi %f\nTerminal=true\n") << true
                                  << int(O::TerminalProgram);
        QTest::newRow("application") << QByteArray("[Desktop Entry]\nExec=true %f\n") << true
                                     << int(O::Application);
        QTest::newRow("no default") << QByteArray() << true << int(O::None);
        QTest::newRow("no xdg-mime") << QByteArray("[Desktop Entry]\nExec=xed %f\n") << false
                                     << int(O::Unknown);
    }
    void desktopOpenerFromXdg() {
        QFETCH(QByteArray, entry);
        QFETCH(bool, withXdgMime);
        QFETCH(int, opener);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("config") && QDir(dir.path()).mkpath("data/applications") &&
                QDir(dir.path()).mkpath("bin"));
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(dir.path() + "/README.TXT", "text\n"));
        if (!entry.isEmpty()) {
            QVERIFY(write(dir.path() + "/config/mimeapps.list",
                          "[Default Applications]\ntext/plain=omtest-viewer.desktop\n"));
            QVERIFY(write(dir.path() + "/data/applications/omtest-viewer.desktop", entry));
        }
        const QByteArray names[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS",
                                    "XDG_CURRENT_DESKTOP", "PATH"};
        QList<QByteArray> saved;
        for (const QByteArray& n : names)
            saved << qgetenv(n);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + "/config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.path() + "/none"));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir.path() + "/none"));
        qunsetenv("XDG_CURRENT_DESKTOP");
        if (!withXdgMime)
            qputenv("PATH", QFile::encodeName(dir.path() + "/bin"));
        const Desktop::Opener answer = QtDesktop().documentOpener(dir.path() + "/README.TXT");
        for (int i = 0; i < int(std::size(names)); ++i)
            qputenv(names[i], saved[i]);
        QCOMPARE(int(answer), opener);
    }
};

QTEST_MAIN(TestBrowsing)
#include "test_browsing.moc"
