// ombattleanim-bench: start-up, picker build, load, save, list-order,
// undo and patch figures of the editor, run offscreen. Each figure is the median of
// repeated runs after warm-up runs, with the spread (min-max) beside it.
//
//   ombattleanim-bench [--quick]     --quick: one run each, for a check
//   ombattleanim-bench --rss [FOLDER] peak memory of a process that builds
//                                     the whole window and loads a ROM; with
//                                     FOLDER, with the user's own thumbnails
//                                     kept in FOLDER/OMBattleAnim/thumbnails
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QFile>
#include <QProcess>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DemoRom.h"
#include "ScriptedDesktop.h"
#include "app/BattleAnimDlg.h"
#include "app/TableHistoryDlg.h"
#include "romdata/TableWrite.h"
#include "app/DialogLayout.h"
#include "app/FindGroupDlg.h"
#include "app/BackgroundBrowser.h"
#include "catalogue/GroupFilter.h"
#include "app/EditHistory.h"
#include "app/EmulatorRun.h"
#include "app/HotExit.h"
#include "patch/Patch.h"
#include "pickers/BuildLayerPickers.h"
#include "pickers/ThumbnailStore.h"
#include "res/ResourceIds.h"
#include "res/Resources.h"

using namespace om;

namespace {

struct Figure {
    const char* name;
    double median, min, max;  // milliseconds
    int runs;
};

bool gQuick = false;

// Runs setup (untimed) then body (timed), warm-up times and then runs times.
Figure Measure(const char* name, int warmups, int runs, const std::function<void()>& setup,
               const std::function<void()>& body) {
    if (gQuick) {
        warmups = 0;
        runs = 1;
    }
    std::vector<double> ms;
    for (int i = 0; i < warmups + runs; ++i) {
        setup();
        QElapsedTimer t;
        t.start();
        body();
        const double elapsed = double(t.nsecsElapsed()) / 1e6;
        if (i >= warmups)
            ms.push_back(elapsed);
    }
    std::sort(ms.begin(), ms.end());
    return {name, ms[ms.size() / 2], ms.front(), ms.back(), runs};
}

void Print(const Figure& f) {
    std::printf("%-44s %9.3f ms   (%.3f - %.3f, %d runs)\n", f.name, f.median, f.min, f.max,
                f.runs);
}

std::vector<int> ThumbnailIds() {
    std::vector<int> ids;
    for (const LayerCatalog& c : {MakeLayer1Catalog(), MakeLayer2Catalog()})
        for (int k = 0; k < c.size(); ++k)
            ids.push_back(c.entry(k).thumbnail);
    return ids;
}

std::unique_ptr<CBattleAnimDlg> StartWindow(BattleAnimData& data, Desktop& desktop) {
    auto w = std::make_unique<CBattleAnimDlg>(data, desktop);
    w->show();
    while (!w->pickersBuilt())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return w;
}

// Makes a patch of the demo image with every table byte changed, then
// applies it: what publishing and then installing a whole-table edit costs.
// make-patch and apply-patch of a whole-table edit of the demo image, each
// measured on its own.
void MeasurePatch(std::vector<Figure>& figures, PatchFormat format) {
    const RomImage demo = MakeDemoRom();
    const ByteVector& source = demo.bytes();
    ByteVector target = source;
    const long at = demo.layout().entryOffset(0);
    for (long i = 0; i < kGroupCount * kEntrySize; ++i)
        target[static_cast<std::size_t>(at + i)] ^= 0xA5;
    const bool bps = format == PatchFormat::Bps;
    ByteVector patch, applied;
    std::string error;
    figures.push_back(Measure(bps ? "make a BPS patch, whole table" : "make an IPS patch, whole table",
                              3, 30, [] {}, [&] {
                                  if (!MakePatch(format, source, target, patch, error))
                                      std::abort();
                              }));
    figures.push_back(Measure(bps ? "apply a BPS patch, whole table" : "apply an IPS patch, whole table",
                              3, 30, [&] { applied.clear(); }, [&] {
                                  if (!ApplyPatch(source, patch, applied, error))
                                      std::abort();
                              }));
    if (applied != target)
        std::abort();
}

// The Find Group window over the loaded demo image, fed as the editor feeds
// it: made, filled with 485 rows, shown and painted; then one keystroke
// that filters all 485 rows ("a" after an empty filter: most rows stay, so
// the most rows to map and sort), with the count line and the repaint.
void MeasureFindGroup(std::vector<Figure>& figures, CBattleAnimDlg& window) {
    const GroupSource source{[&] { return window.isRomOpen(); }, [&](int g) {
                                 return MakeGroupFacts(
                                     g, window.groupDisplayNames()[static_cast<std::size_t>(g)],
                                     window.editor().valuesOf(g));
                             }};
    std::unique_ptr<FindGroupDlg> find;
    figures.push_back(Measure(
        "open the Find Group window (485 rows)", 3, 30, [&] { find.reset(); },
        [&] {
            find = std::make_unique<FindGroupDlg>(source, &window);
            find->present();
            QCoreApplication::processEvents();
            find->table()->viewport()->repaint();
        }));
    if (find->rowCount() != kGroupCount)
        std::abort();
    figures.push_back(Measure(
        "one filter keystroke over 485 rows", 5, 100, [&] { find->filterField()->clear(); },
        [&] {
            QTest::keyClick(find->filterField(), Qt::Key_A);
            find->table()->viewport()->repaint();
        }));
    if (find->rowCount() == 0 || find->rowCount() == kGroupCount)
        std::abort();
}

// The background browser on layer 1: made, shown, every one of its 315 cells
// laid out and drawn (the grid scrolled through, each cell painted by the
// view's own delegate into one picture); then a filter keystroke.
void MeasureBrowser(std::vector<Figure>& figures, CBattleAnimDlg& window) {
    BackgroundBrowser* browser = nullptr;
    const std::array<const ImageList*, 2> pictures{
        Control<ImagePicker>(&window, IDC_LAYER1_PICKER)->imageList(),
        Control<ImagePicker>(&window, IDC_LAYER2_PICKER)->imageList()};
    QImage canvas(800, 600, QImage::Format_RGB32);
    int painted = 0;
    figures.push_back(Measure(
        "open the background browser (315 cells drawn)", 3, 20,
        [&] {
            delete browser;
            browser = nullptr;
        },
        [&] {
            browser = new BackgroundBrowser(
                {[&] { return window.isRomOpen(); },
                 [&](int layer) {
                     std::vector<int> usage;
                     for (int g = 0; g < kGroupCount; ++g) {
                         const auto v = window.editor().valuesOf(g);
                         usage.push_back(layer == 1 ? BackgroundNumber(v[0], v[1])
                                                    : BackgroundNumber(v[2], v[3]));
                     }
                     return usage;
                 },
                 [](int) { return 0; },
                 // Looked up once, as the window hands its own lists over.
                 [pictures](int layer) { return pictures[layer == 1 ? 0 : 1]; },
                 [](int layer) { return layer == 1 ? Layer1BackgroundNumbers() : Layer2BackgroundNumbers(); },
                 {}},
                &window);
            browser->present(1);
            QCoreApplication::processEvents();
            QListView* view = browser->view();
            view->doItemsLayout();
            QPainter painter(&canvas);
            QStyleOptionViewItem option;
            option.initFrom(view);
            option.widget = view;
            painted = 0;
            for (int r = 0; r < view->model()->rowCount(); ++r) {
                const QModelIndex i = view->model()->index(r, 0);
                option.rect = view->visualRect(i).translated(0, -view->visualRect(i).top());
                view->itemDelegate()->paint(&painter, option, i);
                ++painted;
            }
            view->viewport()->repaint();
        }));
    if (painted != kCustomSlotLayer1)
        std::abort();
    figures.push_back(Measure(
        "one browser filter keystroke", 5, 100, [&] { browser->filterField()->setText(QStringLiteral("used")); },
        [&] {
            QTest::keyClick(browser->filterField(), Qt::Key_Backspace);
            browser->view()->viewport()->repaint();
        }));
    delete browser;
}

// `ombattleanim-cli import` of a CSV listing all 485 groups from the last
// to the first, every entry changed, run as a process; and the process
// doing nothing (`info`) for what starting it costs.
void MeasureImport(std::vector<Figure>& figures, const QString& dir) {
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/ombattleanim-cli");
    const QString rom = dir + QStringLiteral("/import.smc");
    MakeDemoRom().writeFile(rom.toStdString());
    QString csv[2];
    for (int k = 0; k < 2; ++k) {
        QByteArray text = "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description\n";
        for (int g = kGroupCount - 1; g >= 0; --g)
            text += QByteArray::number(g) + "," +
                    QByteArray::number(qlonglong(kSmcLayout.entryOffset(g)), 16) + "," +
                    QByteArray::number((g + k) % 256) + ",1,2," + QByteArray::number(k) + ",\n";
        csv[k] = dir + QStringLiteral("/import%1.csv").arg(k);
        QFile f(csv[k]);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
            std::abort();
    }
    const auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(cli, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            std::abort();
    };
    int k = 0;
    figures.push_back(Measure("import, 485 reversed rows (process)", 3, 30, [] {},
                              [&] { run({QStringLiteral("import"), rom, csv[k ^= 1]}); }));
    figures.push_back(Measure("info (process start, for comparison)", 3, 30, [] {},
                              [&] { run({QStringLiteral("info"), rom}); }));
}

// One picked thumbnail undone, and redone, each time from another group:
// the group concerned is selected, its values shown and put into its record.
void MeasureUndoRedo(std::vector<Figure>& figures, CBattleAnimDlg& window) {
    const auto choose = [](QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    };
    QUndoStack* steps = window.history().stack();
    auto* list = Control<QComboBox>(&window, IDC_GROUP_LIST);
    auto* picker = Control<QComboBox>(&window, IDC_LAYER1_PICKER);
    choose(list, 300);
    choose(picker, picker->currentIndex() == 245 ? 3 : 245);
    if (steps->count() != 1)
        std::abort();
    figures.push_back(Measure("undo one step", 20, 500, [&] {
        choose(list, 0);
        if (!steps->canUndo())
            steps->redo();
    }, [&] { steps->undo(); }));
    figures.push_back(Measure("redo one step", 20, 500, [&] {
        choose(list, 0);
        if (!steps->canRedo())
            steps->undo();
    }, [&] { steps->redo(); }));
}

// Find Group's change of 12 selected groups' layer 1 (the number asked for
// answered by the script), then its undo: one step each way.
void MeasureBatchChange(std::vector<Figure>& figures, CBattleAnimDlg& window,
                        omtest::ScriptedDesktop& desktop) {
    QUndoStack* steps = window.history().stack();
    const QList<int> groups = {3, 17, 40, 41, 99, 150, 206, 210, 300, 333, 420, 484};
    int background = 0;
    figures.push_back(Measure("12-group change and its undo", 20, 500, [&] {
        desktop.texts.push_back(QString::number(background = background == 5 ? 6 : 5));
    }, [&] {
        const int before = steps->index();
        window.OnFindSetLayer(1, groups);
        if (steps->index() != before + 1)
            std::abort();
        steps->undo();
    }));
}

// 100 pictures of the user's own, screenshot-sized and as busy as one, for
// backgrounds of both layers (80 of layer 1, 20 of layer 2), kept under
// dataHome as the editor keeps them.
void WriteOwnPictures(const QString& dataHome) {
    ThumbnailStore store(dataHome + QStringLiteral("/OMBattleAnim/thumbnails"));
    const std::vector<int> numbers1 = Layer1BackgroundNumbers(), numbers2 = Layer2BackgroundNumbers();
    for (int i = 0; i < 100; ++i) {
        QImage picture(256, 224, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb((x * 7 + i * 13) & 255, (y * 5 + x * y) & 255, (i * 31 + y) & 255));
        QString error;
        const bool kept = i < 80 ? store.save(1, numbers1[static_cast<std::size_t>(i * 3)], picture, error)
                                 : store.save(2, numbers2[static_cast<std::size_t>(i - 79)], picture, error);
        if (!kept)
            std::abort();
    }
}

// The peak of this program's own memory: VmHWM, the high-water mark of
// the memory map the program was started with. getrusage's ru_maxrss would
// not do: Linux carries it over from the process that forked this one, so a
// child of the benchmark reported the benchmark's own peak.
// Tools > Run in Emulator (F5) with an edit not saved: the copy written
// whole and the stand-in emulator started (exec done), the one before
// closed untimed.
void MeasureRunInEmulator(std::vector<Figure>& figures, CBattleAnimDlg& window,
                          const QString& folder) {
    StoreEmulatorCommand(QStringLiteral("\"%1\" \"%2/emulator-record\" stay %f")
                             .arg(QStringLiteral(OM_FAKE_EMULATOR), folder));
    EmulatorRun& run = window.emulator();
    figures.push_back(Measure("F5: copy written, emulator started", 3, 30, [&] { run.Stop(); },
                              [&] {
                                  window.OnToolsRunInEmulator();
                                  if (!run.process() || !run.process()->waitForStarted())
                                      std::abort();
                              }));
    run.Stop();
}

long PeakRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    return -1;
}

