// ombattleanim-bench: start-up, picker build, load, save, list-order,
// undo and patch figures of the editor, run offscreen. Each figure is the median of
// repeated runs after warm-up runs, with the spread (min-max) beside it.
//
//   ombattleanim-bench [--quick]     --quick: one run each, for a check
//   ombattleanim-bench --rss          peak memory of a process that builds
//                                     the whole window and loads a ROM
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QFile>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DemoRom.h"
#include "ScriptedDesktop.h"
#include "app/BattleAnimDlg.h"
#include "app/DialogLayout.h"
#include "app/FindGroupDlg.h"
#include "app/EditHistory.h"
#include "app/HotExit.h"
#include "patch/Patch.h"
#include "pickers/BuildLayerPickers.h"
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

long PeakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
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
    const QString rom = dir.path() + QStringLiteral("/demo.smc");
    MakeDemoRom().writeFile(rom.toStdString());
    if (args.contains(QStringLiteral("--rss")))
        return RssMode(rom);

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
    figures.push_back(Measure(
        "start-up to a usable window", 2, 10, [&] { window.reset(); },
        [&] { window = StartWindow(data, desktop); }));

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
    MeasureUndoRedo(figures, *window);
    // The recovery of a whole-table edit as the timer writes it: the edited
    // image, the patch, both files synced, the folder synced.
    for (int g = 0; g < kGroupCount; ++g)
        data.record(g).layer1Lo ^= 0xA5;
    figures.push_back(Measure("recovery write, whole table", 5, 50,
                              [&] { window->hotExit().Changed(); },
                              [&] { window->hotExit().Flush(); }));
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

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--rss")});
    child.waitForFinished(60000);
    const long kib = child.readAllStandardOutput().trimmed().toLong();
    std::printf("%-44s %9.1f MB\n", "peak resident memory, whole window + ROM", kib / 1024.0);
    return 0;
}
