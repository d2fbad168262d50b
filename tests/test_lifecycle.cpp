// Opening, checking, loading, saving and closing ROM files through the
// window's own commands, byte-exact on images the tests build.
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QtTest>
#include <unistd.h>

#include "FaultInjection.h"
#include "MessageTexts.h"
#include "WindowFixture.h"

using namespace om;
using omtest::DifferingOffsets;
using omtest::kForeignTitle;
using omtest::kOpenFailed;
using omtest::kSaveFailed;
using omtest::WindowFixture;

namespace {

// The battle background table of a headered image: 485 entries of 4 bytes.
const long kTableBegin = 776862;
const long kTableEnd = kTableBegin + 1940;

bool OnlyTableDiffers(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    for (long at : DifferingOffsets(a, b))
        if (at < kTableBegin || at >= kTableEnd)
            return false;
    return true;
}

// The table as the records would write it.
std::vector<std::uint8_t> ExpectedTable(const BattleAnimData& data) {
    std::vector<std::uint8_t> t;
    for (int g = 0; g < kGroupCount; ++g) {
        const GroupRecord& r = data.record(g);
        for (int v : {r.layer1Lo, r.layer1Hi, r.layer2Lo, r.layer2Hi})
            t.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    return t;
}

std::vector<std::uint8_t> TableOf(const std::vector<std::uint8_t>& file) {
    return {file.begin() + kTableBegin, file.begin() + kTableEnd};
}

void Scribble(const std::string& path, long offset, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb+");
    QVERIFY(f);
    std::fseek(f, offset, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void openPickTypeSaveWritesWholeTableOnly();
    void savingTwiceAndUnchanged();
    void foreignTitleAsksFirst();
    void openFailuresShowTheMessage();
    void secondRomReleasesTheFirst();
    void failedSaveIsReported();
    void readmeLooksInCurrentFolderFirst();
    void fileDialogShowsRomsInAnyCase();
};

void TestLifecycle::openPickTypeSaveWritesWholeTableOnly() {
    WindowFixture f;
    const auto original = f.rom.bytes();
    f.desktop.files = {f.rom.qpath()};
    f.window->command(ID_FILE_OPENROM)->trigger();
    QVERIFY(f.window->isRomOpen());
    QCOMPARE(f.desktop.fileDialogs, 1);
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(f.groupList()->count(), 485);
    QCOMPARE(f.groupList()->currentIndex(), 0);
    QCOMPARE(f.groupList()->itemText(484), QStringLiteral("null"));

    f.chooseGroup(3);
    f.choosePicker(1, 245);
    f.type(IDC_LAYER2_LO, "300");
    f.type(IDC_LAYER2_HI, "");

    // Someone else spoils the whole table on disk: Save must put every one
    // of the 1,940 bytes back, not just the changed ones.
    Scribble(f.rom.path(), kTableBegin, std::vector<std::uint8_t>(1940, 0xAA));
    f.click(IDC_SAVE);
    QVERIFY(f.desktop.shown.empty());

    const auto saved = f.rom.bytes();
    QCOMPARE(saved.size(), original.size());
    QVERIFY(OnlyTableDiffers(original, saved));
    QCOMPARE(TableOf(saved), ExpectedTable(f.data));
    const std::size_t e3 = std::size_t(kTableBegin + 4 * 3);
    QCOMPARE(int(saved[e3]), 255);
    QCOMPARE(int(saved[e3 + 1]), 0);
    QCOMPARE(int(saved[e3 + 2]), 0x2C);  // 300
    QCOMPARE(int(saved[e3 + 3]), 0);     // an empty field reads as 0
    QCOMPARE(f.data.record(3).layer2Lo, 300);
    QCOMPARE(DifferingOffsets(original, saved),
             (std::vector<long>{long(e3), long(e3 + 2), long(e3 + 3)}));  // the high byte was 0
}

void TestLifecycle::savingTwiceAndUnchanged() {
    WindowFixture f;
    const auto original = f.rom.bytes();
    QVERIFY(f.load());
    f.window->OnFileSaveChanges();
    QCOMPARE(f.rom.bytes(), original);  // unchanged values rewrite the same bytes

    f.chooseGroup(7);
    f.type(IDC_LAYER1_LO, "999");
    f.chooseGroup(8);
    f.window->command(ID_FILE_SAVECHANGES)->trigger();
    const auto once = f.rom.bytes();
    QCOMPARE(int(once[std::size_t(kTableBegin + 4 * 7)]), 0xE7);
    QCOMPARE(f.data.record(7).layer1Lo, 999);
    f.window->OnFileSaveChanges();
    QCOMPARE(f.rom.bytes(), once);
    QCOMPARE(DifferingOffsets(original, once), std::vector<long>{kTableBegin + 4 * 7});
}

void TestLifecycle::foreignTitleAsksFirst() {
    WindowFixture f;
    QVERIFY(f.load());
    f.chooseGroup(20);
    f.type(IDC_LAYER1_LO, "42");

    om::RomImage foreign = omtest::MakeTestImage();
    foreign.putTitle("ORBIT MARSh");
    foreign.putEntry(0, 1, 2, 3, 4);
    omtest::TempRom other(foreign, "other.smc");
    const auto otherBytes = other.bytes();

    f.desktop.files = {other.qpath()};
    f.desktop.answers = {Desktop::Answer::No};
    f.window->OnFileOpenRom();
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, kForeignTitle);
    QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::YesNo);
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Question);
    // No: the open ROM stays open and loaded, the typed value on screen.
    QVERIFY(f.window->isRomOpen());
    QCOMPARE(f.groupList()->currentIndex(), 20);
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("42"));
    f.window->OnFileSaveChanges();
    QCOMPARE(int(f.rom.bytes()[std::size_t(kTableBegin + 4 * 20)]), 42);
    QCOMPARE(other.bytes(), otherBytes);

    f.desktop.files = {other.qpath()};
    f.desktop.answers = {Desktop::Answer::Yes};
    f.window->OnFileOpenRom();
    QCOMPARE(f.groupList()->currentIndex(), 0);
    QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("1"));
    QCOMPARE(f.text(IDC_LAYER2_HI), QStringLiteral("4"));
}

