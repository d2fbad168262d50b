// Every saved table kept, through the real window: the versions File >
// Table History... lists after Saves, Restore and Revert to Saved as one
// undo step each, a full state folder reported once while the ROM is still
// saved, and a damaged history refused and never applied.
#include <sys/mount.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <functional>

#include "WindowFixture.h"
#include "app/EditHistory.h"
#include "app/Messages.h"
#include "app/TableHistoryDlg.h"
#include "romdata/TableHistory.h"

using namespace om;
using omtest::WindowFixture;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Where the test image's table starts (with its 512-byte copier header).
constexpr long kTable = 0xBDA9E;

// The state folder of one test, set for the window before it opens a ROM.
struct StateFolder {
    QTemporaryDir dir;
    StateFolder() { qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path())); }
};

// The test image with entry g replaced in bytes.
void PutEntry(Bytes& bytes, int g, std::array<int, 4> e) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes.at(std::size_t(kTable + 4 * g) + i) = std::uint8_t(e[i]);
}

// Types layer 1's low byte of group g and saves.
void EditAndSave(WindowFixture& f, std::initializer_list<std::pair<int, int>> groupValues) {
    for (const auto& [g, v] : groupValues) {
        f.chooseGroup(g);
        f.type(IDC_LAYER1_LO, QString::number(v));
    }
    f.click(IDC_SAVE);
}

QStringList Row(const QAbstractItemView* list, int row) {
    QStringList cells;
    for (int c = 0; c < list->model()->columnCount(); ++c)
        cells << list->model()->index(row, c).data().toString();
    return cells;
}

int Rows(const QAbstractItemView* list) { return list->model()->rowCount(); }

TableHistoryDlg* OpenTableHistory(WindowFixture& f) {
    f.trigger(ID_FILE_TABLEHISTORY);
    return f.window->tableHistoryWindow();
}

}  // namespace

class TestTableHistory : public QObject {
    Q_OBJECT
private slots:
    void threeSavesRestoreTheFirst();
    void revertToSaved();
    void fullStateFolder_data();
    void fullStateFolder();
    void damagedHistoryRefused_data();
    void damagedHistoryRefused();
};

void TestTableHistory::threeSavesRestoreTheFirst() {
    StateFolder state;
    WindowFixture f;
    const Bytes original = omtest::MakeTestImage().bytes();
    QVERIFY(f.load());
    EditAndSave(f, {{3, 200}});
    EditAndSave(f, {{20, 201}, {10, 202}});
    EditAndSave(f, {{7, 203}});
    Bytes saved = original;
    PutEntry(saved, 3, {200, 0, 252, 1});
    PutEntry(saved, 20, {201, 0, 235, 1});
    PutEntry(saved, 10, {202, 0, 245, 1});
    PutEntry(saved, 7, {203, 0, 248, 1});
    QCOMPARE(f.rom.bytes(), saved);

    TableHistoryDlg* dlg = OpenTableHistory(f);
    QVERIFY(dlg && dlg->isVisible());
    QTreeView* list = dlg->versionList();
    QCOMPARE(Rows(list), 4);
    // Newest first: version, time, writer, groups changed, their numbers.
    const QStringList expected[] = {{"4", "editor", "1", "7"},
                                    {"3", "editor", "2", "10 20"},
                                    {"2", "editor", "1", "3"},
                                    {"1", "opened", "0", ""}};
    for (int r = 0; r < 4; ++r) {
        QStringList cells = Row(list, r);
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                     .match(cells.takeAt(1))
                     .hasMatch(),
                 qPrintable(Row(list, r).join('|')));
        QCOMPARE(cells, expected[r]);
    }

    // The first one's differences from the editor's table, by group.
    list->setCurrentIndex(list->model()->index(3, 0));
    QCOMPARE(dlg->selectedVersion(), 1);
    const QTreeWidget* diff = dlg->differenceList();
    QCOMPARE(Rows(diff), 4);
    const QStringList diffRows[] = {{"3", "200", "3", "508", "508"},
                                    {"7", "203", "7", "504", "504"},
                                    {"10", "202", "10", "501", "501"},
                                    {"20", "201", "20", "491", "491"}};
    for (int r = 0; r < 4; ++r)
        QCOMPARE(Row(diff, r), diffRows[r]);

    // Restore: unsaved edits, one undo step named by the version's time.
    const QString clock = Row(list, 3)[1].mid(11, 5);
    QTest::mouseClick(om::Control<QPushButton>(dlg, IDC_TABLEHISTORY_RESTORE), Qt::LeftButton);
    QTRY_VERIFY(!f.window->tableHistoryWindow());
    QCOMPARE(f.rom.bytes(), saved);  // nothing written yet
    QVERIFY(f.window->history().IsUnsaved());
    QCOMPARE(f.window->command(ID_EDIT_UNDO)->text(), "&Undo Restore Table of " + clock);
    QCOMPARE(f.window->EditedImage(), original);
    f.trigger(ID_EDIT_UNDO);
    QCOMPARE(f.window->EditedImage(), saved);
    QVERIFY(!f.window->history().IsUnsaved());
    f.trigger(ID_EDIT_REDO);
    f.click(IDC_SAVE);
    QCOMPARE(f.rom.bytes(), original);

    // That Save is version 5, the four groups changed back.
    dlg = OpenTableHistory(f);
    QCOMPARE(Rows(dlg->versionList()), 5);
    QStringList newest = Row(dlg->versionList(), 0);
    newest.removeAt(1);
    QCOMPARE(newest, (QStringList{"5", "editor", "4", "3 7 10 20"}));
    QCOMPARE(Rows(dlg->differenceList()), 0);
    dlg->reject();
}

