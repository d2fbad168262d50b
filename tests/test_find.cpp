// Finding groups: the Find Group window driven through the real main window,
// and the companion's find and usage, on images built for them.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QUndoStack>
#include <QtTest>
#include <memory>

#include "CliRun.h"
#include "WindowFixture.h"
#include "app/EditHistory.h"
#include "app/FindGroupDlg.h"

using namespace om;
using omtest::RunCli;
using omtest::WindowFixture;
using Groups = QList<int>;

namespace {

// The test image (group g: layer 1 background g, layer 2 511 - g % 256,
// enemy k named "Enemy k") with background 300 (bytes 44, 1) given to group
// 7 on both layers and to group 480 on layer 1.
RomImage FindImage(bool plantEscape = false) {
    RomImage image = omtest::MakeTestImage();
    image.putEntry(7, 44, 1, 44, 1);
    image.putEntry(480, 44, 1, 31, 1);
    if (plantEscape)  // group 7 is "{lead} x2", its lead enemy 129 in slot 128
        image.putEnemyName(128, "Bad\x1B]0;x\x07Imp");
    return image;
}

struct FindFixture : WindowFixture {
    FindFixture() : WindowFixture(FindImage()) {}
    FindGroupDlg* pressCtrlF() {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            return nullptr;
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        auto* d = window->findChild<FindGroupDlg*>();
        (void)QTest::qWaitFor([d] { return d && QApplication::activeWindow() == d; });
        return d;
    }
};

Groups Shown(const FindGroupDlg* d) {
    Groups groups;
    for (int r = 0; r < d->rowCount(); ++r)
        groups << d->groupAtRow(r);
    return groups;
}

Groups Range(int first, int last) {
    Groups groups;
    for (int g = first; g <= last; ++g)
        groups << g;
    return groups;
}

void Filter(FindGroupDlg* d, const QString& text) {
    d->filterField()->clear();
    QTest::keyClicks(d->filterField(), text);
}

QString CountLine(const FindGroupDlg* d) { return d->countLine()->text(); }

// Right-clicks at a point of w and chooses the menu entry with command id.
bool ChooseFromMenu(QWidget* w, QPoint at, int id) {
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
    QApplication::sendEvent(w, &click);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu)
        return false;
    const auto actions = menu->actions();
    for (QAction* a : actions)
        if (a->property("commandId").toInt() == id) {
            menu->close();
            a->trigger();
            return true;
        }
    menu->close();
    return false;
}

bool ChooseFromRowMenu(FindGroupDlg* d, int row, int id) {
    QTableView* t = d->table();
    return ChooseFromMenu(t->viewport(), t->visualRect(t->model()->index(row, 1)).center(), id);
}

// A companion run that ended with status, printing exactly out; or, when
// says is given, refused with one line on standard error holding it.
void CheckRun(const omtest::CliRun& r, int status, const QByteArray& out, const QByteArray& says) {
    if (!says.isEmpty()) {
        OM_CHECK_REFUSED(r, status, says);
        return;
    }
    QCOMPARE(r.exitCode, status);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.out, out);
}

// "0 1 2 ... 484" without the groups in except.
QByteArray AllGroupsBut(const Groups& except) {
    QByteArrayList out;
    for (int g = 0; g <= 484; ++g)
        if (!except.contains(g))
            out << QByteArray::number(g);
    return out.join(' ');
}

}  // namespace

class TestFind : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void filterTerms_data();
    void filterTerms();
    void opensFocusedOnceAndFollowsTheRom();
    void enterChoosesGroup_data();
    void enterChoosesGroup();
    void rowsFollowEdits();
    void reverseLookup();
    void cliFind_data();
    void cliFind();
    void cliUsage_data();
    void cliUsage();

private:
    std::unique_ptr<FindFixture> shared_;
    FindGroupDlg* find_ = nullptr;
};

void TestFind::initTestCase() {
    QVERIFY2(!qgetenv("OM_CLI").isEmpty(), "OM_CLI is not set");
    shared_ = std::make_unique<FindFixture>();
    QVERIFY(shared_->load());
    find_ = shared_->pressCtrlF();
    QVERIFY(find_);
}

