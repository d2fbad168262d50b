// The main window driven as a user drives it: start-up, enabling, the three
// orders, layer editing through pickers and fields, and the keyboard rules.
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QGroupBox>
#include <QProcess>
#include <QStyleOptionComboBox>
#include <QSignalSpy>
#include <QtTest>
#include <numeric>

#include "WindowFixture.h"
#include "app/SplashDlg.h"
#include "res/Resources.h"

using namespace om;
using omtest::WindowFixture;

namespace {

// The bitmap each picker item shows, in runs: layer, first and last item,
// the first item's bitmap. Blank first, then background pictures.
const int kThumbnailRuns[][4] = {{1, 0, 0, 889},     {1, 1, 245, 405}, {1, 246, 293, 698},
                                 {1, 294, 314, 767}, {2, 0, 0, 889},   {2, 1, 99, 788}};

bool ShowsPicture(const QComboBox* picker, int k, int bitmap) {
    const QImage shown = picker->itemIcon(k).pixmap(QSize(166, 145)).toImage();
    return shown.convertToFormat(QImage::Format_RGB32) ==
           LoadBitmapResource(bitmap).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void startupBuildsPickersOnceBehindSplash() {
        BattleAnimData data;
        omtest::ScriptedDesktop desktop;
        CBattleAnimDlg w(data, desktop);
        w.show();
        // The splash is up with its bar at 0 of 832 before the first tick.
        QVERIFY(w.splash() != nullptr);
        QProgressBar* bar = w.splash()->progressBar();
        QCOMPARE(bar->maximum(), 832);
        QCOMPARE(bar->value(), 0);
        // No caption; a thin border of one pixel round the 392 x 215 picture and
        // the bar beneath it.
        QVERIFY(w.splash()->windowFlags() & Qt::FramelessWindowHint);
        const QImage splash = w.splash()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(splash.size(), QSize(392 + 2, 215 + bar->height() + 2));
        const QImage picture = LoadBitmapResource(IDB_SPLASH).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(splash.copy(1, 1, 392, 215), picture);
        const QRgb border = w.splash()->palette().color(QPalette::WindowText).rgb();
        for (int x = 0; x < splash.width(); ++x)
            QVERIFY(splash.pixel(x, 0) == border && splash.pixel(x, splash.height() - 1) == border);
        for (int y = 0; y < splash.height(); ++y)
            QVERIFY(splash.pixel(0, y) == border && splash.pixel(splash.width() - 1, y) == border);
        QCOMPARE(Control<QComboBox>(&w, IDC_LAYER1_PICKER)->count(), 0);

        QList<int> values;
        connect(bar, &QProgressBar::valueChanged, this, [&](int v) { values.append(v); });
        QTRY_VERIFY(w.pickersBuilt());
        QList<int> steps(832);
        std::iota(steps.begin(), steps.end(), 1);
        QCOMPARE(values, steps);
        QVERIFY(w.splash() == nullptr);

        // More ticks never build again.
        QTest::qWait(50);
        QCOMPARE(w.pickerBuilds(), 1);

        auto* p1 = Control<ImagePicker>(&w, IDC_LAYER1_PICKER);
        auto* p2 = Control<ImagePicker>(&w, IDC_LAYER2_PICKER);
        // Items and pictures: one picture more, the custom slot's.
        QCOMPARE((QList<int>{p1->count(), p1->imageList()->count(), p2->count(), p2->imageList()->count()}),
                 (QList<int>{315, 316, 100, 101}));
        // Each item names its background: its number as the byte fields
        // give it, then its low and high byte in hex.
        QCOMPARE((QStringList{p1->itemText(0), p1->itemText(7), p1->itemText(235), p1->itemText(245),
                              p1->itemText(314), p2->itemText(0), p2->itemText(1), p2->itemText(99)}),
                 (QStringList{"0  00 00", "7  07 00", "237  ED 00", "255  FF 00", "326  46 01",
                              "0  00 00", "18  12 00", "326  46 01"}));
        // Every item shows its own background's picture.
        for (const auto& [layer, first, last, bitmap] : kThumbnailRuns)
            for (int k = first; k <= last; ++k)
                QVERIFY2(ShowsPicture(layer == 1 ? p1 : p2, k, bitmap + k - first),
                         qPrintable(QString::number(k)));
    }

    void layoutIdentifiersMenuAndFrame() {
        WindowFixture f;
        CBattleAnimDlg& w = *f.window;
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        // Nothing has the focus but the read-only offset field: Enter does not
        // press Close by accident.
        QVERIFY(f.control<QWidget>(IDC_ENTRY_OFFSET)->hasFocus());

        QVERIFY(!f.control<QComboBox>(IDC_SORTER)->isVisible());
        QCOMPARE(f.control<QPushButton>(IDC_SAVE)->text(), QStringLiteral("&Save"));
        QVERIFY(f.control<QPushButton>(IDC_SAVE)->isDefault());
        QCOMPARE(f.control<QPushButton>(IDCANCEL)->text(), QStringLiteral("&Close"));

        // Tab order follows the layout: Save, Close, layer 1 picker, its fields.
        QCOMPARE(f.control<QWidget>(IDC_SAVE)->nextInFocusChain(), f.control<QWidget>(IDCANCEL));

        // The menus in order, a separator as "-".
        QStringList menus;
        for (const QAction* m : w.menuBar()->actions()) {
            menus << m->text();
            for (const QAction* a : m->menu()->actions())
                menus << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(menus, (QStringList{"&File", "&Open ROM", "Open &Recent", "C&lose ROM", "&Save Changes",
                                     "Export &Patch...", "Table &History...", "Re&vert to Saved",
                                     "Set &Original ROM...", "-",
                                     "&Exit", "&Edit", "&Undo", "&Redo", "-",
                                     "&Copy Entry", "&Paste Entry", "-", "&Find Group...", "&View",
                                     "&Browse Backgrounds...", "&Hexadecimal Bytes", "&Go", "&Back",
                                     "&Forward", "&Tools", "&Run in Emulator", "&Emulator...", "-",
                                     "&Import Thumbnails...", "E&xport Thumbnails...", "&Screenshot Folder...",
                                     "&Help", "&Readme", "&About..."}));
        // Each command always enabled, with the platform's own keys for it (a
        // platform may have none, as the offscreen one has none for Quit).
        const std::pair<int, QKeySequence::StandardKey> commands[] = {
            {ID_FILE_OPENROM, QKeySequence::Open},          {ID_FILE_CLOSEROM, QKeySequence::Close},
            {ID_FILE_SAVECHANGES, QKeySequence::Save},      {ID_FILE_EXIT, QKeySequence::Quit},
            {ID_EDIT_FINDGROUP, QKeySequence::Find},        {ID_FILE_EXPORTPATCH, QKeySequence::UnknownKey},
            {ID_FILE_OPENRECENT, QKeySequence::UnknownKey}, {ID_FILE_CLEARRECENT, QKeySequence::UnknownKey},
            {ID_HELP_README, QKeySequence::UnknownKey},     {ID_HELP_ABOUT, QKeySequence::UnknownKey},
            {ID_TOOLS_EMULATOR, QKeySequence::UnknownKey},  {ID_VIEW_HEXBYTES, QKeySequence::UnknownKey},
            {ID_VIEW_BROWSEBACKGROUNDS, QKeySequence::Bold}};  // Bold: Ctrl+B
        for (const auto& [id, key] : commands) {
            const QAction* a = w.command(id);
            QVERIFY(a->isEnabled());
            QCOMPARE(a->shortcuts(), key == QKeySequence::UnknownKey ? QList<QKeySequence>{}
                                                                    : QKeySequence::keyBindings(key));
        }
    }

    void enablingRuleEnterAndClose() {
        WindowFixture f;
        const auto original = f.rom.bytes();
        // The editing controls enabled only with a ROM, the others always.
        const auto editing = [&](bool on) {
            bool as = true;
            for (int id : {IDC_GROUP_LIST, IDC_LAYER1_PICKER, IDC_LAYER2_PICKER, IDC_LAYER1_LO,
                           IDC_LAYER1_HI, IDC_LAYER2_LO, IDC_LAYER2_HI, IDC_SAVE})
                as = as && f.control<QWidget>(id)->isEnabled() == on;
            for (int id : {IDCANCEL, IDC_ORDER_NUMERIC, IDC_ORDER_ALPHA, IDC_ORDER_PROGRESSION, IDC_ENTRY_OFFSET})
                as = as && f.control<QWidget>(id)->isEnabled();
            return as;
        };
        // Without a ROM: Save saves nothing, Enter does nothing (the window
        // stays open), an order shows empty lines and selects nothing.
        QVERIFY(editing(false));
        f.trigger(ID_FILE_SAVECHANGES);
        f.window->activateWindow();
        QTest::keyClick(f.control<QWidget>(IDC_ENTRY_OFFSET), Qt::Key_Return);
        QVERIFY(f.window->isVisible());
        QVERIFY(f.desktop.shown.empty());
        QCOMPARE(f.groupList()->count(), 3);  // the layout's placeholders
        f.control<QPushButton>(IDC_ORDER_ALPHA)->click();  // the focus stays
        QCOMPARE(f.groupList()->count(), 485);
        QCOMPARE(f.groupList()->currentIndex(), -1);
        QVERIFY(f.groupList()->itemText(0).isEmpty());

        QVERIFY(f.load());
        QVERIFY(editing(true));
        // Enter in a field presses the default button, Save.
        f.type(IDC_LAYER1_LO, "77");
        QTest::keyClick(f.field(IDC_LAYER1_LO), Qt::Key_Return);
        QVERIFY(f.window->isVisible());
        const auto saved = f.rom.bytes();
        QCOMPARE(omtest::DifferingOffsets(original, saved), std::vector<long>{776862});
        QCOMPARE(int(saved[776862]), 77);

        f.chooseGroup(12);
        f.choosePicker(2, 40);
        f.type(IDC_LAYER1_LO, "1");
        const QStringList fields = f.fields();
        f.trigger(ID_FILE_CLOSEROM);
        QVERIFY(!f.window->isRomOpen());
        QVERIFY(editing(false));
        // Closing keeps what is on screen, and saves nothing, then or later.
        QCOMPARE(f.fields(), fields);
        QCOMPARE(f.groupList()->currentIndex(), 12);
        QCOMPARE(f.picker(2)->currentIndex(), 40);
        QCOMPARE(f.groupList()->count(), 485);
        f.trigger(ID_FILE_SAVECHANGES);
        QVERIFY(f.desktop.shown.empty());
        QCOMPARE(f.rom.bytes(), saved);
        // Closing again only disables.
        f.window->OnFileCloseRom();
        QVERIFY(editing(false));
    }

    void escapeAndExitEndTheWindow() {
        // Escape, File > Exit, Close, the close box.
        for (int way = 0; way < 4; ++way) {
            WindowFixture f;
            QVERIFY(f.load());
            f.type(IDC_LAYER1_LO, "9");  // not saved, and nothing is asked
            if (way == 0)
                QTest::keyClick(f.window.get(), Qt::Key_Escape);
            else if (way == 1)
                f.trigger(ID_FILE_EXIT);
            else if (way == 2)
                f.click(IDCANCEL);
            else
                f.window->close();
            QVERIFY2(!f.window->isVisible(), qPrintable(QString::number(way)));
            QCOMPARE(f.window->result(), int(QDialog::Rejected));
            QVERIFY(f.desktop.shown.empty());
        }
    }

    void loadResetsTheOrder_data() {
        QTest::addColumn<int>("order");
        QTest::addColumn<bool>("byMenu");  // File > Open ROM, or a load of its own
        QTest::newRow("ABC, Open ROM") << int(IDC_ORDER_ALPHA) << true;
        QTest::newRow("->, Open ROM") << int(IDC_ORDER_PROGRESSION) << true;
        QTest::newRow("->, load") << int(IDC_ORDER_PROGRESSION) << false;
    }

    void loadResetsTheOrder() {
        QFETCH(int, order);
        QFETCH(bool, byMenu);
        om::RomImage image = omtest::MakeTestImage();
        image.putEntry(0, 17, 1, 203, 0);
        WindowFixture f(image);
        QVERIFY(f.load());
        QStringList numeric;
        for (int p = 0; p < 485; ++p)
            numeric << f.groupList()->itemText(p);
        f.chooseGroup(40);
        f.click(order);
        // The list follows the order chosen, group 40 still selected, and the
        // offset is the shown group's, not its position's.
        const DisplayOrderArray& shown = f.window->displayOrder();
        for (int p = 0; p < 485; ++p)
            QCOMPARE(f.groupList()->itemText(p), numeric[shown[std::size_t(p)]]);
        const int p40 = f.groupList()->currentIndex();
        QCOMPARE(shown[std::size_t(p40)], 40);
        QVERIFY(p40 != 40);
        QCOMPARE(f.data.currentPosition(), p40);
        QCOMPARE(f.text(IDC_ENTRY_OFFSET), QStringLiteral("BDB3E"));
        // Back in numeric order group 40 stays selected; then the order again.
        f.click(IDC_ORDER_NUMERIC);
        QCOMPARE(f.groupList()->currentIndex(), 40);
        QCOMPARE(f.data.currentPosition(), 40);
        QCOMPARE(f.window->editor().shownGroup(), 40);
        f.click(order);

        if (byMenu) {
            f.desktop.files = {f.rom.qpath()};
            f.trigger(ID_FILE_OPENROM);
            QCOMPARE(f.desktop.fileDialogs, 1);
            QVERIFY(f.desktop.shown.empty());
        } else {
            QVERIFY(f.load());
        }
        // Position p shows group p again, the first one selected with its bytes.
        for (int p = 0; p < 485; ++p) {
            QCOMPARE(f.window->displayOrder()[std::size_t(p)], p);
            QCOMPARE(f.groupList()->itemText(p), numeric[p]);
        }
        QCOMPARE(f.groupList()->currentIndex(), 0);
        QCOMPARE(f.data.currentPosition(), 0);
        QCOMPARE(f.window->editor().shownGroup(), 0);
        QCOMPARE(f.fields(), (QStringList{"17", "1", "203", "0"}));
        QCOMPARE(f.text(IDC_ENTRY_OFFSET), QStringLiteral("BDA9E"));
        // The field shows what is set in capitals.
        f.control<QLineEdit>(IDC_ENTRY_OFFSET)->setText(QStringLiteral("bdaff"));
        QCOMPARE(f.text(IDC_ENTRY_OFFSET), QStringLiteral("BDAFF"));
    }

    void typingFollowsPickerAndCustomSlot() {
        om::RomImage image = omtest::MakeTestImage();
        image.putEntry(1, 5, 1, 0, 0);  // background 261
        image.putEntry(2, 9, 0, 0, 0);  // background 9; 9 with high byte 1 is unknown
        WindowFixture f(image);
        QVERIFY(f.load());
        f.type(IDC_LAYER1_HI, "1");
        f.type(IDC_LAYER1_LO, "");
        f.type(IDC_LAYER1_LO, "5");
        QCOMPARE(f.picker(1)->currentIndex(), 251);  // background 261
        QCOMPARE(f.picker(1)->count(), 315);

        f.type(IDC_LAYER1_LO, "50");
        f.type(IDC_LAYER1_HI, "2");
        QCOMPARE(f.picker(1)->count(), 316);
        QCOMPARE(f.picker(1)->currentIndex(), 315);
        QVERIFY(f.picker(1)->itemText(315).isEmpty());
        QVERIFY(ShowsPicture(f.picker(1), 315, 890));

        // Away to a catalogued thumbnail (item 245 is background 255) and back
        // to the custom item.
        f.choosePicker(1, 245);
        QCOMPARE(f.fields().mid(0, 2), (QStringList{"255", "0"}));
        f.choosePicker(2, 99);
        QCOMPARE(f.fields().mid(2), (QStringList{"70", "1"}));
        // Records change only when the group is left or saved.
        QCOMPARE(f.data.record(0).layer1Lo, 0);
        f.choosePicker(1, 315);
        QCOMPARE(f.fields().mid(0, 2), (QStringList{"50", "2"}));
        QCOMPARE(f.picker(1)->count(), 316);

        f.chooseGroup(1);
        QCOMPARE(f.picker(1)->currentIndex(), 251);
        f.chooseGroup(2);
        QCOMPARE(f.picker(1)->currentIndex(), 9);
        // The first update searched (9, 1): the custom slot kept that mix.
        QCOMPARE(f.picker(1)->count(), 316);
        QCOMPARE(f.window->editor().catalog(1).entry(315).lo, 9);
        QCOMPARE(f.window->editor().catalog(1).entry(315).hi, 1);
    }

    void fieldsAcceptOnlyDigits() {
        WindowFixture f;
        QVERIFY(f.load());
        ByteField* lo = f.field(IDC_LAYER1_LO);
        QSignalSpy changes(lo, &ByteField::changed);
        f.type(IDC_LAYER1_LO, "a-4x2 ");
        QCOMPARE(lo->text(), QStringLiteral("42"));
        // Digits of other scripts are not digits here either.
        for (char16_t c : {u'\u0663', u'\u00B2'}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(c)));
            QApplication::sendEvent(lo, &press);
        }
        QCOMPARE(lo->text(), QStringLiteral("42"));
        QCOMPARE(changes.size(), 2);
        // Program updates raise the handler even when the text stays the same.
        lo->setValue(42);
        QCOMPARE(changes.size(), 3);

        const std::pair<const char*, std::int32_t> values[] = {
            {"-7", -7}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
            {"2147483648", 0}, {"99999999999999999999", 0}, {"", 0}, {"-", 0}, {"+5", 0},
            {"12a", 0}, {" 1", 0}};
        for (auto [text, value] : values)
            QCOMPARE(ParseFieldValue(text), value);
    }