void TestTableHistory::revertToSaved() {
    StateFolder state;
    WindowFixture f;
    QVERIFY(f.load());
    EditAndSave(f, {{5, 99}});
    const Bytes saved = f.rom.bytes();
    f.chooseGroup(6);
    f.type(IDC_LAYER2_LO, "1");
    f.chooseGroup(400);
    f.type(IDC_LAYER1_HI, "0");
    QVERIFY(f.window->EditedImage() != saved);
    f.trigger(ID_FILE_REVERTTOSAVED);
    QCOMPARE(f.window->EditedImage(), saved);
    QVERIFY(!f.window->history().IsUnsaved());
    QCOMPARE(f.window->command(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Revert to Saved"));
    QCOMPARE(f.rom.bytes(), saved);
    // It can itself be undone: the two edits are back.
    f.trigger(ID_EDIT_UNDO);
    QVERIFY(f.window->history().IsUnsaved());
    QCOMPARE(f.window->history().ChangedGroups(), (std::vector<int>{6, 400}));
}

void TestTableHistory::fullStateFolder_data() {
    QTest::addColumn<int>("pagesLeft");
    // None: not even the table read is kept. One page (4 KiB): the table
    // read is, the first Save's record no longer fits.
    QTest::newRow("full from the start") << 0;
    QTest::newRow("full at the first Save") << 1;
}

void TestTableHistory::fullStateFolder() {
    QFETCH(int, pagesLeft);
    QTemporaryDir disk;
    const QByteArray at = QFile::encodeName(disk.path());
    if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=256k") != 0)
        QSKIP(qPrintable(QStringLiteral("a tmpfs cannot be mounted here (%1); needs root")
                             .arg(QString::fromLocal8Bit(std::strerror(errno)))));
    const std::unique_ptr<const char, std::function<void(const char*)>> mounted(
        at.constData(), [](const char* p) { ::umount2(p, MNT_DETACH); });
    qputenv("XDG_STATE_HOME", at);
    QVERIFY(QDir().mkpath(disk.path() + "/OMBattleAnim/history"));
    {
        QFile filler(disk.path() + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        QVERIFY(filler.resize(filler.size() - 4096 * pagesLeft));
    }

    WindowFixture f;
    QVERIFY(f.load());
    EditAndSave(f, {{3, 200}});
    EditAndSave(f, {{4, 201}});
    // Both Saves reached the ROM.
    Bytes saved = omtest::MakeTestImage().bytes();
    PutEntry(saved, 3, {200, 0, 252, 1});
    PutEntry(saved, 4, {201, 0, 251, 1});
    QCOMPARE(f.rom.bytes(), saved);
    QVERIFY(!f.window->history().IsUnsaved());
    // Said once, with the reason under it.
    QCOMPARE(int(f.desktop.shown.size()), 1);
    QCOMPARE(f.desktop.shown[0].text, QString::fromLatin1(kTableHistoryFailedText));
    QVERIFY2(f.desktop.shown[0].informative.contains("No space left on device"),
             qPrintable(f.desktop.shown[0].informative));
    // What was kept is whole and readable: a record that did not fit is
    // not left cut short.
    std::vector<TableVersion> versions;
    std::string error;
    QVERIFY2(f.window->tableHistory()->read(versions, error), error.c_str());
    QCOMPARE(int(versions.size()), pagesLeft);
    f.window->OnFileCloseRom();
}

void TestTableHistory::damagedHistoryRefused_data() {
    QTest::addColumn<int>("damage");
    QTest::addColumn<QString>("says");
    // The first of the two records: an append checks only the last one.
    QTest::newRow("a byte of an earlier record's table") << 0 << "record 1 fails its check";
    QTest::newRow("cut short") << 1 << "its last record is cut short";
    QTest::newRow("another ROM's history") << 2 << "is the table history of ";
    QTest::newRow("a byte of the header") << 3 << "its header fails its check";
}

void TestTableHistory::damagedHistoryRefused() {
    QFETCH(int, damage);
    QFETCH(QString, says);
    StateFolder state;
    WindowFixture f;
    QVERIFY(f.load());
    EditAndSave(f, {{3, 200}});
    const std::string file = f.window->tableHistory()->file();
    f.window->OnFileCloseRom();
    Bytes bytes = omtest::ReadFileBytes(file);
    QVERIFY(bytes.size() > 4000);
    if (damage == 0)
        bytes[bytes.size() - 3900 - 100] ^= 1;
    else if (damage == 1)
        bytes.resize(bytes.size() - 1);
    else if (damage == 3)
        bytes[9] ^= 1;
    if (damage == 2) {
        // The history of another ROM under this one's name.
        omtest::TempRom other(omtest::MakeTestImage(), "other.smc");
        const TableHistory theirs(TableHistoryFolder(), ResolvedPath(other.path()));
        std::string error;
        TableBytes t{};
        QVERIFY(theirs.append(TableWriter::Set, 1, t, t, error));
        QVERIFY(QFile::remove(QString::fromStdString(file)));
        QVERIFY(QFile::copy(QString::fromStdString(theirs.file()), QString::fromStdString(file)));
        bytes = omtest::ReadFileBytes(file);
    }
    QFile out(QString::fromStdString(file));
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())),
             qint64(bytes.size()));
    out.close();

    QVERIFY(f.load());
    f.desktop.shown.clear();
    const Bytes before = f.window->EditedImage();
    QVERIFY(!OpenTableHistory(f));
    QCOMPARE(int(f.desktop.shown.size()), 1);
    QCOMPARE(f.desktop.shown[0].text, QString::fromLatin1(kTableHistoryUnreadableText));
    QVERIFY2(f.desktop.shown[0].informative.contains(says) &&
                 f.desktop.shown[0].informative.contains(QString::fromStdString(file)),
             qPrintable(f.desktop.shown[0].informative));
    // Nothing of it reached the editor, and it is left as it was.
    QCOMPARE(f.window->EditedImage(), before);
    QVERIFY(!f.window->history().IsUnsaved());
    QCOMPARE(omtest::ReadFileBytes(file), bytes);
    // A Save still writes the ROM, and adds nothing to the damaged file.
    EditAndSave(f, {{4, 9}});
    QCOMPARE(int(f.rom.bytes()[std::size_t(kTable + 16)]), 9);
    QCOMPARE(omtest::ReadFileBytes(file), bytes);
}

QTEST_MAIN(TestTableHistory)
#include "test_tablehistory.moc"
