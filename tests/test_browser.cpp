// The background browser and the tool windows' places: the browser driven
// through the real main window on an image built for it, and the placement
// rule as a table.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QTabBar>
#include <QUndoStack>
#include <QtTest>
#include <memory>

#include "ToolWindowKeys.h"
#include "WindowFixture.h"
#include "app/BackgroundBrowser.h"
#include "app/EditHistory.h"
#include "app/FindGroupDlg.h"
#include "app/WindowPlacement.h"
#include "catalogue/BackgroundModel.h"

using namespace om;
using omtest::ChooseFromMenu;
using omtest::WindowFixture;
using Numbers = QList<int>;

namespace {

// Every group shows background 12 (bytes 12, 0) on layer 1 and 18 (18, 0)
// on layer 2, but group 0 shows 1 (1, 0) on layer 1, groups 5, 6 and 7 show
// 300 (44, 1) and group 8 shows 235 (235, 0), which no picker item has.
// Layer 1: 480 groups use 12, 3 use 300, 1 uses 1; layer 2: all use 18.
RomImage BrowserImage() {
    RomImage image = omtest::MakeTestImage();
    for (int g = 0; g < 485; ++g)
        image.putEntry(g, 12, 0, 18, 0);
    image.putEntry(0, 1, 0, 18, 0);
    for (int g : {5, 6, 7})
        image.putEntry(g, 44, 1, 18, 0);
    image.putEntry(8, 235, 0, 18, 0);
    return image;
}

struct BrowserFixture : WindowFixture {
    BrowserFixture() : WindowFixture(BrowserImage()) {}
    // Ctrl+B on the main window: the browser, active.
    BackgroundBrowser* pressCtrlB() {
        return omtest::PressForToolWindow<BackgroundBrowser>(window.get(), Qt::Key_B);
    }
};

Numbers Shown(const BackgroundBrowser* b, int first = 0, int count = -1) {
    Numbers shown;
    const int end = count < 0 ? b->rowCount() : std::min(b->rowCount(), first + count);
    for (int r = first; r < end; ++r)
        shown << b->backgroundAtRow(r);
    return shown;
}

void Filter(BackgroundBrowser* b, const QString& text) {
    b->filterField()->clear();
    QTest::keyClicks(b->filterField(), text);
}

QRect CellRect(BackgroundBrowser* b, int background) {
    for (int r = 0; r < b->rowCount(); ++r)
        if (b->backgroundAtRow(r) == background)
            return b->view()->visualRect(b->view()->model()->index(r, 0));
    return {};
}

QString CellText(BackgroundBrowser* b, int background) {
    for (int r = 0; r < b->rowCount(); ++r)
        if (b->backgroundAtRow(r) == background)
            return b->view()->model()->index(r, 0).data().toString();
    return {};
}

bool Marked(BackgroundBrowser* b, int background) {
    for (int r = 0; r < b->rowCount(); ++r)
        if (b->backgroundAtRow(r) == background)
            return b->view()->model()->index(r, 0).data(BackgroundModel::CurrentRole).toBool();
    return false;
}

QSettings Settings() { return QSettings(QStringLiteral("OMBattleAnim"), QStringLiteral("OMBattleAnim")); }

}  // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void placement_data();
    void placement();
    void frameAround();
    void filter_data();
    void filter();
    void useSetsTheLayerAsAPick_data();
    void useSetsTheLayerAsAPick();
    void followsTheShownGroupAndLooksUpItsUsers();
    void cellSizeAndPlaceRemembered();

private:
    std::unique_ptr<BrowserFixture> shared_;
    BackgroundBrowser* browser_ = nullptr;
};

void TestBrowser::initTestCase() {
    shared_ = std::make_unique<BrowserFixture>();
    QVERIFY(shared_->load());
    browser_ = shared_->pressCtrlB();
    QVERIFY(browser_);
}

