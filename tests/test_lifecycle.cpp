// Opening, checking, loading, saving and closing ROM files through the
// window's own commands, byte-exact on images the tests build.
#include <QFile>
#include <QtTest>

#include "MessageTexts.h"
#include "WindowFixture.h"

using namespace om;
using omtest::DifferingOffsets;
using omtest::kForeignTitle;
using omtest::WindowFixture;

namespace {

// The battle background table of a headered image.
const long kTableBegin = 776862;

}  // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void openPickTypeSaveWritesWholeTableOnly() {
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
        f.type(IDC_LAYER2_LO, "44");
        f.type(IDC_LAYER2_HI, "");

        // (A table another program changed meanwhile gets nothing: test_writes.)
        f.click(IDC_SAVE);
        QVERIFY(f.desktop.shown.empty());

        // Group 3 was (3, 0, 252, 1): the picked background 255 and the typed
        // 44 (0x2C) and empty field (0) land, nothing else.
        const auto saved = f.rom.bytes();
        const long e3 = kTableBegin + 4 * 3;
        QCOMPARE(DifferingOffsets(original, saved), (std::vector<long>{e3, e3 + 2, e3 + 3}));
        QCOMPARE((std::vector<int>{saved[e3], saved[e3 + 1], saved[e3 + 2], saved[e3 + 3]}),
                 (std::vector<int>{255, 0, 0x2C, 0}));
        QCOMPARE(f.data.record(3).layer2Lo, 44);
        // Saving again, unchanged, rewrites the same bytes.
        f.window->command(ID_FILE_SAVECHANGES)->trigger();
        QCOMPARE(f.rom.bytes(), saved);
    }

    void foreignTitleAsksFirst() {
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

    void secondRomReleasesTheFirst() {
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
};

QTEST_MAIN(TestLifecycle)
#include "test_lifecycle.moc"