void TestFind::filterTerms_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<Groups>("groups");
    QTest::addColumn<QString>("line");
    const auto row = [](const char* name, const char* filter, Groups groups, QString line = {}) {
        if (line.isEmpty())
            line = QStringLiteral("%1 of 485 groups").arg(groups.size());
        QTest::newRow(name) << QString::fromLatin1(filter) << groups << line;
    };
    row("no filter", "", Range(0, 484));
    row("words, all must match", "saltmere nomad", {287, 289, 291, 297});
    row("words in any case", "SPORECALLER puff", {275, 280});
    row("number: group or number in the description", "129", {7, 129, 140, 143, 144, 152});
    row("number on its own, not in 121 or 210", "21", {21, 36, 38, 40, 42, 43});
    row("#number: the group only", "#129", {129});
    row("#hex", "#0x81", {129});
    row("plain hex: the group", "0x81", {129});
    row("layer 1", "l1:300", {7, 300, 480});
    row("layer 1 in hex, upper case", "L1:0x12C", {7, 300, 480});
    row("layer 2", "l2:300", {7, 211, 467});
    row("either layer", "bg:300", {7, 211, 300, 467, 480});
    row("either layer and a word", "bg:0x12c enemy", {7, 211});
    row("two terms, spaces between", "  l2:300    #467 ", {467});
    row("nothing matches", "marsh-nothing", {});
    row("malformed layer term", "l1:xyz", {},
        "\"l1:xyz\": l1: takes a background number from 0 to 65535 (decimal, or hex with 0x)");
    row("group beyond the last", "#485", {},
        "\"#485\": # takes a group number from 0 to 484 (decimal, or hex with 0x)");
    row("background beyond 16 bits", "bg:65536", {},
        "\"bg:65536\": bg: takes a background number from 0 to 65535 (decimal, or hex with 0x)");
}

void TestFind::filterTerms() {
    QFETCH(QString, filter);
    QFETCH(Groups, groups);
    QFETCH(QString, line);
    Filter(find_, filter);
    QCOMPARE(Shown(find_), groups);
    QCOMPARE(CountLine(find_), line);
}

void TestFind::opensFocusedOnceAndFollowsTheRom() {
    FindFixture f;
    FindGroupDlg* d = f.pressCtrlF();
    QVERIFY(d);
    QVERIFY(QApplication::activeWindow() == d);
    QCOMPARE(d->windowTitle(), QStringLiteral("Find Group"));
    QVERIFY(d->parentWidget() == f.window.get());
    QVERIFY(!d->isModal());
    QVERIFY(d->filterField()->hasFocus());
    QCOMPARE(d->rowCount(), 0);
    QCOMPARE(CountLine(d), QStringLiteral("No ROM open"));
    QStringList headers;
    for (int c = 0; c < 4; ++c)
        headers << d->table()->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{"Group", "Description", "Layer 1", "Layer 2"}));

    // Opening a ROM fills the rows in numeric order, with the editor's values.
    QVERIFY(f.load());
    QCOMPARE(Shown(d), Range(0, 484));
    QCOMPARE(CountLine(d), QStringLiteral("485 of 485 groups"));
    const QAbstractItemModel* m = d->table()->model();
    QCOMPARE(m->index(7, 1).data().toString(), QStringLiteral("Enemy 129 x2"));
    QCOMPARE(m->index(7, 2).data().toInt(), 300);
    QCOMPARE(m->index(480, 3).data().toInt(), 287);
    // A click on a header sorts by it: layer 2's smallest is 256 (group 255).
    QHeaderView* header = d->table()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
    QCOMPARE(d->groupAtRow(0), 255);
    d->table()->sortByColumn(0, Qt::AscendingOrder);

    // A second Ctrl+F brings back the same window, the filter ready to retype.
    Filter(d, QStringLiteral("l1:300"));
    QTest::keyClick(d->filterField(), Qt::Key_Escape);
    QVERIFY(!d->isVisible());
    QTRY_VERIFY(QApplication::activeWindow() == f.window.get());
    QCOMPARE(f.pressCtrlF(), d);
    QCOMPARE(f.window->findChildren<FindGroupDlg*>().size(), 1);
    QVERIFY(QApplication::activeWindow() == d);
    QVERIFY(d->filterField()->hasFocus());
    QCOMPARE(d->filterField()->selectedText(), QStringLiteral("l1:300"));

    // Another ROM: its values; closed: nothing.
    omtest::TempRom plain(omtest::MakeTestImage(), "plain.smc");
    QVERIFY(f.window->LoadRom(plain.qpath()));
    QCOMPARE(Shown(d), Groups{300});
    f.window->OnFileCloseRom();
    QCOMPARE(d->rowCount(), 0);
    QCOMPARE(CountLine(d), QStringLiteral("No ROM open"));
}