int RssMode(const QString& rom) {
    BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    auto w = StartWindow(data, desktop);
    w->LoadRom(rom);
    std::printf("%ld\n", PeakRssKiB());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    gQuick = args.contains(QStringLiteral("--quick"));

    QTemporaryDir dir;
    // Recoveries of unsaved edits go to the temporary folder too.
    qputenv("XDG_STATE_HOME", dir.path().toLocal8Bit());
    // And so do the copies Run in Emulator writes.
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
    const QString rom = dir.path() + QStringLiteral("/demo.smc");
    MakeDemoRom().writeFile(rom.toStdString());
    // The user's own thumbnails: none, unless a figure asks for them.
    qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    if (const qsizetype rss = args.indexOf(QStringLiteral("--rss")); rss >= 0) {
        if (rss + 1 < args.size())
            qputenv("XDG_DATA_HOME", args[rss + 1].toLocal8Bit());
        return RssMode(rom);
    }
    const QString ownHome = dir.path() + QStringLiteral("/own");
    WriteOwnPictures(ownHome);

    std::vector<Figure> figures;
    const std::vector<int> ids = ThumbnailIds();

    const Figure floor = Measure("decode 417 thumbnails (floor)", 3, 15, [] {}, [&] {
        for (int id : ids) {
            const QImage image = LoadBitmapResource(id);
            if (image.isNull())
                std::abort();
        }
    });
    figures.push_back(floor);

    // The picker build as the editor runs it, into fresh pickers each time.
    std::unique_ptr<QWidget> host;
    ImagePicker *p1 = nullptr, *p2 = nullptr;
    std::unique_ptr<ImageList> l1, l2;
    const LayerCatalog c1 = MakeLayer1Catalog(), c2 = MakeLayer2Catalog();
    struct Counter : ProgressSink {
        int steps = 0;
        void step() override { ++steps; }
    } counter;
    const Figure build = Measure(
        "BuildLayerPickers (832 steps)", 3, 15,
        [&] {
            host = std::make_unique<QWidget>();
            p1 = new ImagePicker(host.get());
            p2 = new ImagePicker(host.get());
            l1 = std::make_unique<ImageList>(QSize(kThumbnailWidth, kThumbnailHeight), 256);
            l2 = std::make_unique<ImageList>(QSize(kThumbnailWidth, kThumbnailHeight), 256);
            counter.steps = 0;
        },
        [&] { BuildLayerPickers({p1, l1.get(), &c1}, {p2, l2.get(), &c2}, &counter); });
    if (counter.steps != kPickerBuildSteps)
        std::abort();
    figures.push_back(build);
    host.reset();

    BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    std::unique_ptr<CBattleAnimDlg> window;
    qputenv("XDG_DATA_HOME", ownHome.toLocal8Bit());
    const Figure ownStartup = Measure("start-up, 100 thumbnails of the user's", 2, 10,
                                      [&] { window.reset(); },
                                      [&] { window = StartWindow(data, desktop); });
    qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
    const Figure startup = Measure(
        "start-up to a usable window", 2, 10, [&] { window.reset(); },
        [&] { window = StartWindow(data, desktop); });
    figures.push_back(startup);
    figures.push_back(ownStartup);

    figures.push_back(Measure("LoadRom of the demo image", 5, 50, [] {},
                              [&] { window->LoadRom(rom); }));
    {
        // Save checks the file first, then one write and one sync: counted.
        static int writes = 0, syncs = 0;
        RomStream::SystemCalls& calls = RomStream::systemCalls();
        const RomStream::SystemCalls saved = calls;
        calls.pwrite = [](int fd, const void* b, std::size_t n, off_t at) {
            ++writes;
            return ::pwrite(fd, b, n, at);
        };
        calls.fdatasync = [](int fd) { return ++syncs, ::fdatasync(fd); };
        figures.push_back(Measure("Save (check, one write, fdatasync)", 5, 100,
                                  [] { writes = syncs = 0; }, [&] { window->OnFileSaveChanges(); }));
        calls = saved;
        if (writes != 1 || syncs != 1 || !desktop.shown.empty())
            std::abort();
    }
    {
        // The same without waiting for the disk: what the sync costs.
        RomStream::SystemCalls& calls = RomStream::systemCalls();
        const RomStream::SystemCalls saved = calls;
        calls.fdatasync = [](int) { return 0; };
        figures.push_back(Measure("Save without the fdatasync", 5, 200, [] {},
                                  [&] { window->OnFileSaveChanges(); }));
        calls = saved;
    }
    figures.push_back(Measure("\"ABC\" order", 5, 50, [&] { window->OnOrderNumeric(); },
                              [&] { window->OnOrderAlpha(); }));
    int p = 0;
    figures.push_back(Measure("SelectGroup", 20, 500, [] {},
                              [&] { window->editor().SelectGroup(p = (p + 37) % 485, true); }));
    MeasureFindGroup(figures, *window);
    MeasureBrowser(figures, *window);
    MeasureUndoRedo(figures, *window);
    MeasureBatchChange(figures, *window, desktop);
    MeasureRunInEmulator(figures, *window, dir.path());
    // The recovery of a whole-table edit as the timer writes it: the edited
    // image, the patch, both files synced, the folder synced.
    for (int g = 0; g < kGroupCount; ++g)
        data.record(g).layer1Lo ^= 0xA5;
    figures.push_back(Measure("recovery write, whole table", 5, 50,
                              [&] { window->hotExit().Changed(); },
                              [&] { window->hotExit().Flush(); }));
    {
        // A Save that changes the table: the ROM's write and sync, then the
        // table history's record appended and synced.
        int run = 0;
        figures.push_back(Measure("Save with its history append", 5, 100,
                                  [&] { data.record(1).layer1Lo = ++run & 0xFF; },
                                  [&] { window->OnFileSaveChanges(); }));
        if (!desktop.shown.empty())
            std::abort();
        // Then File > Table History... over a history of 1,000 versions more.
        const TableHistory& history = *window->tableHistory();
        TableBytes before = TableOf(data), after = before;
        std::string error;
        for (int i = 0; i < 1000; ++i, before = after) {
            after[std::size_t(i * 7) % after.size()] ^= 0x5A;
            if (!history.append(TableWriter::Set, i, before, after, error))
                std::abort();
        }
        figures.push_back(Measure(
            "open Table History, 1,000+ versions", 3, 20,
            [&] { delete window->tableHistoryWindow(); },
            [&] {
                window->OnFileTableHistory();
                QCoreApplication::processEvents();
            }));
        delete window->tableHistoryWindow();
    }
    {
        // The same with the recoveries on a tmpfs, where a sync waits for no
        // disk: the write's own cost, the syncs' apart.
        QTemporaryDir shm(QStringLiteral("/dev/shm/ombattleanim-bench-XXXXXX"));
        const QByteArray state = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", shm.path().toLocal8Bit());
        window->hotExit().Opened(rom, window->openedImage(), window->romLayout());
        figures.push_back(Measure("recovery write without the syncs (tmpfs)", 5, 200,
                                  [&] { window->hotExit().Changed(); },
                                  [&] { window->hotExit().Flush(); }));
        if (!desktop.shown.empty() || !shm.isValid())
            std::abort();
        window->hotExit().Closed();
        qputenv("XDG_STATE_HOME", state);
    }
    window.reset();

    MeasureImport(figures, dir.path());
    MeasurePatch(figures, PatchFormat::Bps);
    MeasurePatch(figures, PatchFormat::Ips);

    for (const Figure& f : figures)
        Print(f);
    std::printf("%-44s %9.2f x\n", "picker build / floor", build.median / floor.median);

    std::printf("%-44s %9.2f x\n", "start-up with 100 own / without", ownStartup.median / startup.median);

    for (const QString& home : {QString(), ownHome}) {
        QProcess child;
        QStringList childArgs{QStringLiteral("--rss")};
        if (!home.isEmpty())
            childArgs << home;
        child.start(QCoreApplication::applicationFilePath(), childArgs);
        child.waitForFinished(60000);
        const long kib = child.readAllStandardOutput().trimmed().toLong();
        std::printf("%-44s %9.1f MB\n",
                    home.isEmpty() ? "peak resident memory, whole window + ROM"
                                   : "peak memory, with 100 thumbnails of the user's",
                    kib / 1024.0);
    }
    return 0;
}
