// The editor as a desktop program: its command line, a ROM named on it,
// files dropped on the window, menu mnemonics and shortcuts, and the
// readme's messages.
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "MessageTexts.h"
#include "WindowFixture.h"
#include "app/CommandLine.h"

using namespace om;
using omtest::WindowFixture;

namespace {

QString Editor() { return qEnvironmentVariable("OM_EDITOR"); }

// Group 20's entry in the test image: (20, 0, 235, 1).
constexpr int kGroup = 20;

std::unique_ptr<QMimeData> UrlData(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(p.contains(QLatin1String("://")) ? QUrl(p) : QUrl::fromLocalFile(p));
    data->setUrls(urls);
    return data;
}

// Sends a drag entering the window, then (when asked) the drop; returns
// whether the window accepted the drag.
bool DragOnto(QWidget* window, const QMimeData* data, bool drop) {
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (drop) {
        QDropEvent dropped(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &dropped);
    }
    return enter.isAccepted();
}

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("outStart");
        QTest::addColumn<QString>("errStart");
        QTest::addColumn<QString>("romPath");
        const QString usage = QStringLiteral("Usage: OMBattleAnim [options] [ROM]\n");
        const QString version = QStringLiteral("OMBattleAnim 1.0\n");
        const QString cwd = QDir::currentPath();
        QTest::newRow("nothing") << QStringList{} << -1 << "" << "" << "";
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << "" << "";
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage << "" << "";
        QTest::newRow("--help wins over a ROM")
            << QStringList{"game.smc", "--help"} << 0 << usage << "" << "";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << version << "" << "";
        QTest::newRow("-v") << QStringList{"-v"} << 0 << version << "" << "";
        QTest::newRow("unknown long") << QStringList{"--bogus", "x.smc"} << 2 << ""
                                      << "OMBattleAnim: Unknown option 'bogus'.\n" + usage << "";
        QTest::newRow("unknown short") << QStringList{"-x"} << 2 << ""
                                       << "OMBattleAnim: Unknown option 'x'.\n" + usage << "";
        QTest::newRow("Qt's own options are not taken")
            << QStringList{"-platform", "offscreen"} << 2 << ""
            << "OMBattleAnim: Unknown option" << "";
        QTest::newRow("control characters in an option, escaped")
            << QStringList{"--\x1b]0;owned\x07"} << 2 << ""
            << "OMBattleAnim: Unknown option '\\x1B]0;owned\\x07'.\n" + usage << "";
        QTest::newRow("two ROMs") << QStringList{"a.smc", "b.smc"} << 2 << ""
                                  << "OMBattleAnim: only one ROM can be opened at a time.\n" + usage
                                  << "";
        QTest::newRow("empty name") << QStringList{""} << 2 << ""
                                    << "OMBattleAnim: the ROM's name is empty.\n" + usage << "";
        QTest::newRow("absolute ROM") << QStringList{"/data/roms/game.smc"} << -1 << "" << ""
                                      << "/data/roms/game.smc";
        QTest::newRow("relative ROM") << QStringList{"roms/../game.sfc"} << -1 << "" << ""
                                      << cwd + "/game.sfc";
        QTest::newRow("ROM after --") << QStringList{"--", "-odd.smc"} << -1 << "" << ""
                                      << cwd + "/-odd.smc";
    }

    // The parser's answer, then (for a command line that ends the program)
    // the real program's: the same streams and status.
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, outStart);
        QFETCH(QString, errStart);
        QFETCH(QString, romPath);
        const CommandLine c = ParseCommandLine(QStringList{"/usr/bin/OMBattleAnim"} + arguments);
        QCOMPARE(c.exitStatus, status);
        QVERIFY2(outStart.isEmpty() ? c.out.isEmpty() : c.out.startsWith(outStart), qPrintable(c.out));
        QVERIFY2(errStart.isEmpty() ? c.err.isEmpty() : c.err.startsWith(errStart), qPrintable(c.err));
        QCOMPARE(c.romPath, romPath);
        // The usage names the two options wherever it is printed.
        for (const QString& text : {c.out, c.err})
            if (text.contains(QLatin1String("Usage:"))) {
                QVERIFY(text.contains(QLatin1String("-h, --help")));
                QVERIFY(text.contains(QLatin1String("-v, --version")));
            }
        if (status < 0 || Editor().isEmpty())
            return;
        // No display at all, and a platform that needs one: a program that made
        // its application object before reading the command line would abort.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(Editor(), arguments);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()), c.out);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()), c.err);
    }

    // A ROM named on the command line opens after the pickers are built,
    // with the same question or message as File > Open ROM.
    void romOnCommandLine_data() {
        QTest::addColumn<bool>("exists");
        QTest::newRow("foreign title, answered Yes") << true;
        QTest::newRow("missing") << false;
    }
    void romOnCommandLine() {
        QFETCH(bool, exists);
        om::RomImage foreign = omtest::MakeTestImage();
        foreign.putTitle("ORBIT MARS ");
        foreign.putEntry(0, 7, 1, 9, 0);
        omtest::TempRom rom(foreign, "named.smc");
        const auto before = rom.bytes();
        BattleAnimData data;
        omtest::ScriptedDesktop desktop;
        CBattleAnimDlg window(data, desktop);
        window.OpenRomAfterStartup(exists ? rom.qpath() : rom.dir() + "/missing.smc");
        int buildsWhenAsked = -1;
        desktop.whileShowing = [&] { buildsWhenAsked = window.pickerBuilds(); };
        desktop.answers = {Desktop::Answer::Yes};
        window.show();
        QVERIFY(!window.isRomOpen());  // nothing happens before the first tick
        QTRY_VERIFY_WITH_TIMEOUT(window.pickersBuilt(), 30000);
        QCOMPARE(desktop.shown.size(), std::size_t(1));
        QCOMPARE(desktop.shown[0].text, exists ? omtest::kForeignTitle : omtest::kOpenFailed);
        QCOMPARE(desktop.shown[0].buttons, exists ? Desktop::Buttons::YesNo : Desktop::Buttons::Ok);
        QCOMPARE(desktop.shown[0].icon, exists ? Desktop::Icon::Question : Desktop::Icon::Warning);
        QCOMPARE(desktop.shown[0].informative,
                 exists ? QString() : QStringLiteral("No such file or directory"));
        QCOMPARE(buildsWhenAsked, 1);
        QCOMPARE(desktop.fileDialogs, 0);
        QCOMPARE(window.isRomOpen(), exists);
        QVERIFY(window.isVisible());  // the editor goes on without a ROM
        if (exists)
            QCOMPARE(Control<QLineEdit>(&window, IDC_LAYER2_LO)->text(), QStringLiteral("9"));
        QCOMPARE(rom.bytes(), before);  // opening writes nothing
        // Work starts in the group list, once there is a ROM.
        QCOMPARE(window.focusWidget(),
                 Control<QWidget>(&window, exists ? IDC_GROUP_LIST : IDC_ENTRY_OFFSET));
    }

    void openAskedBeforeTheBuildWaits_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("by path") << "path";
        QTest::newRow("File > Open ROM") << "dialog";
        QTest::newRow("File > Open Recent") << "recent";
        QTest::newRow("dropped") << "drop";
    }

    void openAskedBeforeTheBuildWaits() {
        QFETCH(QString, how);
        // The same ROM opened once everything is built puts it in Open Recent.
        WindowFixture normal;
        QVERIFY(normal.load());

        BattleAnimData data;
        omtest::ScriptedDesktop desktop;
        desktop.files = {normal.rom.qpath()};
        CBattleAnimDlg window(data, desktop);
        window.show();
        QVERIFY(!window.pickersBuilt());
        if (how == QLatin1String("path"))
            QVERIFY(!window.OpenRomPath(normal.rom.qpath()));
        else if (how == QLatin1String("dialog"))
            window.command(ID_FILE_OPENROM)->trigger();
        else if (how == QLatin1String("recent"))
            window.command(ID_FILE_MRU_FILE1)->trigger();
        else
            QVERIFY(DragOnto(&window, UrlData({normal.rom.qpath()}).get(), true));
        normal.window.reset();  // lets the waiting window take the lock
        QCOMPARE(desktop.fileDialogs, 0);
        QTRY_VERIFY_WITH_TIMEOUT(window.isRomOpen(), 30000);
        QCOMPARE(window.pickerBuilds(), 1);
        QCOMPARE(desktop.fileDialogs, how == QLatin1String("dialog") ? 1 : 0);
        QVERIFY(desktop.shown.empty());
        // Group 0 holds (0, 0, 255, 1): layer 1 shows Blank, layer 2 its custom
        // item, picture and all, as after an open made once the window is up.
        QList<int> got;  // per picker: items, the one selected
        for (int id : {IDC_LAYER1_PICKER, IDC_LAYER2_PICKER}) {
            const auto* picker = Control<ImagePicker>(&window, id);
            got << picker->count() << picker->currentIndex();
            QVERIFY(!picker->itemIcon(picker->currentIndex()).isNull());
        }
        QCOMPARE(got, (QList<int>{315, 0, 101, 100}));
        QCOMPARE(Control<QLineEdit>(&window, IDC_LAYER2_LO)->text(), QStringLiteral("255"));
    }

    // $ROM and $SECOND name two test images, $DIR their folder; no URL at
    // all is plain text.
    void dropRefused_data() {
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("two files") << QStringList{"$ROM", "$SECOND"};
        QTest::newRow("a folder") << QStringList{"$DIR"};
        QTest::newRow("plain text") << QStringList{};
        QTest::newRow("a web address") << QStringList{"https://example.org/game.smc"};
        QTest::newRow("a missing file") << QStringList{"$DIR/gone.smc"};
    }

    void dropRefused() {
        QFETCH(QStringList, urls);
        WindowFixture f;
        omtest::TempRom second(omtest::MakeTestImage(), "second.smc");
        urls.replaceInStrings("$ROM", f.rom.qpath()).replaceInStrings("$SECOND", second.qpath());
        urls.replaceInStrings("$DIR", f.rom.dir());
        auto data = urls.isEmpty() ? std::make_unique<QMimeData>() : UrlData(urls);
        if (urls.isEmpty())
            data->setText(f.rom.qpath());
        QVERIFY(!DragOnto(f.window.get(), data.get(), true));
        QTest::qWait(50);
        QVERIFY(!f.window->isRomOpen());
        QVERIFY(f.desktop.shown.empty());
    }

    void readmePlaces() {
        // This test runs from the build folder, so the source tree's copy is
        // searched after the current folder and before the installed one.
        const QStringList places = ReadmePlaces();
        QCOMPARE(places.size(), 3);
        QCOMPARE(places[0], QDir::currentPath() + "/README.TXT");
        QCOMPARE(QFileInfo(places[1]).canonicalFilePath(),
                 QFileInfo(qEnvironmentVariable("OM_SOURCE_DIR") + "/README.TXT").canonicalFilePath());
        QVERIFY2(places[2].endsWith(QLatin1String("/share/doc/ombattleanim/README.TXT")),
                 qPrintable(places[2]));
        QVERIFY(QDir::isAbsolutePath(places[2]));
        // Nothing relative to the program's own folder.
        for (const QString& p : places)
            QVERIFY(!p.contains(QLatin1String("..")));
    }

    void readmeProblemsNameTheFiles_data() {
        QTest::addColumn<bool>("secondExists");
        QTest::addColumn<QString>("text");  // DIR: the folder searched
        QTest::newRow("missing") << false
                                 << QString(omtest::kReadmeMissing)
                                        .replace("PLACES", "DIR/one/README.TXT\nDIR/two/README.TXT");
    }

    void readmeProblemsNameTheFiles() {
        QFETCH(bool, secondExists);
        QFETCH(QString, text);
        WindowFixture f;
        QTemporaryDir dir;
        const QString readme = dir.path() + "/two/README.TXT";
        if (secondExists) {
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("two")));
            QFile file(readme);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        f.window->setReadmePlaces({dir.path() + "/one/README.TXT", readme});
        f.desktop.documentsOpen = false;
        // F1 and Help > Readme answer alike.
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QTest::keyClick(f.window.get(), Qt::Key_F1);
        f.window->command(ID_HELP_README)->trigger();
        QCOMPARE(f.desktop.documents, (secondExists ? QStringList{readme, readme} : QStringList{}));
        QCOMPARE(f.desktop.shown.size(), std::size_t(2));
        for (const auto& s : f.desktop.shown) {
            QCOMPARE(s.text, text.replace(QLatin1String("DIR"), dir.path()));
            QCOMPARE(s.icon, Desktop::Icon::Warning);
            QCOMPARE(s.buttons, Desktop::Buttons::Ok);
            QCOMPARE(s.owner, f.window.get());
        }
    }

    // café.smc named in Latin-1 (63 61 66 E9 2E 73 6D 63, not UTF-8), named on
    // the command line or dropped, opens and saves under its own name.
    void nameNotUtf8OpensAndSaves_data() {
        QTest::addColumn<bool>("dropped");
        QTest::newRow("on the command line") << false;
        QTest::newRow("dropped") << true;
    }

    void nameNotUtf8OpensAndSaves() {
        QFETCH(bool, dropped);
        WindowFixture f;
        const QByteArray path = QFile::encodeName(f.rom.dir()) + "/caf\xE9.smc";
        const om::RomImage image = omtest::MakeTestImage();
        QVERIFY(image.writeFile(path.toStdString()));
        if (dropped) {
            const QString url = "file://" + QString::fromLatin1(path.toPercentEncoding("/"));
            const auto data = UrlData({url});
            QVERIFY(DragOnto(f.window.get(), data.get(), false));
            QVERIFY(!f.window->isRomOpen());  // entering alone opens nothing
            QVERIFY(DragOnto(f.window.get(), data.get(), true));
            // The ROM opens once the drop is over, not inside it.
            QVERIFY(!f.window->isRomOpen());
            QTRY_VERIFY(f.window->isRomOpen());
        } else {
            const char* argv[] = {"OMBattleAnim", path.constData()};
            const CommandLine c = ParseCommandLine(ArgumentsFromArgv(2, argv));
            QCOMPARE(c.exitStatus, -1);
            QVERIFY(f.window->OpenRomPath(c.romPath));
        }
        QVERIFY(f.desktop.shown.empty());
        f.chooseGroup(kGroup);
        f.type(IDC_LAYER1_LO, QStringLiteral("42"));
        f.click(IDC_SAVE);
        std::vector<std::uint8_t> expected = image.bytes();
        expected[776862 + 4 * kGroup] = 42;
        QVERIFY(omtest::ReadFileBytes(path.toStdString()) == expected);
        f.window->OnFileCloseRom();
        QCOMPARE(::unlink(path.constData()), 0);  // QTemporaryDir cannot name it
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
