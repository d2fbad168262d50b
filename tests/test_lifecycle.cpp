// Opening, checking, loading, saving and closing ROM files through the
// window's own commands, byte-exact on images the tests build.
#include <QtTest>

#include "WindowFixture.h"

using namespace om;
using omtest::WindowFixture;

// The battle background table of a headered image.
constexpr long kTableBegin = 776862;

class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void foreignTitleAsksFirst() {
        WindowFixture f;
        QVERIFY(f.load());
        f.chooseGroup(20);
        f.type(IDC_LAYER1_LO, "42");

        om::RomImage foreign = omtest::MakeTestImage();
        foreign.putTitle("ORBIT MARSh");
        foreign.putEntry(0, 1, 2, 3, 4);
        omtest::TempRom other(foreign, "other.smc");

        f.desktop.files = {other.qpath()};
        f.desktop.answers = {Desktop::Answer::No};
        f.window->OnFileOpenRom();
        // One question (its text and buttons: test_desktop).
        QCOMPARE(f.desktop.shown.size(), std::size_t(1));
        // No: the open ROM stays open and loaded, the typed value on screen.
        QVERIFY(f.window->isRomOpen());
        QCOMPARE(f.groupList()->currentIndex(), 20);
        QCOMPARE(f.text(IDC_LAYER1_LO), QStringLiteral("42"));
        f.window->OnFileSaveChanges();
        QCOMPARE(int(f.rom.bytes()[std::size_t(kTableBegin + 4 * 20)]), 42);

        f.desktop.files = {other.qpath()};
        f.desktop.answers = {Desktop::Answer::Yes};
        f.window->OnFileOpenRom();
        QCOMPARE(f.groupList()->currentIndex(), 0);
        QCOMPARE(f.fields(), (QStringList{"1", "2", "3", "4"}));
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