    void backgroundClickFocusesGroupList() {
        WindowFixture f;
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QWidget* surface = f.window->surface();
        f.control<QPushButton>(IDC_ORDER_ALPHA)->setFocus();
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(2, surface->height() - 2));
        QVERIFY(f.control<QWidget>(IDC_ORDER_ALPHA)->hasFocus());

        QVERIFY(f.load());
        // A click on a "BG number:" label goes through to the window.
        const QPoint onLabel(DialogUnits(f.window->font()).x(60), DialogUnits(f.window->font()).y(126));
        QWidget* under = surface->childAt(onLabel);
        QVERIFY(!under || under->testAttribute(Qt::WA_TransparentForMouseEvents));
        QTest::mouseClick(surface, Qt::LeftButton, {}, onLabel);
        QVERIFY(f.groupList()->hasFocus());
    }

    void closedPickerShowsWholeText_data() {
        QTest::addColumn<QString>("scale");
        QTest::newRow("1") << "1";
        QTest::newRow("1.5") << "1.5";
        QTest::newRow("2") << "2";
    }

    void closedPickerShowsWholeText() {
        QFETCH(QString, scale);
        if (qEnvironmentVariable("QT_SCALE_FACTOR") != scale) {
            // Qt reads the scale once, as it starts: this test program runs this
            // row again at that scale.
            QProcess run;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
            run.setProcessEnvironment(env);
            run.setProcessChannelMode(QProcess::MergedChannels);
            run.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("closedPickerShowsWholeText:") + scale});
            QVERIFY(run.waitForFinished(120000));
            QVERIFY2(run.exitCode() == 0, run.readAll().constData());
            return;
        }
        WindowFixture f;
        for (int layer : {1, 2}) {
            ImagePicker* picker = f.picker(layer);
            // The closed box draws the current item's picture at the left of its
            // text field and the text 4 pixels after it, cut at the field's end.
            QStyleOptionComboBox option;
            option.initFrom(picker);
            option.iconSize = picker->iconSize();
            option.frame = true;
            const QRect field = picker->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                                QStyle::SC_ComboBoxEditField, picker);
            const int room = field.width() - 166 - 4 - 1;
            for (int k = 0; k < picker->count(); ++k) {
                const int needed = picker->fontMetrics().horizontalAdvance(picker->itemText(k));
                QVERIFY2(needed <= room, qPrintable(picker->itemText(k) + QStringLiteral(": %1 pixels "
                                                    "for %2").arg(needed).arg(room)));
            }
        }
        // Each picker stays inside its frame.
        for (const QGroupBox* frame : f.window->surface()->findChildren<QGroupBox*>())
            QVERIFY(frame->geometry().contains(f.picker(frame->title() == "Layer 1:" ? 1 : 2)->geometry()));
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