void TestFind::enterChoosesGroup_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter in the filter field") << "field";
    QTest::newRow("Enter in the table") << "table";
    QTest::newRow("double-click on the row") << "double-click";
}

void TestFind::enterChoosesGroup() {
    QFETCH(QString, how);
    FindFixture f;
    QVERIFY(f.load());
    f.chooseGroup(3);
    f.type(IDC_LAYER1_LO, QStringLiteral("77"));  // not yet stored in group 3
    FindGroupDlg* d = f.pressCtrlF();
    Filter(d, QStringLiteral("bg:0x12c enemy"));
    QCOMPARE(Shown(d), (Groups{7, 211}));
    d->table()->setCurrentIndex(d->table()->model()->index(1, 0));
    QWidget* focus = d->filterField();
    if (how == QLatin1String("field")) {
        QTest::keyClick(d->filterField(), Qt::Key_Return);
    } else if (how == QLatin1String("table")) {
        focus = d->table();
        focus->setFocus();
        QTest::keyClick(d->table(), Qt::Key_Return);
    } else {
        focus = d->table();
        const QPoint at = d->table()->visualRect(d->table()->model()->index(1, 1)).center();
        QTest::mouseClick(d->table()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(d->table()->viewport(), Qt::LeftButton, {}, at);
    }
    // Group 211 is shown as a choice in the list shows it; group 3 took the
    // fields first.
    QCOMPARE(f.groupList()->currentIndex(), 211);
    QCOMPARE(f.data.currentPosition(), 211);
    QCOMPARE(f.data.record(3).layer1Lo, 77);
    QCOMPARE(f.data.record(3).layer1Hi, 0);
    QCOMPARE((QStringList{f.text(IDC_LAYER1_LO), f.text(IDC_LAYER1_HI), f.text(IDC_LAYER2_LO),
                          f.text(IDC_LAYER2_HI), f.text(IDC_ENTRY_OFFSET)}),
             (QStringList{"211", "0", "44", "1", "BDDEA"}));
    QCOMPARE(f.picker(1)->currentIndex(), 211);
    // The Find window stays, with the keyboard.
    QVERIFY(d->isVisible());
    QVERIFY(d->isActiveWindow());
    QVERIFY(focus->hasFocus());
    // The history heard of the choice as of one in the list: back in group
    // 3, typing is a step of its own, not more of the first.
    Filter(d, QStringLiteral("#3"));
    QTest::keyClick(d->filterField(), Qt::Key_Return);
    f.type(IDC_LAYER1_LO, QStringLiteral("78"));
    QCOMPARE(f.window->history().stack()->count(), 2);
}

void TestFind::rowsFollowEdits() {
    FindFixture f;
    QVERIFY(f.load());
    FindGroupDlg* d = f.pressCtrlF();
    Filter(d, QStringLiteral("l1:300"));
    // Group 0 is shown: typing 44, 1 gives it background 300 at once.
    f.type(IDC_LAYER1_LO, QStringLiteral("44"));
    QCOMPARE(Shown(d), (Groups{7, 300, 480}));
    f.type(IDC_LAYER1_HI, QStringLiteral("1"));
    QCOMPARE(Shown(d), (Groups{0, 7, 300, 480}));
    QCOMPARE(CountLine(d), QStringLiteral("4 of 485 groups"));
    // Picking Blank takes it away again; leaving the group keeps it away.
    f.choosePicker(1, 0);
    QCOMPARE(Shown(d), (Groups{7, 300, 480}));
    f.chooseGroup(480);
    f.type(IDC_LAYER1_HI, QStringLiteral("2"));
    QCOMPARE(Shown(d), (Groups{7, 300}));
    Filter(d, QStringLiteral("#0 #480"));
    QCOMPARE(Shown(d), Groups{});
    Filter(d, QStringLiteral("l1:556"));
    QCOMPARE(Shown(d), Groups{480});
    // A step that sets groups not shown (as the restored unsaved edits do),
    // undone and redone: their rows follow each time.
    f.window->history().Push(QStringLiteral("Restore Unsaved Edits"),
                             {{5, {44, 2, 0, 0}}, {6, {44, 2, 0, 0}}});
    QCOMPARE(Shown(d), (Groups{5, 6, 480}));
    f.window->history().stack()->undo();
    QCOMPARE(Shown(d), Groups{480});
    f.window->history().stack()->redo();
    QCOMPARE(Shown(d), (Groups{5, 6, 480}));
}

void TestFind::reverseLookup() {
    FindFixture f;
    QVERIFY(f.load());
    f.chooseGroup(7);
    struct Step {
        int from;  // a control of the main window, or -1: a row of the Find window
        int row;
        int command;
        const char* filter;
        Groups groups;
    };
    const Step steps[] = {
        {IDC_LAYER1_PICKER, 0, ID_GROUPS_USING_BACKGROUND, "l1:300", {7, 300, 480}},
        {IDC_LAYER2_LO, 0, ID_GROUPS_USING_BACKGROUND, "l2:300", {7, 211, 467}},
        {IDC_LAYER1_HI, 0, ID_GROUPS_USING_BACKGROUND, "l1:300", {7, 300, 480}},
        {-1, 1, ID_GROUPS_USING_LAYER2, "l2:467", {44, 300}},
        {-1, 0, ID_GROUPS_USING_LAYER1, "l1:44", {44}},
        {IDC_LAYER2_PICKER, 0, ID_GROUPS_USING_BACKGROUND, "l2:300", {7, 211, 467}},
    };
    for (const Step& s : steps) {
        FindGroupDlg* d = f.window->hasFindGroupWindow() ? &f.window->findGroupWindow() : nullptr;
        if (s.from >= 0) {
            QWidget* w = f.control<QWidget>(s.from);
            QVERIFY(ChooseFromMenu(w, w->rect().center(), s.command));
        } else {
            QVERIFY(ChooseFromRowMenu(d, s.row, s.command));
        }
        d = &f.window->findGroupWindow();
        QVERIFY(d->isVisible());
        QCOMPARE(d->filterField()->text(), QString::fromLatin1(s.filter));
        QCOMPARE(Shown(d), s.groups);
        QCOMPARE(CountLine(d), QStringLiteral("%1 of 485 groups").arg(s.groups.size()));
    }
    // A field's menu keeps its editing entries above the lookup.
    QLineEdit* field = f.field(IDC_LAYER2_HI);
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2), field->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(field, &click);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QVERIFY(menu->actions().size() > 2);
    QCOMPARE(menu->actions().last()->property("commandId").toInt(), ID_GROUPS_USING_BACKGROUND);
    menu->close();
}