void TestBrowser::placement_data() {
    QTest::addColumn<QRect>("main");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("remembered");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QRect>("placed");
    const QSize s(300, 200);
    const QRect none;
    QTest::newRow("right of the main window while both sides have room, tops lined up")
        << QRect(350, 100, 300, 300) << s << none << QSize() << QRect(650, 100, 300, 200);
    QTest::newRow("right, moved up to stay on the screen")
        << QRect(100, 500, 400, 300) << QSize(300, 400) << none << QSize() << QRect(500, 400, 300, 400);
    QTest::newRow("left when the right has no room")
        << QRect(600, 100, 400, 300) << s << none << QSize() << QRect(300, 100, 300, 200);
    QTest::newRow("below when neither side has room")
        << QRect(100, 0, 800, 300) << s << none << QSize() << QRect(100, 300, 300, 200);
    QTest::newRow("above when nothing else has room")
        << QRect(100, 500, 800, 300) << s << none << QSize() << QRect(100, 300, 300, 200);
    QTest::newRow("no room for all of it: shrunk into the largest room")
        << QRect(50, 100, 800, 600) << QSize(300, 300) << none << QSize() << QRect(850, 100, 150, 300);
    QTest::newRow("no room even for its minimum: the screen's top right")
        << QRect(50, 100, 800, 600) << QSize(300, 300) << none << QSize(200, 200)
        << QRect(700, 0, 300, 300);
    QTest::newRow("larger than the screen: no larger than its room")
        << QRect(0, 0, 100, 100) << QSize(2000, 2000) << none << QSize() << QRect(100, 0, 900, 800);
    QTest::newRow("remembered, clear of the main window: kept")
        << QRect(100, 100, 400, 300) << s << QRect(600, 400, 300, 200) << QSize()
        << QRect(600, 400, 300, 200);
    QTest::newRow("remembered off a screen that shrank: moved back on")
        << QRect(100, 100, 400, 300) << s << QRect(1500, 900, 300, 200) << QSize()
        << QRect(700, 600, 300, 200);
    QTest::newRow("remembered larger than the screen: made smaller, then beside")
        << QRect(100, 100, 400, 300) << s << QRect(-50, -50, 1200, 900) << QSize()
        << QRect(500, 0, 500, 800);
    QTest::newRow("remembered over the main window: beside it at that size")
        << QRect(100, 100, 400, 300) << s << QRect(150, 150, 250, 150) << QSize()
        << QRect(500, 100, 250, 150);
}

void TestBrowser::placement() {
    QFETCH(QRect, main);
    QFETCH(QSize, size);
    QFETCH(QRect, remembered);
    QFETCH(QSize, minimum);
    QFETCH(QRect, placed);
    const QRect screen(0, 0, 1000, 800);
    QCOMPARE(PlaceToolWindow(main, size, screen, remembered, minimum.isValid() ? minimum : QSize(0, 0)),
             placed);
    // And the same on a second screen right of the first.
    const QPoint by(1000, 0);
    QCOMPARE(PlaceToolWindow(main.translated(by), size, screen.translated(by),
                             remembered.isValid() ? remembered.translated(by) : remembered,
                             minimum.isValid() ? minimum : QSize(0, 0)),
             placed.translated(by));
}

// The main window's frame when Qt's extents for it lack openbox's one-pixel
// border, which the tool window's have: the wider of the two on each side.
void TestBrowser::frameAround() {
    const QRect inside(100, 120, 400, 300);
    QCOMPARE(FrameAround(inside, QMargins(0, 20, 0, 4), QMargins(1, 20, 1, 5)), QRect(99, 100, 402, 325));
    QCOMPARE(FrameAround(inside, QMargins(2, 21, 1, 5), QMargins(1, 20, 0, 4)), QRect(98, 99, 403, 326));
}

void TestBrowser::filter_data() {
    QTest::addColumn<int>("layer");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("count");
    QTest::addColumn<Numbers>("first");  // the first cells shown, at most 4
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("line");
    const Numbers all1{0, 1, 2, 3};
    QTest::newRow("nothing typed: every background, the shown group's chosen")
        << 1 << "" << 315 << all1 << 1 << "315 of 315 backgrounds";
    QTest::newRow("a number: every cell, that one chosen")
        << 1 << "300" << 315 << all1 << 300 << "315 of 315 backgrounds";
    QTest::newRow("a hex number") << 1 << "0x12C" << 315 << all1 << 300 << "315 of 315 backgrounds";
    QTest::newRow("a number with spaces round it")
        << 1 << " 300 " << 315 << all1 << 300 << "315 of 315 backgrounds";
    QTest::newRow("a number no cell has: nothing chosen")
        << 1 << "235" << 315 << all1 << -1 << "No background 235 on layer 1";
    QTest::newRow("used") << 1 << "used" << 3 << Numbers{1, 12, 300} << 1 << "3 of 315 backgrounds";
    QTest::newRow("unused: the first of them chosen")
        << 1 << "unused" << 312 << Numbers{0, 2, 3, 4} << 0 << "312 of 315 backgrounds";
    QTest::newRow("unused in capitals") << 1 << "UNUSED" << 312 << Numbers{0, 2, 3, 4} << 0
                                        << "312 of 315 backgrounds";
    QTest::newRow("a word of the cells' text")
        << 1 << "groups" << 2 << Numbers{12, 300} << 12 << "2 of 315 backgrounds";
    QTest::newRow("words: all must match") << 1 << "3 groups" << 1 << Numbers{300} << 300
                                           << "1 of 315 backgrounds";
    QTest::newRow("used and a number word") << 1 << "used 30" << 1 << Numbers{300} << 300
                                            << "1 of 315 backgrounds";
    QTest::newRow("layer 2: used") << 2 << "used" << 1 << Numbers{18} << 18 << "1 of 100 backgrounds";
    QTest::newRow("layer 2: unused")
        << 2 << "unused" << 99 << Numbers{0, 43, 45, 83} << 0 << "99 of 100 backgrounds";
    QTest::newRow("layer 2: a hex number") << 2 << "0x133" << 100 << Numbers{0, 18, 43, 45} << 307
                                           << "100 of 100 backgrounds";
}

