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
#include "ToolWindowKeys.h"
#include "ShownText.h"
#include "WindowFixture.h"
#include "app/EditHistory.h"
#include "app/FindGroupDlg.h"

using namespace om;
using omtest::ChooseFromMenu;
using omtest::OpenMenu;
using omtest::RunCli;
using omtest::ChooseFromMenu;
using omtest::OpenMenu;
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
    FindGroupDlg* pressCtrlF() { return omtest::PressForToolWindow<FindGroupDlg>(window.get(), Qt::Key_F); }
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

QString CountLine(const FindGroupDlg* d) { return omtest::ShownText(d->countLine()); }

// The images the companion is run on: "find" and "planted" as FindImage;
// "usage": every group shows backgrounds 261 (5, 1) and 18 (18, 0) but three.
RomImage CompanionImage(const QString& kind) {
    if (kind != QLatin1String("usage"))
        return FindImage(kind == QLatin1String("planted"));
    RomImage image = omtest::MakeTestImage();
    for (int g = 0; g < 485; ++g)
        image.putEntry(g, 5, 1, 18, 0);
    image.putEntry(3, 0, 0, 0, 0);
    image.putEntry(300, 44, 1, 18, 0);
    image.putEntry(484, 44, 1, 70, 1);
    return image;
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
    void companion_data();
    void companion();

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
    const QString background =
        QStringLiteral(" takes a background number from 0 to 65535 (decimal, or hex with 0x)");
    row("malformed layer term", "l1:xyz", {}, "\"l1:xyz\": l1:" + background);
    row("background beyond 16 bits", "bg:65536", {}, "\"bg:65536\": bg:" + background);
    row("group beyond the last", "#485", {},
        "\"#485\": # takes a group number from 0 to 484 (decimal, or hex with 0x)");
    // A term quoted is shown as typed, never read as markup.
    const QString group = QStringLiteral(": # takes a group number from 0 to 484 (decimal, or hex with 0x)");
    row("markup in a term", "#<b>X</b>", {}, "\"#<b>X</b>\"" + group);
    row("an open tag in a term", "#<font", {}, "\"#<font\"" + group);
    const QByteArray tables = "#" + QByteArray("<table><tr><td>").repeated(40);
    row("40 nested tables in a term", tables.constData(), {}, "\"" + tables + "\"" + group);
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
    // Every label of both windows shows text as text, whatever is put in it.
    for (const QWidget* window : {static_cast<QWidget*>(f.window.get()), static_cast<QWidget*>(d)})
        for (const QLabel* label : window->findChildren<QLabel*>())
            if (label->pixmap().isNull())
                QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
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
    QTableView* t = d->table();
    t->setCurrentIndex(t->model()->index(1, 0));
    QWidget* focus = how == QLatin1String("field") ? static_cast<QWidget*>(d->filterField()) : t;
    focus->setFocus();
    const QPoint at = t->visualRect(t->model()->index(1, 1)).center();
    if (how == QLatin1String("double-click")) {
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, at);
    } else {
        QTest::keyClick(focus, Qt::Key_Return);
    }
    // Group 211 is shown as a choice in the list shows it; group 3 took the
    // fields first.
    QCOMPARE(f.groupList()->currentIndex(), 211);
    QCOMPARE(f.data.currentPosition(), 211);
    QCOMPARE(f.data.record(3).layer1Lo, 77);
    QCOMPARE(f.data.record(3).layer1Hi, 0);
    QCOMPARE(f.fields(), (QStringList{"211", "0", "44", "1"}));
    QCOMPARE(f.text(IDC_ENTRY_OFFSET), QStringLiteral("BDDEA"));
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
    // Group 0 is shown: typing 1, 44 gives it background 300 at once, also
    // with the last key, which the history merges into the step before it.
    f.type(IDC_LAYER1_HI, QStringLiteral("1"));
    QCOMPARE(Shown(d), (Groups{7, 300, 480}));
    f.type(IDC_LAYER1_LO, QStringLiteral("44"));
    QCOMPARE(Shown(d), (Groups{0, 7, 300, 480}));
    QCOMPARE(CountLine(d), QStringLiteral("4 of 485 groups"));
    // Picking Blank takes it away again; leaving the group keeps it away.
    f.choosePicker(1, 0);
    QCOMPARE(Shown(d), (Groups{7, 300, 480}));
    f.chooseGroup(480);
    f.type(IDC_LAYER1_HI, QStringLiteral("2"));
    QCOMPARE(Shown(d), (Groups{7, 300}));
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
        // A control's menu opens at its middle, a row's on its description.
        QTableView* rows = s.from < 0 ? f.window->findGroupWindow().table() : nullptr;
        QWidget* w = rows ? rows->viewport() : f.control<QWidget>(s.from);
        const QPoint at =
            rows ? rows->visualRect(rows->model()->index(s.row, 1)).center() : w->rect().center();
        QVERIFY(ChooseFromMenu(w, at, s.command));
        FindGroupDlg* d = &f.window->findGroupWindow();
        QVERIFY(d->isVisible());
        QCOMPARE(d->filterField()->text(), QString::fromLatin1(s.filter));
        QCOMPARE(Shown(d), s.groups);
        QCOMPARE(CountLine(d), QStringLiteral("%1 of 485 groups").arg(s.groups.size()));
    }
    // A field's menu keeps its editing entries above the lookup and the
    // background browser.
    QMenu* menu = OpenMenu(f.field(IDC_LAYER2_HI), QPoint(2, 2));
    QVERIFY(menu);
    const QList<QAction*> actions = menu->actions();
    QVERIFY(actions.size() > 3);
    QCOMPARE((QList<int>{actions[actions.size() - 2]->property("commandId").toInt(),
                         actions.last()->property("commandId").toInt()}),
             (QList<int>{ID_GROUPS_USING_BACKGROUND, ID_BROWSE_BACKGROUNDS}));
    menu->close();
}