void TestLifecycle::openFailuresShowTheMessage() {
    WindowFixture f;
    QVERIFY(f.load());
    const auto before = f.rom.bytes();
    // Each with the system's reason under the message.
    QList<std::pair<QString, QString>> bad = {
        {f.rom.dir(), "Is a directory"},
        {f.rom.dir() + "/missing.smc", "No such file or directory"},
        {f.rom.qpath() + "/inside.smc", "Not a directory"}};
    QTemporaryDir dir;
    if (geteuid() != 0) {
        const QString readOnly = dir.path() + "/readonly.smc";
        QVERIFY(omtest::MakeTestImage().writeFile(readOnly.toStdString()));
        QFile::setPermissions(readOnly, QFile::ReadOwner);
        bad.append({readOnly, "Permission denied"});
    }
    for (const auto& [path, reason] : bad) {
        f.desktop.shown.clear();
        f.desktop.files = {path};
        f.window->OnFileOpenRom();
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        QCOMPARE(f.desktop.shown[0].text, kOpenFailed);
        QCOMPARE(f.desktop.shown[0].informative, reason);
        QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::Ok);
        QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
        // The open ROM is still the one being edited.
        QVERIFY(f.window->isRomOpen());
        QVERIFY(f.groupList()->isEnabled());
    }

    // A file removed while the dialog is up.
    QTemporaryDir gone;
    const QString vanishing = gone.path() + "/vanishing.smc";
    QVERIFY(omtest::MakeTestImage().writeFile(vanishing.toStdString()));
    f.desktop.shown.clear();
    f.desktop.files = {vanishing};
    f.desktop.whileChoosing = [&] { QFile::remove(vanishing); };
    f.window->OnFileOpenRom();
    f.desktop.whileChoosing = nullptr;
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, kOpenFailed);

    // A cancelled dialog changes nothing either.
    f.desktop.shown.clear();
    const int dialogs = f.desktop.fileDialogs;
    f.window->command(ID_FILE_OPENROM)->trigger();
    QCOMPARE(f.desktop.fileDialogs, dialogs + 1);
    QVERIFY(f.desktop.shown.empty());
    QVERIFY(f.window->isRomOpen());
    QVERIFY(f.groupList()->isEnabled());

    f.type(IDC_LAYER1_LO, "5");
    f.window->OnFileSaveChanges();
    QCOMPARE(DifferingOffsets(before, f.rom.bytes()), std::vector<long>{kTableBegin});
}

