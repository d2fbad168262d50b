// Whole entries changed at once, through the real windows: Copy Entry and
// Paste Entry of the Edit menu, and Find Group's changes of its selected
// rows, each one step of the history, on the test image (group g: layer 1
// background g, bytes g and g >> 8; layer 2 bytes 255 - g % 256 and 1).
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "WindowFixture.h"
#include "app/FindGroupDlg.h"

using namespace om;
using omtest::WindowFixture;

namespace {

QStringList Bytes(int a, int b, int c, int d) {
    return {QString::number(a), QString::number(b), QString::number(c), QString::number(d)};
}

QString UndoText(const WindowFixture& f) {
    return f.window->command(ID_EDIT_UNDO)->text().remove(QLatin1Char('&'));
}

}  // namespace

class TestEntry : public QObject {
    Q_OBJECT
private slots:
    void pasteEntry_data();
    void pasteEntry();
    void copyEntry();
    void findChangesSelectedGroups_data();
    void findChangesSelectedGroups();
};

void TestEntry::pasteEntry_data() {
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("fields");  // empty: refused
    const QStringList refused;
    QTest::newRow("numbers") << "L1 307 L2 18" << Bytes(51, 1, 18, 0);
    QTest::newRow("hex numbers, any case and spacing") << "  l1 0x133\tL2   0X12\n" << Bytes(51, 1, 18, 0);
    QTest::newRow("highest numbers") << "L1 65535 L2 256" << Bytes(255, 255, 0, 1);
    QTest::newRow("four hex bytes") << "33 01 12 00" << Bytes(51, 1, 18, 0);
    QTest::newRow("four hex bytes joined") << "FF0aB0c1" << Bytes(255, 10, 176, 193);
    QTest::newRow("number out of range") << "L1 65536 L2 0" << refused;
    QTest::newRow("negative number") << "L1 -1 L2 0" << refused;
    QTest::newRow("layers swapped") << "L2 18 L1 307" << refused;
    QTest::newRow("one layer") << "L1 307" << refused;
    QTest::newRow("two bare numbers") << "307 18" << refused;
    QTest::newRow("three bytes") << "33 01 12" << refused;
    QTest::newRow("five bytes") << "33 01 12 00 00" << refused;
    QTest::newRow("not hex") << "33 01 1G 00" << refused;
    QTest::newRow("other text") << "Salt-Crusted Dreadwhale" << refused;
    QTest::newRow("nothing") << "" << refused;
}

