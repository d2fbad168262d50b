// Undo and redo through the real window, the title's mark of unsaved edits,
// and byte fields that refuse what is not a byte.
#include <QAction>
#include <QClipboard>
#include <QUndoStack>
#include <QWindow>
#include <QtTest>
#include <cerrno>
#include <functional>

#include "WindowFixture.h"
#include "app/EditHistory.h"

using namespace om;
using omtest::WindowFixture;

// The headered test image's table; entry g holds (g % 256, g >> 8, 255 - g % 256, 1).
constexpr long kTable = 0xBDA9E;

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void titleMarksUnsavedEdits() {
        WindowFixture f;
        const QString program = QStringLiteral("Orbitmarsh Battle Animation Editor");
        QCOMPARE(f.window->windowTitle(), program);
        QVERIFY(f.load());
        QCOMPARE(f.window->windowTitle(), QStringLiteral("game.smc[*] - Orbitmarsh Battle Animation Editor"));
        QCOMPARE(f.window->windowFilePath(), f.rom.qpath());

        // What is done, and whether the title then marks unsaved edits.
        const std::tuple<const char*, std::function<void()>, bool> steps[] = {
            {"typed", [&] { f.type(IDC_LAYER1_LO, "7"); }, true},
            {"typed back", [&] { f.type(IDC_LAYER1_LO, "0"); }, false},
            {"picked", [&] { f.choosePicker(2, 40); }, true},
            {"saved", [&] { f.click(IDC_SAVE); }, false},
            {"undone past the save", [&] { f.trigger(ID_EDIT_UNDO); }, true},
            {"redone to the save", [&] { f.trigger(ID_EDIT_REDO); }, false},
            {"typed, group left", [&] { f.type(IDC_LAYER2_HI, "3"); f.chooseGroup(9); }, true},
            {"undone to the save", [&] { f.trigger(ID_EDIT_UNDO); }, false},
            {"picked and picked back",
             [&] {
                 const int k = f.picker(1)->currentIndex();
                 f.choosePicker(1, 3);
                 f.choosePicker(1, k);
             },
             false},
            {"two groups set in one step",
             [&] {
                 f.window->history().Push("Restore Unsaved Edits", {{5, {1, 2, 3, 4}}, {6, {5, 6, 7, 8}}});
                 QCOMPARE(f.window->editor().shownGroup(), 5);
                 QCOMPARE(f.fields(), (QStringList{"1", "2", "3", "4"}));
                 QCOMPARE(ValuesOf(f.data.record(6)), (GroupValues{5, 6, 7, 8}));
             },
             true},
            {"undone to the save", [&] { f.trigger(ID_EDIT_UNDO); }, false},
            {"typed, save fails",
             [&] {
                 f.type(IDC_LAYER1_HI, "1");
                 RomStream::SystemCalls& calls = RomStream::systemCalls();
                 const RomStream::SystemCalls saved = calls;
                 calls.fdatasync = [](int) { errno = EIO; return -1; };
                 f.click(IDC_SAVE);
                 calls = saved;
             },
             true},
        };
        for (const auto& [what, act, unsaved] : steps) {
            act();
            QVERIFY2(f.window->isWindowModified() == unsaved, what);
            QCOMPARE(f.window->windowHandle()->title(),
                     unsaved ? QStringLiteral("game.smc* - Orbitmarsh Battle Animation Editor")
                             : QStringLiteral("game.smc - Orbitmarsh Battle Animation Editor"));
        }
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));  // the failed save

        f.window->OnFileCloseRom();
        QCOMPARE(f.window->windowTitle(), program);
        QCOMPARE(f.window->windowHandle()->title(), program);
        QVERIFY(!f.window->isWindowModified());
        QVERIFY(f.window->windowFilePath().isEmpty());
    }

    void undoRedoAcrossReorders() {
        WindowFixture f;
        const auto original = f.rom.bytes();
        QVERIFY(f.load());
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QAction* undo = f.window->command(ID_EDIT_UNDO);
        QAction* redo = f.window->command(ID_EDIT_REDO);
        // Disabled with nothing to undo or redo. (The Edit menu's items: test_window.)
        QCOMPARE(undo->shortcuts(), QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Z"))});
        QCOMPARE(redo->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                                         QKeySequence(QStringLiteral("Ctrl+Y"))}));
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());

        f.chooseGroup(212);
        const int picked1 = f.picker(1)->currentIndex(), picked2 = f.picker(2)->currentIndex();
        f.choosePicker(1, 245);  // (255, 0)
        QCOMPARE(undo->text(), QStringLiteral("&Undo Change Group 212"));
        // Typing in one group is one step, across a reorder, until another
        // group is chosen.
        f.type(IDC_LAYER2_LO, "17");
        f.click(IDC_ORDER_ALPHA);
        f.type(IDC_LAYER2_HI, "0");
        f.chooseGroup(PositionOfGroup(f.window->displayOrder(), 3));
        f.type(IDC_LAYER1_HI, "9");
        f.click(IDC_ORDER_PROGRESSION);
        QCOMPARE(f.window->history().stack()->count(), 3);

        // Ctrl+Z in a field undoes the window's step, not the field's typing.
        f.field(IDC_LAYER1_HI)->setFocus();
        QTest::keyClick(f.field(IDC_LAYER1_HI), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.fields(), (QStringList{"3", "0", "252", "1"}));
        QCOMPARE(redo->text(), QStringLiteral("&Redo Change Group 3"));
        f.chooseGroup(0);
        undo->trigger();
        // The group concerned is selected in the order shown.
        QCOMPARE(f.groupList()->currentIndex(), PositionOfGroup(f.window->displayOrder(), 212));
        QCOMPARE(f.window->editor().shownGroup(), 212);
        QCOMPARE(f.fields(), (QStringList{"255", "0", "43", "1"}));
        QCOMPARE(f.picker(1)->currentIndex(), 245);
        undo->trigger();
        QCOMPARE(f.fields(), (QStringList{"212", "0", "43", "1"}));
        QCOMPARE(f.picker(1)->currentIndex(), picked1);
        QCOMPARE(f.picker(2)->currentIndex(), picked2);
        QVERIFY(!undo->isEnabled());
        // Every record is as it was read, and saving changes no byte.
        for (int g = 0; g < kGroupCount; ++g)
            QCOMPARE(ValuesOf(f.data.record(g)), (GroupValues{g % 256, g >> 8, 255 - g % 256, 1}));
        f.click(IDC_SAVE);
        QCOMPARE(f.rom.bytes(), original);

        // Redo by both keys and the menu.
        QTest::keyClick(f.window.get(), Qt::Key_Y, Qt::ControlModifier);
        f.field(IDC_LAYER2_LO)->setFocus();
        QTest::keyClick(f.field(IDC_LAYER2_LO), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        redo->trigger();
        QVERIFY(!redo->isEnabled());
        QCOMPARE(f.window->editor().shownGroup(), 3);
        QCOMPARE(f.fields(), (QStringList{"3", "9", "252", "1"}));
        f.click(IDC_SAVE);
        const auto saved = f.rom.bytes();
        QCOMPARE(omtest::DifferingOffsets(original, saved),
                 (std::vector<long>{kTable + 13, kTable + 848, kTable + 850, kTable + 851}));
        const std::vector<int> written{saved[kTable + 13], saved[kTable + 848], saved[kTable + 850],
                                       saved[kTable + 851]};
        QCOMPARE(written, (std::vector<int>{9, 255, 17, 0}));

        // Opening a ROM over this one, and closing, start an empty history; the
        // edit left unsaved comes back as its one step.
        undo->trigger();
        QVERIFY(f.load());
        QCOMPARE(undo->text(), QStringLiteral("&Undo Restore Unsaved Edits"));
        QVERIFY(!redo->isEnabled());
        f.choosePicker(2, 7);
        f.window->OnFileCloseRom();
        QVERIFY(!undo->isEnabled() && !redo->isEnabled());
    }

    void fieldsRefuseWhatIsNotAByte_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("byte");
        // Group 0's layer 2 low field holds 255 before.
        QTest::newRow("256 typed") << "256" << false << "25" << 25;
            QTest::newRow("007 typed") << "007" << false << "007" << 7;
        QTest::newRow("emptied") << "" << false << "" << 0;
        QTest::newRow("300 pasted") << "300" << true << "255" << 255;
        QTest::newRow("12 pasted") << "12" << true << "12" << 12;
        QTest::newRow("-1 pasted") << "-1" << true << "255" << 255;
        QTest::newRow("1 2 pasted") << "1 2" << true << "255" << 255;
    }

    void fieldsRefuseWhatIsNotAByte() {
        QFETCH(QString, keys);
        QFETCH(bool, paste);
        QFETCH(QString, shown);
        QFETCH(int, byte);
        // One window for all rows, the field set back to group 0's 255 first.
        if (!refusing_) {
            refusing_ = std::make_unique<WindowFixture>();
            QVERIFY(refusing_->load());
        }
        WindowFixture& f = *refusing_;
        f.type(IDC_LAYER2_LO, "255");
        ByteField* field = f.field(IDC_LAYER2_LO);
        if (paste) {
            QGuiApplication::clipboard()->setText(keys);
            f.window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
            field->setFocus();
            field->selectAll();
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        } else {
            f.type(IDC_LAYER2_LO, keys);
        }
        QCOMPARE(field->text(), shown);
        f.click(IDC_SAVE);
        QCOMPARE(int(f.rom.bytes()[kTable + 2]), byte);
        QCOMPARE(f.data.record(0).layer2Lo, byte);
    }

    void everyByteShownIsWritten() {
        WindowFixture f;
        QVERIFY(f.load());
        const int ids[] = {IDC_LAYER1_LO, IDC_LAYER1_HI, IDC_LAYER2_LO, IDC_LAYER2_HI};
        // Group v gets the byte v in its four fields; one save writes them all.
        for (int v = 0; v < 256; ++v) {
            const QString text = QString::number(v);
            f.chooseGroup(v);
            for (int id : ids)
                f.type(id, text);
            QCOMPARE(f.fields(), QStringList(4, text));
            for (int layer : {1, 2}) {
                // The picker follows: a catalogued thumbnail, or the custom
                // slot holding the two bytes.
                const LayerCatalog& catalog = f.window->editor().catalog(layer);
                const int k = f.picker(layer)->currentIndex();
                QVERIFY(k >= 0 && k <= catalog.customSlot());
                QCOMPARE(catalog.entry(k).lo, v);
                QCOMPARE(catalog.entry(k).hi, v);
                QCOMPARE(f.window->editor().syncGuard(layer), 0);
            }
        }
        f.click(IDC_SAVE);
        const auto bytes = f.rom.bytes();
        for (long i = 0; i < 4 * 256; ++i)
            QCOMPARE(int(bytes[std::size_t(kTable + i)]), int(i / 4));
    }

private:
    std::unique_ptr<WindowFixture> refusing_;
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
