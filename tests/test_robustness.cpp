// Images of every awkward size and random content go through the title
// check, the load and a Save: nothing crashes, reads past the end give the
// end-of-file values, and Save touches no byte outside the table.
#include <QRandomGenerator>
#include <QtTest>

#include "WindowFixture.h"

using namespace om;

namespace {

std::vector<long> InterestingSizes() {
    const RomLayout& L = kSmcLayout;
    std::vector<long> sizes = {0, 1, 511, 512, 513};
    for (long edge : {L.titleOffset(), L.titleOffset() + kTitleLength, L.enemyRecordOffset(0),
                      L.enemyRecordOffset(0) + 1 + kEnemyNameLength, L.enemyRecordOffset(117),
                      L.enemyRecordsEnd(), L.entryOffset(0), L.entryOffset(0) + 2,
                      L.entryOffset(242), L.tableEnd()})
        for (long d = -2; d <= 2; ++d)
            sizes.push_back(edge + d);
    sizes.push_back(kDemoImageSize);
    sizes.push_back(4L * 1024 * 1024);
    QRandomGenerator rng(20261206);
    for (int i = 0; i < 20; ++i)
        sizes.push_back(long(rng.bounded(4 * 1024 * 1024 + 1)));
    return sizes;
}

}  // namespace

class TestRobustness : public QObject {
    Q_OBJECT
private slots:
    void randomImagesLoadAndSaveSafely();
};

void TestRobustness::randomImagesLoadAndSaveSafely() {
    omtest::WindowFixture f;
    QRandomGenerator rng(7);
    const RomLayout& L = kSmcLayout;
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/random.smc").toStdString();

    for (long size : InterestingSizes()) {
        RomImage image(size);
        auto& bytes = image.bytes();
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(rng.bounded(256));
        if (rng.bounded(2))
            image.putTitle();
        QVERIFY(image.writeFile(path));
        const QString where = QStringLiteral("size %1").arg(size);

        // A foreign or short title asks; the script answers Yes.
        f.desktop.answers = {Desktop::Answer::Yes};
        f.desktop.shown.clear();
        QVERIFY2(f.window->IsRomTitleValid(QString::fromStdString(path)), qPrintable(where));
        const bool titleOk = size >= L.titleOffset() + kTitleLength &&
                             std::equal(bytes.begin() + L.titleOffset(),
                                        bytes.begin() + L.titleOffset() + kTitleLength,
                                        kExpectedTitle);
        QCOMPARE(f.desktop.shown.size(), std::size_t(titleOk ? 0 : 1));
        QVERIFY(f.window->LoadRom(QString::fromStdString(path)));

        for (int g = 0; g < kGroupCount; ++g) {
            const GroupRecord& r = f.data.record(g);
            const long at = L.entryOffset(g);
            const int got[] = {r.layer1Lo, r.layer1Hi, r.layer2Lo, r.layer2Hi};
            for (int i = 0; i < 4; ++i) {
                const int want = at + i < size ? bytes[std::size_t(at + i)] : -1;
                QVERIFY2(got[i] == want, qPrintable(where + QStringLiteral(" group %1").arg(g)));
            }
        }
        for (int k : {0, 117, 229}) {
            const long at = L.enemyRecordOffset(k) + 1;
            const auto& slot = f.data.enemyNames().slot(k);
            for (int i = 0; i < kEnemyNameLength; ++i) {
                const int stored = at + i < size ? bytes[std::size_t(at + i)] : 0xFF;
                QVERIFY2(slot[std::size_t(i)] == DecodeNameByte(stored), qPrintable(where));
            }
        }
        QCOMPARE(f.groupList()->count(), kGroupCount);

        f.window->OnFileSaveChanges();
        QVERIFY2(f.desktop.shown.size() == std::size_t(titleOk ? 0 : 1), qPrintable(where));
        const auto after = omtest::ReadFileBytes(path);
        QCOMPARE(long(after.size()), std::max(size, L.tableEnd()));
        const long tableBegin = L.entryOffset(0), tableEnd = L.tableEnd();
        const auto at = [&](const auto& v, long i) { return v.begin() + i; };
        // Before and after the table: exactly what was there.
        const long head = std::min(size, tableBegin);
        QVERIFY2(std::equal(at(bytes, 0), at(bytes, head), at(after, 0)), qPrintable(where));
        if (size > tableEnd)
            QVERIFY2(std::equal(at(bytes, tableEnd), bytes.cend(), at(after, tableEnd)),
                     qPrintable(where));
        // Between the old end and the table: the zeros the stream fills in.
        if (size < tableBegin)
            QVERIFY2(std::all_of(at(after, size), at(after, tableBegin), [](auto b) { return b == 0; }),
                     qPrintable(where));
        // The table: every record's low bytes.
        for (int g = 0; g < kGroupCount; ++g) {
            const GroupRecord& r = f.data.record(g);
            const int fields[] = {r.layer1Lo, r.layer1Hi, r.layer2Lo, r.layer2Hi};
            for (int i = 0; i < 4; ++i)
                QVERIFY2(after[std::size_t(L.entryOffset(g) + i)] == (fields[i] & 0xFF),
                         qPrintable(where));
        }
        f.window->OnFileCloseRom();
    }
}

QTEST_MAIN(TestRobustness)
#include "test_robustness.moc"