void TestFind::companion_data() {
    QTest::addColumn<QString>("image");       // as CompanionImage, or "missing"
    QTest::addColumn<QStringList>("args");    // the ROM's path goes second
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("says");  // on standard error, one line; empty: nothing
    const auto row = [](const char* name, const char* image, const QStringList& args, int status,
                        const QByteArray& out, const QByteArray& says = {}) {
        QTest::newRow(name) << QString::fromLatin1(image) << args << status << out << says;
    };
    // find prints the matches as grep(1) would (1: none, 2: trouble).
    row("find, layer 1", "find", {"find", "l1:300"}, 0,
        "7\t300\t300\tEnemy 129 x2\n"
        "300\t300\t467\tAsh Lizard + 3 Cinder Imps (Ashfall Rise)\n"
        "480\t300\t287\tSunken Tower Guardian (Hollow Moon Gate)\n");
    row("find, terms in two arguments", "find", {"find", "BG:0x12c", "enemy"}, 0,
        "7\t300\t300\tEnemy 129 x2\n211\t211\t300\tEnemy 193 (Gloomcap Aisle)\n");
    row("find, an escape in a name", "planted", {"find", "#7"}, 0,
        "7\t300\t300\tBad\\x1B]0;x\\x07Imp x2\n");
    row("find, no match", "find", {"find", "l2:255"}, 1, "");
    row("find, malformed term", "find", {"find", "enemy", "l1:xyz"}, 2, "",
        "\"l1:xyz\": l1: takes a background number from 0 to 65535");
    row("find, missing file", "missing", {"find", "l1:300"}, 2, "", "cannot open");
    row("find, --layer is usage's", "find", {"find", "--layer", "1"}, 2, "",
        "--layer does not apply to 'find'");
    const QByteArray layer1 = "1,0,1,3\n1,261,482," + AllGroupsBut({3, 300, 484}) +
                              "\n1,300,2,300 484\n";
    const QByteArray layer2 = "2,0,1,3\n2,18,483," + AllGroupsBut({3, 484}) + "\n2,326,1,484\n";
    const QByteArray header = "layer,background,count,groups\n";
    row("usage, both layers", "usage", {"usage"}, 0, header + layer1 + layer2);
    row("usage --layer 2", "usage", {"usage", "--layer", "2"}, 0, header + layer2);
    row("usage --layer=1", "usage", {"usage", "--layer=1"}, 0, header + layer1);
    row("usage --layer 3", "usage", {"usage", "--layer", "3"}, 2, "",
        "--layer takes 1 or 2, not '3'");
    row("usage, --layer twice", "usage", {"usage", "--layer=1", "--layer=2"}, 2, "",
        "--layer is given more than once");
    row("usage, a term", "usage", {"usage", "l1:3"}, 2, "",
        "'usage' takes 1 argument (usage ROM [--layer 1|2]), not 2");
}

void TestFind::companion() {
    QFETCH(QString, image);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, says);
    omtest::TempRom rom(CompanionImage(image));
    args.insert(1, image == QLatin1String("missing") ? rom.dir() + "/gone.smc" : rom.qpath());
    const omtest::CliRun r = RunCli(args);
    QCOMPARE(r.exitCode, status);
    QCOMPARE(r.out, out);
    if (says.isEmpty())
        QCOMPARE(r.err, QByteArray());
    else
        QVERIFY2(r.err.count('\n') == 1 && r.err.endsWith('\n') && r.err.contains(says),
                 r.err.constData());
}

QTEST_MAIN(TestFind)
#include "test_find.moc"