void TestBrowser::filter() {
    QFETCH(int, layer);
    QFETCH(QString, filter);
    QFETCH(int, count);
    QFETCH(Numbers, first);
    QFETCH(int, selected);
    QFETCH(QString, line);
    browser_->setLayer(layer);
    Filter(browser_, filter);
    QCOMPARE(browser_->rowCount(), count);
    QCOMPARE(Shown(browser_, 0, 4), first);
    QCOMPARE(browser_->selectedBackground(), selected);
    QCOMPARE(browser_->countLine()->text(), line);
    browser_->setLayer(1);
}

void TestBrowser::useSetsTheLayerAsAPick_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("layer");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("pickerItem");
    const QStringList l1{"44", "1", "18", "0"};
    QTest::newRow("Enter in the filter field") << "enter" << 1 << "300" << l1 << 288;
    QTest::newRow("Enter in the grid") << "grid" << 1 << "0x12C" << l1 << 288;
    QTest::newRow("a double-click") << "double" << 1 << "300" << l1 << 288;
    QTest::newRow("the button") << "button" << 1 << "300" << l1 << 288;
    QTest::newRow("layer 2, opened from its picker's menu")
        << "menu" << 2 << "43" << QStringList{"1", "0", "43", "0"} << 2;
}

void TestBrowser::useSetsTheLayerAsAPick() {
    QFETCH(QString, how);
    QFETCH(int, layer);
    QFETCH(QString, number);
    QFETCH(QStringList, fields);
    QFETCH(int, pickerItem);
    BrowserFixture f;
    QVERIFY(f.load());
    const std::vector<std::uint8_t> opened = f.window->EditedImage();
    BackgroundBrowser* b = nullptr;
    if (how == QLatin1String("menu")) {
        QVERIFY(ChooseFromMenu(f.picker(2), QPoint(5, 5), ID_BROWSE_BACKGROUNDS));
        b = f.window->findChild<BackgroundBrowser*>();
        QVERIFY(QTest::qWaitFor([b] { return b && QApplication::activeWindow() == b; }));
    } else {
        b = f.pressCtrlB();
    }
    QVERIFY(b && b->isVisible());
    QCOMPARE(b->layer(), layer);
    QCOMPARE(b->useButton()->text(), QStringLiteral("&Use for Layer %1").arg(layer));
    QVERIFY(b->filterField()->hasFocus());
    QTest::keyClicks(b->filterField(), number);
    if (how == QLatin1String("enter") || how == QLatin1String("menu")) {
        QTest::keyClick(b->filterField(), Qt::Key_Return);
    } else if (how == QLatin1String("grid")) {
        b->view()->setFocus();
        QTest::keyClick(b->view(), Qt::Key_Return);
    } else if (how == QLatin1String("double")) {
        const QPoint at = CellRect(b, number.toInt(nullptr, 0)).center();
        QTest::mouseClick(b->view()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(b->view()->viewport(), Qt::LeftButton, {}, at);
    } else {
        QTest::mouseClick(b->useButton(), Qt::LeftButton);
    }
    // As a pick: the fields and the picker follow, one step to undo.
    QCOMPARE(f.fields(), fields);
    QCOMPARE(f.picker(layer)->currentIndex(), pickerItem);
    QUndoStack* stack = f.window->history().stack();
    QCOMPARE(stack->count(), 1);
    QCOMPARE(stack->undoText(), QStringLiteral("Change Group 0"));
    QVERIFY(f.window->isWindowModified());
    QVERIFY(Marked(b, number.toInt(nullptr, 0)));
    f.trigger(ID_EDIT_UNDO);
    QCOMPARE(f.fields(), (QStringList{"1", "0", "18", "0"}));
    QVERIFY(f.window->EditedImage() == opened);
    QVERIFY(!f.window->isWindowModified());
    QVERIFY(Marked(b, layer == 1 ? 1 : 18));
}

void TestBrowser::followsTheShownGroupAndLooksUpItsUsers() {
    BrowserFixture f;
    QVERIFY(f.load());
    BackgroundBrowser* b = f.pressCtrlB();
    QVERIFY(b);
    QCOMPARE(b->windowTitle(), QStringLiteral("Backgrounds"));
    QVERIFY(!b->isModal());
    QCOMPARE(CellText(b, 12), QStringLiteral("12\n480 groups"));
    QCOMPARE(CellText(b, 300), QStringLiteral("300\n3 groups"));
    QCOMPARE(CellText(b, 1), QStringLiteral("1\n1 group"));
    QCOMPARE(CellText(b, 2), QStringLiteral("2\nno group"));
    QVERIFY(Marked(b, 1) && !Marked(b, 300));
    // Another group shown: its background is marked and chosen.
    f.chooseGroup(6);
    QVERIFY(Marked(b, 300) && !Marked(b, 1));
    QCOMPARE(b->selectedBackground(), 300);
    // A byte typed changes the counts.
    f.type(IDC_LAYER1_LO, QStringLiteral("12"));
    f.type(IDC_LAYER1_HI, QStringLiteral("0"));
    QCOMPARE(CellText(b, 300), QStringLiteral("300\n2 groups"));
    QCOMPARE(CellText(b, 12), QStringLiteral("12\n481 groups"));
    QVERIFY(Marked(b, 12));
    f.trigger(ID_EDIT_UNDO);
    QCOMPARE(CellText(b, 300), QStringLiteral("300\n3 groups"));
    // A cell's "Groups Using This Background": Find Group lists them.
    b->setLayer(1);
    Filter(b, QStringLiteral("300"));
    const QRect cell = CellRect(b, 300);
    QVERIFY(ChooseFromMenu(b->view()->viewport(), cell.center(), ID_BROWSER_GROUPS_USING));
    FindGroupDlg* find = f.window->findChild<FindGroupDlg*>();
    QVERIFY(find && find->isVisible());
    QCOMPARE(find->filterField()->text(), QStringLiteral("l1:300"));
    QCOMPARE(find->rowCount(), 3);
    QCOMPARE((Numbers{find->groupAtRow(0), find->groupAtRow(1), find->groupAtRow(2)}), (Numbers{5, 6, 7}));
    // Both tool windows beside the main window, on the screen.
    const QRect screen = f.window->screen()->availableGeometry();
    for (QWidget* w : {static_cast<QWidget*>(b), static_cast<QWidget*>(find)}) {
        QVERIFY2(screen.contains(w->frameGeometry()), qPrintable(w->windowTitle()));
        QVERIFY2(!w->frameGeometry().intersects(f.window->frameGeometry()), qPrintable(w->windowTitle()));
    }
    // Closing the ROM: no counts, nothing to use.
    f.trigger(ID_FILE_CLOSEROM);
    QCOMPARE(CellText(b, 300), QStringLiteral("300"));
    QVERIFY(!b->useButton()->isEnabled());
}

void TestBrowser::cellSizeAndPlaceRemembered() {
    Settings().remove(QStringLiteral("BackgroundBrowser"));
    auto f = std::make_unique<BrowserFixture>();
    QVERIFY(f->load());
    BackgroundBrowser* b = f->pressCtrlB();
    QVERIFY(b);
    // Half the picker's 166 x 145 at first; a quarter to twice of it.
    QCOMPARE(b->thumbnailSize(), QSize(83, 72));
    auto* slider = b->findChild<QSlider*>(QStringLiteral("IDC_BROWSER_SIZE"));
    QVERIFY(slider);
    QCOMPARE((QList<int>{slider->minimum(), slider->maximum(), slider->value()}), (QList<int>{25, 200, 50}));
    slider->setValue(10);
    QCOMPARE(b->thumbnailSize(), QSize(41, 36));
    slider->setValue(250);
    QCOMPARE(b->thumbnailSize(), QSize(332, 290));
    // Ctrl and the wheel: ten percent a notch.
    const QPoint at = b->view()->viewport()->rect().center();
    QWheelEvent down(at, b->view()->viewport()->mapToGlobal(at), {}, {0, -240}, Qt::NoButton,
                     Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(b->view()->viewport(), &down);
    QCOMPARE(b->cellPercent(), 180);
    QCOMPARE(slider->value(), 180);
    QCOMPARE(b->thumbnailSize(), QSize(298, 261));
    b->resize(b->size() - QSize(7, 5));
    b->hide();
    const QRect frame = b->frameGeometry();
    // Started again: the same size of cell, the same place.
    f.reset();
    f = std::make_unique<BrowserFixture>();
    QVERIFY(f->load());
    b = f->pressCtrlB();
    QVERIFY(b);
    QCOMPARE(b->cellPercent(), 180);
    QCOMPARE(b->frameGeometry(), frame);
    // A place off a screen that shrank: back onto it.
    b->hide();
    Settings().setValue(QStringLiteral("BackgroundBrowser/Frame"), QRect(5000, 4000, 300, 250));
    b = f->pressCtrlB();
    const QRect screen = f->window->screen()->availableGeometry();
    QVERIFY2(screen.contains(b->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                   .arg(b->frameGeometry().x())
                                                                   .arg(b->frameGeometry().y())
                                                                   .arg(b->width())
                                                                   .arg(b->height())));
}

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