void TestFind::cliFind_data() {
    QTest::addColumn<QString>("image");  // "find", "planted" or "missing"
    QTest::addColumn<QStringList>("terms");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("says");  // on standard error; empty: nothing
    QTest::newRow("layer 1") << "find" << QStringList{"l1:300"} << 0
                             << QByteArray("7\t300\t300\tEnemy 129 x2\n"
                                           "300\t300\t467\tAsh Lizard + 3 Cinder Imps (Ashfall Rise)\n"
                                           "480\t300\t287\tSunken Tower Guardian (Hollow Moon Gate)\n")
                             << QByteArray();
    QTest::newRow("words in two arguments")
        << "find" << QStringList{"SALTMERE", "nomad"} << 0
        << QByteArray("287\t287\t480\t3 Saltmere Nomads\n289\t289\t478\t3 Saltmere Nomads\n"
                      "291\t291\t476\tSaltmere Nomad\n297\t297\t470\tSaltmere Nomad\n")
        << QByteArray();
    QTest::newRow("either layer and a word in one argument")
        << "find" << QStringList{"bg:0x12c enemy"} << 0
        << QByteArray("7\t300\t300\tEnemy 129 x2\n211\t211\t300\tEnemy 193 (Gloomcap Aisle)\n")
        << QByteArray();
    QTest::newRow("#hex") << "find" << QStringList{"#0x81"} << 0
                          << QByteArray("129\t129\t382\tEnemy 114 + Enemy 119 (Thornwood)\n")
                          << QByteArray();
    QTest::newRow("an escape in a name") << "planted" << QStringList{"#7"} << 0
                                         << QByteArray("7\t300\t300\tBad\\x1B]0;x\\x07Imp x2\n")
                                         << QByteArray();
    QTest::newRow("no match") << "find" << QStringList{"l2:255"} << 1 << QByteArray()
                              << QByteArray();
    QTest::newRow("malformed term")
        << "find" << QStringList{"enemy", "l1:xyz"} << 2 << QByteArray()
        << QByteArray("\"l1:xyz\": l1: takes a background number from 0 to 65535");
    QTest::newRow("missing file") << "missing" << QStringList{"l1:300"} << 2 << QByteArray()
                                  << QByteArray("cannot open");
    QTest::newRow("--layer is usage's") << "find" << QStringList{"--layer", "1"} << 2
                                        << QByteArray()
                                        << QByteArray("--layer does not apply to 'find'");
}

