// Start-up on a real X server: both windows are exposed and painted before
// the pickers are built, the splash's bar is painted while they are, and the
// splash stays above the main window all along.
//
// Runs with the xcb platform under a private Xvfb (tests/paint_xvfb.sh),
// with and without a window manager; the offscreen platform paints
// differently and proves nothing here.
#include <QApplication>
#include <QProgressBar>
#include <QtTest>
#include <map>
#include <numeric>

#include "ScriptedDesktop.h"
#include "app/BattleAnimDlg.h"
#include "app/DialogLayout.h"
#include "app/SplashDlg.h"

using namespace om;

namespace {

// The X server's top-level windows from bottom to top: the window manager's
// list when one runs, the root window's children otherwise.
QList<WId> StackingOrder() {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {"-root", "_NET_CLIENT_LIST_STACKING"});
    xprop.waitForFinished();
    QString out = QString::fromLatin1(xprop.readAllStandardOutput());
    QString ids;
    if (out.contains(QLatin1Char('#'))) {
        ids = out.section(QLatin1Char('#'), 1);
    } else {
        QProcess tree;
        tree.start(QStringLiteral("xwininfo"), {"-root", "-children"});
        tree.waitForFinished();
        // One child a line, "0x2000005 "name": ...", the top one first.
        static const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) "),
                                              QRegularExpression::MultilineOption);
        for (const auto& m : child.globalMatch(QString::fromLatin1(tree.readAllStandardOutput())))
            ids.prepend(m.captured(1) + QLatin1Char(','));
    }
    QList<WId> order;
    for (const QString& id : ids.split(QLatin1Char(','), Qt::SkipEmptyParts))
        order.append(id.trimmed().toULongLong(nullptr, 16));
    return order;
}

// Counts the exposes and paints of the two windows before the first build
// step, and records the bar's value at each of its paints during the build.
class PaintLog : public QObject {
public:
    enum Kind { MainExposed, MainPainted, SplashExposed, SplashPainted };
    CBattleAnimDlg* main = nullptr;
    int beforeBuild[4] = {};
    std::vector<int> barSteps;
    int step = 0;
    // At these steps of the build: was the splash above the main window?
    std::map<int, bool> splashOnTop{{1, false}, {416, false}, {832, false}};

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        CSplashDlg* splash = main ? main->splash() : nullptr;
        if ((t != QEvent::Paint && t != QEvent::Expose) || !main)
            return false;
        if (splash && splash->progressBar())
            step = splash->progressBar()->value();
        const auto seen = [&](Kind kind) { beforeBuild[kind] += step == 0; };
        auto* widget = qobject_cast<QWidget*>(watched);
        if (t == QEvent::Expose) {
            if (watched == main->windowHandle())
                seen(MainExposed);
            else if (splash && watched == splash->windowHandle())
                seen(SplashExposed);
        } else if (widget && splash && widget == splash->progressBar()) {
            if (step > 0)
                barSteps.push_back(step);
            if (splashOnTop.count(step)) {
                const QList<WId> order = StackingOrder();
                const auto at = [&](const QWidget* w) { return order.indexOf(w->winId()); };
                splashOnTop[step] = at(main) >= 0 && at(splash) > at(main);
            }
        } else if (widget && splash && widget->window() == splash) {
            seen(SplashPainted);
        } else if (widget && widget->window() == main) {
            seen(MainPainted);
        }
        return false;
    }
};

}  // namespace

class TestStartupPaint : public QObject {
    Q_OBJECT
private slots:
    void bothWindowsPaintBeforeTheBuild();
};

void TestStartupPaint::bothWindowsPaintBeforeTheBuild() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QFAIL("needs a real X server (the xcb platform): run it through paint_xvfb.sh");
    PaintLog log;
    qApp->installEventFilter(&log);
    BattleAnimData data;
    omtest::ScriptedDesktop desktop;
    CBattleAnimDlg window(data, desktop);
    log.main = &window;
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(window.pickersBuilt(), 30000);
    qApp->removeEventFilter(&log);

    using L = PaintLog;
    qInfo("before the first step: main exposed %d, painted %d; splash exposed %d, painted %d",
          log.beforeBuild[L::MainExposed], log.beforeBuild[L::MainPainted],
          log.beforeBuild[L::SplashExposed], log.beforeBuild[L::SplashPainted]);
    // Both windows were on the screen and painted before anything was built.
    for (const int n : log.beforeBuild)
        QVERIFY(n > 0);

    // During the build, every step the bar made was painted at once: its
    // paints saw the values 1 to 832, each one.
    qInfo("bar painted %d times during the build", int(log.barSteps.size()));
    std::vector<int> all(832);
    std::iota(all.begin(), all.end(), 1);
    QCOMPARE(log.barSteps, all);

    // The splash was above the main window, in the stacking order the X
    // server (or the window manager) keeps, from the first step to the last.
    const std::map<int, bool> onTop{{1, true}, {416, true}, {832, true}};
    QCOMPARE(log.splashOnTop, onTop);
}

QTEST_MAIN(TestStartupPaint)
#include "test_startup_paint.moc"