void TestLifecycle::secondRomReleasesTheFirst() {
    WindowFixture f;
    om::RomImage image = omtest::MakeTestImage();
    for (int k = 0; k < kEnemyNameCount; ++k)
        image.putEnemyName(k, "Other " + std::to_string(k));
    image.putEntry(3, 9, 9, 9, 9);
    omtest::TempRom second(image, "second.smc");
    QVERIFY(f.load());
    f.type(IDC_LAYER1_LO, "33");
    f.window->OnFileSaveChanges();
    f.chooseGroup(3);
    f.type(IDC_LAYER1_LO, "44");  // never saved: lost without a question
    f.chooseGroup(4);
    f.desktop.files = {second.qpath()};
    f.window->OnFileOpenRom();
    QVERIFY(f.desktop.shown.empty());
    QCOMPARE(int(f.rom.bytes()[std::size_t(kTableBegin)]), 33);
    QCOMPARE(int(f.rom.bytes()[std::size_t(kTableBegin + 12)]), 3);
    // The second ROM's values and names replace the first's.
    QCOMPARE(f.data.record(3).layer1Lo, 9);
    QCOMPARE(std::string(f.data.enemyName(0)), std::string("Other 0"));
    QVERIFY(f.groupList()->itemText(3).contains(QStringLiteral("Other")));
    QCOMPARE(f.window->groupDisplayNames()[3], f.groupList()->itemText(3).toStdString());

    // The same file opened twice in a row is simply loaded again.
    f.desktop.files = {second.qpath()};
    f.window->OnFileOpenRom();
    QVERIFY(f.window->isRomOpen());
    f.type(IDC_LAYER2_HI, "9");
    f.window->OnFileSaveChanges();
    QCOMPARE(int(second.bytes()[std::size_t(kTableBegin + 3)]), 9);
}

void TestLifecycle::failedSaveIsReported() {
    WindowFixture f;
    f.desktop.files = {f.rom.qpath()};
    f.window->OnFileOpenRom();
    QVERIFY(f.window->isRomOpen());
    QVERIFY(f.desktop.shown.empty());
    {
        // The disk is full.
        omtest::FaultInjection faults;
        omtest::FaultInjection::writesFail = true;
        f.window->OnFileSaveChanges();
    }
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
    QCOMPARE(f.desktop.shown[0].text, kSaveFailed);
    QCOMPARE(f.desktop.shown[0].icon, Desktop::Icon::Warning);
    QCOMPARE(f.desktop.shown[0].buttons, Desktop::Buttons::Ok);
    // The editor goes on with the file open, and the next save succeeds.
    QVERIFY(f.window->isRomOpen());
    f.window->OnFileSaveChanges();
    QCOMPARE(f.desktop.shown.size(), std::size_t(1));
}

void TestLifecycle::readmeLooksInCurrentFolderFirst() {
    WindowFixture f;
    const QString oldCwd = QDir::currentPath();
    QTemporaryDir here;
    QVERIFY(QDir::setCurrent(here.path()));

    QFile readme(here.path() + "/README.TXT");
    QVERIFY(readme.open(QIODevice::WriteOnly));
    readme.close();
    f.window->command(ID_HELP_README)->trigger();
    QCOMPARE(f.desktop.documents.size(), 1);
    QCOMPARE(QFileInfo(f.desktop.documents[0]).canonicalFilePath(),
             QFileInfo(readme.fileName()).canonicalFilePath());

    // F1 does the same.
    f.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
    QTest::keyClick(f.window.get(), Qt::Key_F1);
    QCOMPARE(f.desktop.documents.size(), 2);
    QVERIFY(f.desktop.shown.empty());
    QDir::setCurrent(oldCwd);
}

void TestLifecycle::fileDialogShowsRomsInAnyCase() {
    QTemporaryDir dir;
    for (const char* name : {"game.smc", "SHOUT.SMC", "Mixed.Smc", "bare.sfc", "BARE.SFC",
                             "notes.txt", "game.smc.bak"}) {
        QFile f(dir.path() + "/" + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const std::unique_ptr<QFileDialog> dialog = MakeRomFileDialog(nullptr);
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    dialog->setDirectory(dir.path());
    dialog->show();
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(view);
    const auto shown = [&] {
        QStringList names;
        const QModelIndex root = view->rootIndex();
        for (int r = 0; r < view->model()->rowCount(root); ++r)
            names.append(view->model()->index(r, 0, root).data().toString());
        names.sort();
        return names;
    };
    QTRY_COMPARE(shown(),
                 (QStringList{"BARE.SFC", "Mixed.Smc", "SHOUT.SMC", "bare.sfc", "game.smc"}));
    // "All files" shows everything.
    dialog->selectNameFilter(QStringLiteral("All files (*)"));
    QTRY_COMPARE(shown().size(), 7);
}

QTEST_MAIN(TestLifecycle)
#include "test_lifecycle.moc"