void TestFind::cliFind() {
    QFETCH(QString, image);
    QFETCH(QStringList, terms);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, says);
    omtest::TempRom rom(FindImage(image == QLatin1String("planted")));
    const QString path = image == QLatin1String("missing") ? rom.dir() + "/gone.smc" : rom.qpath();
    CheckRun(RunCli(QStringList{"find", path} + terms), status, out, says);
}

void TestFind::cliUsage_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("says");
    const QByteArray layer1 = "1,0,1,3\n1,261,482," + AllGroupsBut({3, 300, 484}) +
                              "\n1,300,2,300 484\n";
    const QByteArray layer2 = "2,0,1,3\n2,18,483," + AllGroupsBut({3, 484}) + "\n2,326,1,484\n";
    const QByteArray header = "layer,background,count,groups\n";
    QTest::newRow("both layers") << QStringList{} << 0 << header + layer1 + layer2 << QByteArray();
    QTest::newRow("--layer 2") << QStringList{"--layer", "2"} << 0 << header + layer2 << QByteArray();
    QTest::newRow("--layer=1") << QStringList{"--layer=1"} << 0 << header + layer1 << QByteArray();
    QTest::newRow("--layer 3") << QStringList{"--layer", "3"} << 2 << QByteArray()
                               << QByteArray("--layer takes 1 or 2, not '3'");
    QTest::newRow("--layer twice") << QStringList{"--layer=1", "--layer=2"} << 2 << QByteArray()
                                   << QByteArray("--layer is given more than once");
    QTest::newRow("a term") << QStringList{"l1:3"} << 2 << QByteArray()
                            << QByteArray("'usage' takes 1 argument (usage ROM [--layer 1|2]), not 2");
}

void TestFind::cliUsage() {
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, says);
    // Every group shows backgrounds 261 (5, 1) and 18 (18, 0) but three.
    RomImage image = omtest::MakeTestImage();
    for (int g = 0; g < 485; ++g)
        image.putEntry(g, 5, 1, 18, 0);
    image.putEntry(3, 0, 0, 0, 0);
    image.putEntry(300, 44, 1, 18, 0);
    image.putEntry(484, 44, 1, 70, 1);
    omtest::TempRom rom(image);
    CheckRun(RunCli(QStringList{"usage", rom.qpath()} + options), status, out, says);
}

QTEST_MAIN(TestFind)
#include "test_find.moc"