void TestEntry::pasteEntry() {
    QFETCH(QString, clipboard);
    QFETCH(QStringList, fields);
    WindowFixture f;
    QVERIFY(f.load());
    f.chooseGroup(210);
    const QStringList before = f.fields();
    QCOMPARE(before, Bytes(210, 0, 45, 1));
    QApplication::clipboard()->setText(clipboard);
    QTest::keyClick(f.window.get(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    if (fields.isEmpty()) {
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        QCOMPARE(f.desktop.shown[0].text,
                 QStringLiteral("The clipboard holds no entry. Paste Entry takes \"L1 307 L2 18\" "
                                "(the two background numbers) or the entry's four bytes in hex "
                                "(\"33 01 12 00\")."));
        QVERIFY(f.desktop.shown[0].icon == Desktop::Icon::Warning);
        QCOMPARE(f.fields(), before);
        QVERIFY(!f.window->command(ID_EDIT_UNDO)->isEnabled());
        QVERIFY(!f.window->isWindowModified());
        return;
    }
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(f.fields(), fields);
    QCOMPARE(UndoText(f), QStringLiteral("Undo Paste Entry"));
    QVERIFY(f.window->isWindowModified());
    // The file takes exactly those four bytes for group 210 at Save.
    QTest::keyClick(f.window.get(), Qt::Key_S, Qt::ControlModifier);
    RomImage expected = omtest::MakeTestImage();
    expected.putEntry(210, static_cast<std::uint8_t>(fields[0].toInt()),
                      static_cast<std::uint8_t>(fields[1].toInt()),
                      static_cast<std::uint8_t>(fields[2].toInt()),
                      static_cast<std::uint8_t>(fields[3].toInt()));
    QVERIFY(f.rom.bytes() == expected.bytes());
}

void TestEntry::copyEntry() {
    WindowFixture f;
    // Disabled without a ROM.
    QVERIFY(!f.window->command(ID_EDIT_COPYENTRY)->isEnabled());
    QVERIFY(!f.window->command(ID_EDIT_PASTEENTRY)->isEnabled());
    QVERIFY(f.load());

    // What the fields show, typed and not yet stored, is what is copied.
    f.chooseGroup(206);
    f.type(IDC_LAYER2_LO, QStringLiteral("7"));
    QTest::keyClick(f.window.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("L1 206 L2 263"));
    // Pasted into another group: its fields, one step, undone whole.
    f.chooseGroup(485 - 1);
    QTest::keyClick(f.window.get(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(f.fields(), Bytes(206, 0, 7, 1));
    QCOMPARE(UndoText(f), QStringLiteral("Undo Paste Entry"));
    f.trigger(ID_EDIT_UNDO);
    QCOMPARE(f.fields(), Bytes(484 % 256, 1, 255 - 484 % 256, 1));
    // Pasting what a group already holds is no step.
    f.trigger(ID_EDIT_UNDO);
    f.chooseGroup(206);
    const QString undoBefore = UndoText(f);
    QApplication::clipboard()->setText(QStringLiteral("CE 00 31 01"));
    QTest::keyClick(f.window.get(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(UndoText(f), undoBefore);
    QVERIFY(!f.window->isWindowModified());
}

void TestEntry::findChangesSelectedGroups_data() {
    QTest::addColumn<QString>("filter");      // of the Find window
    QTest::addColumn<int>("button");          // what changes the selected rows
    QTest::addColumn<QString>("answer");      // typed into the dialog asking, or the clipboard
    QTest::addColumn<QList<int>>("groups");   // the groups changed
    QTest::addColumn<QList<int>>("entry");    // layer 1 lo, hi, layer 2 lo, hi; -1: unchanged
    QTest::addColumn<QString>("undo");        // the Undo command's text; empty: nothing done
    QList<int> first12;
    for (int g = 0; g < 12; ++g)
        first12 << g;
    QTest::newRow("layer 1 of 12 groups") << QString() << IDC_FIND_SETLAYER1 << "300" << first12
                                          << QList<int>{44, 1, -1, -1} << "Undo Change 12 Groups";
    QTest::newRow("layer 2 in hex") << QString() << IDC_FIND_SETLAYER2 << " 0x12C " << first12
                                    << QList<int>{-1, -1, 44, 1} << "Undo Change 12 Groups";
    // Group 300 shows 300 on layer 1; groups 211 and 467 on layer 2.
    QTest::newRow("entry into all rows, Ctrl+A") << "bg:300" << IDC_FIND_PASTEENTRY << "L1 5 L2 6"
                                                 << QList<int>{211, 300, 467}
                                                 << QList<int>{5, 0, 6, 0} << "Undo Change 3 Groups";
    QTest::newRow("a group already so is left out") << "bg:300" << IDC_FIND_SETLAYER1 << "300"
                                                    << QList<int>{211, 467}
                                                    << QList<int>{44, 1, -1, -1}
                                                    << "Undo Change 2 Groups";
    QTest::newRow("one group") << "#9" << IDC_FIND_SETLAYER2 << "1" << QList<int>{9}
                               << QList<int>{-1, -1, 1, 0} << "Undo Change 1 Group";
    QTest::newRow("number out of range") << QString() << IDC_FIND_SETLAYER1 << "65536"
                                         << QList<int>{} << QList<int>{} << QString();
    QTest::newRow("not a number") << QString() << IDC_FIND_SETLAYER1 << "3OO" << QList<int>{}
                                  << QList<int>{} << QString();
    QTest::newRow("no entry on the clipboard") << QString() << IDC_FIND_PASTEENTRY << "L1 5"
                                               << QList<int>{} << QList<int>{} << QString();
}

void TestEntry::findChangesSelectedGroups() {
    QFETCH(QString, filter);
    QFETCH(int, button);
    QFETCH(QString, answer);
    QFETCH(QList<int>, groups);
    QFETCH(QList<int>, entry);
    QFETCH(QString, undo);
    WindowFixture f;
    QVERIFY(f.load());
    const std::vector<std::uint8_t> original = f.rom.bytes();
    FindGroupDlg& find = f.window->findGroupWindow();
    find.present(filter);
    QTableView* table = find.table();
    if (filter.isEmpty()) {
        // Rows 0 to 11: a click, then a Shift+click.
        table->scrollToTop();
        const auto at = [table](int row) {
            return table->visualRect(table->model()->index(row, 1)).center();
        };
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at(0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(11));
    } else {
        table->setFocus();
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
    }
    if (button == IDC_FIND_PASTEENTRY)
        QApplication::clipboard()->setText(answer);
    else
        f.desktop.texts.push_back(answer);
    const QString undoBefore = UndoText(f);
    QTest::mouseClick(Control<QPushButton>(&find, button), Qt::LeftButton);
    if (undo.isEmpty()) {
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        QCOMPARE(UndoText(f), undoBefore);
        QVERIFY(!f.window->isWindowModified());
        return;
    }
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(UndoText(f), undo);
    QVERIFY(f.window->isWindowModified());
    // Find's rows follow: every row shows the editor's values.
    RomImage expected = omtest::MakeTestImage();
    for (int g : groups) {
        const int l1 = entry[0] < 0 ? g : entry[0] + 256 * entry[1];
        const int l2 = entry[2] < 0 ? 511 - g % 256 : entry[2] + 256 * entry[3];
        expected.putEntry(g, l1 & 0xFF, l1 >> 8, l2 & 0xFF, l2 >> 8);
    }
    find.present(QStringLiteral(""));
    QCOMPARE(find.rowCount(), 485);
    for (int r = 0; r < find.rowCount(); ++r) {
        const int g = find.groupAtRow(r);
        const long at = f.window->romLayout().entryOffset(g);
        const int l1 = expected.at(at) + 256 * expected.at(at + 1);
        const int l2 = expected.at(at + 2) + 256 * expected.at(at + 3);
        QCOMPARE(table->model()->index(r, 2).data().toInt(), l1);
        QCOMPARE(table->model()->index(r, 3).data().toInt(), l2);
    }
    // Saved, the file holds exactly those entries; one undo and Save give
    // the file back byte for byte.
    f.trigger(ID_FILE_SAVECHANGES);
    QVERIFY(f.rom.bytes() == expected.bytes());
    f.trigger(ID_EDIT_UNDO);
    QCOMPARE(UndoText(f), undoBefore);
    f.trigger(ID_FILE_SAVECHANGES);
    QVERIFY(f.rom.bytes() == original);
}

QTEST_MAIN(TestEntry)
#include "test_entry.moc"
