// Random files of every awkward size, with the title after a copier header,
// at the start of a headerless image, at both places or nowhere, go through
// the check, the load and a Save: a file that cannot hold the table is
// refused untouched; any other has exactly its table rewritten, where its
// layout puts it, and never grows or changes anywhere else.
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>
#include <cstring>

#include "CliRun.h"
#include "WindowFixture.h"

using namespace om;

namespace {

#ifdef OM_SANITIZED_BUILD
constexpr int kRandomFiles = 150;
#else
constexpr int kRandomFiles = 1000;
#endif

// Typed from the image layout, apart from the code under test.
constexpr long kTitleWithHeader = 0x101C0;
constexpr long kTitleWithout = 0xFFC0;
constexpr long kTableWithHeader = 0xBDA9E;
constexpr long kTableWithout = 0xBD89E;
constexpr long kTableLength = 1940;
constexpr char kTitle[] = "ORBIT MARSH";
constexpr long kMiB = 1024 * 1024;

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The records' values as the table holds them: four low bytes a group.
QByteArray TableOf(const BattleAnimData& data) {
    QByteArray table;
    for (int g = 0; g < kGroupCount; ++g) {
        const GroupRecord& r = data.record(g);
        for (const int value : {r.layer1Lo, r.layer1Hi, r.layer2Lo, r.layer2Hi})
            table += char(value & 0xFF);
    }
    return table;
}

long PickSize(QRandomGenerator& rng, int i) {
    static const long edges[] = {0, 1, 1024, kTitleWithout + 11, kTitleWithHeader + 11,
                                 kTableWithout, kTableWithHeader, kTableWithout + kTableLength,
                                 kTableWithHeader + kTableLength, 0x15EA5B, 0x15EC5B, 3 * kMiB,
                                 3 * kMiB + 512, 4 * kMiB};
    switch (i % 5) {
    case 0:
        return std::max(0L, edges[rng.bounded(int(std::size(edges)))] + rng.bounded(5) - 2);
    case 1:
        return 3 * kMiB + 512;  // the usual .smc
    case 2:
        return (2 + rng.bounded(3)) * kMiB;  // headerless, 2 to 4 MiB
    case 3:
        return rng.bounded(int(4 * kMiB + 1));
    default:
        return 776000 + rng.bounded(4000);  // around the table's ends
    }
}

}  // namespace

class TestRobustness : public QObject {
    Q_OBJECT
private slots:
    void randomFilesChangeOnlyTheirTable();
};

void TestRobustness::randomFilesChangeOnlyTheirTable() {
    omtest::WindowFixture f;
    QRandomGenerator rng(20261207);
    QByteArray pool(8 * kMiB, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(pool.data()), pool.size() / 4);
    QTemporaryDir dir;
    const QString path = dir.path() + "/random.rom";
    int refused = 0, asked = 0, headerless = 0, headered = 0;

    for (int i = 0; i < kRandomFiles; ++i) {
        const long size = PickSize(rng, i);
        QByteArray bytes = pool.mid(rng.bounded(int(4 * kMiB)), int(size));
        const int titles = rng.bounded(4);  // none, with header, without, both
        if ((titles & 1) && size >= kTitleWithHeader + 11)
            std::memcpy(bytes.data() + kTitleWithHeader, kTitle, 11);
        if ((titles & 2) && size >= kTitleWithout + 11)
            std::memcpy(bytes.data() + kTitleWithout, kTitle, 11);
        QVERIFY(omtest::WriteText(path, bytes));
        const QString where = QStringLiteral("file %1, %2 bytes, titles %3").arg(i).arg(size).arg(titles);

        // The expected layout, by the rule: the title where it is found at
        // one place only, otherwise the size.
        const auto titleAt = [&](long at) {
            return size >= at + 11 && std::memcmp(bytes.constData() + at, kTitle, 11) == 0;
        };
        const bool withHeader = titleAt(kTitleWithHeader), without = titleAt(kTitleWithout);
        const bool header = withHeader != without ? withHeader : size % 1024 != 0;
        const long table = header ? kTableWithHeader : kTableWithout;
        const bool fits = size >= table + kTableLength;

        f.desktop.shown.clear();
        f.desktop.answers = {Desktop::Answer::Yes};
        f.desktop.files = {path};
        f.window->OnFileOpenRom();
        QVERIFY2(f.window->isRomOpen() == fits, qPrintable(where));
        if (!fits) {
            ++refused;
            QVERIFY2(f.desktop.shown.size() == 1 &&
                         f.desktop.shown[0].buttons == Desktop::Buttons::Ok,
                     qPrintable(where));
            QVERIFY2(ReadAll(path) == bytes, qPrintable(where));
            continue;
        }
        const bool asks = !withHeader && !without;
        asked += asks;
        (header ? headered : headerless) += 1;
        QVERIFY2(f.desktop.shown.size() == std::size_t(asks ? 1 : 0), qPrintable(where));
        QCOMPARE(f.window->romLayout().headerSize, header ? 512L : 0L);

        // Every entry as it stands in the file.
        QVERIFY2(TableOf(f.data) == bytes.mid(int(table), int(kTableLength)), qPrintable(where));
        // A few edits, some out of the byte range, then Save.
        for (int e = 0; e < 3; ++e) {
            GroupRecord& r = f.data.record(1 + rng.bounded(kGroupCount - 1));
            r.layer1Lo = rng.bounded(-300, 600);
            r.layer2Hi = rng.bounded(256);
        }
        f.window->OnFileSaveChanges();
        QVERIFY2(f.desktop.shown.size() == std::size_t(asks ? 1 : 0), qPrintable(where));
        // The file as it was, its table replaced by the records' low bytes.
        const QByteArray want =
            QByteArray(bytes).replace(int(table), int(kTableLength), TableOf(f.data));
        QVERIFY2(ReadAll(path) == want, qPrintable(where));
        f.window->OnFileCloseRom();
    }
    qInfo("%d files: %d refused, %d headered, %d headerless, %d asked about the title",
          kRandomFiles, refused, headered, headerless, asked);
    // The mix covers every case.
    QVERIFY(refused > 0 && headered > 0 && headerless > 0 && asked > 0);
}

QTEST_MAIN(TestRobustness)
#include "test_robustness.moc"
