// The built-in group descriptions, their readable syntax, how names are
// composed from them, the list orders and the layer catalogues.
#include <QLocale>
#include <QScopeGuard>
#include <QtTest>
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue/DisplayName.h"
#include "catalogue/GroupOrder.h"
#include "catalogue/GroupTemplates.h"
#include "catalogue/TemplateSyntax.h"
#include "pickers/LayerCatalog.h"
#include "romdata/BattleAnimData.h"

namespace {

std::string Tmpl(int g) { return std::string(om::GroupTemplateTable[static_cast<std::size_t>(g)]); }

void SetName(om::BattleAnimData& data, int k, std::string_view name) {
    om::EnemyNameSlot& slot = data.enemyNames().slot(k);
    slot.fill(0);
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), slot.size()), slot.begin());
}

// Names every enemy "Foe N" (N = k + 1) and lays out the built-in records.
void LoadInventedNames(om::BattleAnimData& data) {
    for (int k = 0; k < om::kEnemyNameCount; ++k)
        SetName(data, k, "Foe " + std::to_string(k + 1));
    data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable);
}

struct CodeCounts {
    int lead = 0;
    int enemy = 0;
    std::vector<int> enemyArgs;
    bool lowBytesOutsideCodes = false;
};

CodeCounts CountCodes(std::string_view t) {
    CodeCounts c;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const auto b = static_cast<unsigned char>(t[i]);
        if (b == 0x01) {
            ++c.lead;
        } else if (b == 0x02) {
            ++c.enemy;
            c.enemyArgs.push_back(i + 1 < t.size() ? static_cast<unsigned char>(t[++i]) : -1);
        } else if (b < 0x20) {
            c.lowBytesOutsideCodes = true;
        }
    }
    return c;
}

// The numbers of inclusive ascending runs, one after the other.
QList<int> ExpandRuns(const std::vector<std::pair<int, int>>& runs) {
    QList<int> out;
    for (const auto& [first, last] : runs)
        for (int n = first; n <= last; ++n)
            out.append(n);
    return out;
}

bool CaseInsensitiveLess(const std::string& a, const std::string& b) {
    return QString::fromLatin1(a).compare(QString::fromLatin1(b), Qt::CaseInsensitive) < 0;
}

}  // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    // ---------------------------------------------------------------- templates

    // The codes, sizes and characters of all 485 templates, and the lead enemies.
    void builtInTemplates() {
        int leadGroups = 0, leadWithEnemy = 0, withPlace = 0;
        std::set<std::string> distinct;
        std::map<int, int> enemyCodesPerGroup;  // count -> groups, among groups without 0x01
        for (int g = 0; g < om::kGroupCount; ++g) {
            const std::string t = Tmpl(g);
            QVERIFY2(!t.empty() && t.size() <= 63, qPrintable(QString::number(g)));
            distinct.insert(t);
            if (t.size() > 3 && t.back() == ')' && t.find(" (") != std::string::npos)
                ++withPlace;
            const CodeCounts c = CountCodes(t);
            QVERIFY2(!c.lowBytesOutsideCodes, qPrintable(QString::number(g)));
            for (int arg : c.enemyArgs)
                QVERIFY2(arg >= 1 && arg <= 230, qPrintable(QStringLiteral("group %1 arg %2").arg(g).arg(arg)));
            if (g >= 255) {
                for (unsigned char ch : t)
                    QVERIFY2(ch >= 0x20 && ch <= 0x7E, qPrintable(QString::number(g)));
                continue;
            }
            QVERIFY2(c.lead + c.enemy > 0, qPrintable(QString::number(g)));
            const bool leadGroup = g <= 2 || (g >= 7 && g <= 13);
            QCOMPARE(c.lead, leadGroup ? 1 : 0);
            if (leadGroup) {
                ++leadGroups;
                QVERIFY(c.enemy <= 1);
                leadWithEnemy += c.enemy;
            } else {
                ++enemyCodesPerGroup[c.enemy];
            }
        }
        QCOMPARE(leadGroups, 10);
        QCOMPARE(leadWithEnemy, 3);
        QCOMPARE(enemyCodesPerGroup, (std::map<int, int>{{1, 128}, {2, 103}, {3, 14}}));
        QCOMPARE(int(distinct.size()), 409);
        QCOMPARE(withPlace, 242);
        QCOMPARE(Tmpl(483), std::string("null"));
        QCOMPARE(Tmpl(484), std::string("null"));
        QCOMPARE(Tmpl(1), Tmpl(0));
        QCOMPARE(Tmpl(2), Tmpl(0));
        QCOMPARE(Tmpl(21), Tmpl(14));
        QCOMPARE(Tmpl(54), Tmpl(53));
        QCOMPARE(Tmpl(10), std::string("\x01"));
        const std::map<int, int> leads{{0, 158}, {1, 120}, {2, 54},   {7, 128},  {8, 63},
                                       {9, 133}, {10, 63}, {11, 120}, {12, 158}, {13, 144}};
        for (const auto& [g, lead] : leads)
            QCOMPARE(int(om::LeadEnemyTable[static_cast<std::size_t>(g)]), lead);
    }

    // A line is accepted with the bytes given, or refused with a reason when
    // no bytes are given.
    void parse_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("plain") << QByteArray("Drowned Bell Ringer x2 (Sunken Belfry)")
                               << QByteArray("Drowned Bell Ringer x2 (Sunken Belfry)");
        QTest::newRow("lead") << QByteArray("{lead} x3") << QByteArray("\x01 x3");
        QTest::newRow("enemy 1") << QByteArray("{enemy 1}") << QByteArray("\x02\x01", 2);
        QTest::newRow("enemy 10") << QByteArray("2 {enemy 10}") << QByteArray("2 \x02\x0A");
        QTest::newRow("enemy 48") << QByteArray("{enemy 48}!") << QByteArray("\x02\x30!");
        QTest::newRow("enemy 230") << QByteArray("{enemy 230}") << QByteArray("\x02\xE6");
        QTest::newRow("mixed") << QByteArray("{lead} + {enemy 2} x2 (Mudlight Fen)")
                               << QByteArray("\x01 + \x02\x02 x2 (Mudlight Fen)");
        QTest::newRow("63 bytes") << QByteArray(63, 'w') << QByteArray(63, 'w');
        QTest::newRow("63 bytes with codes") << QByteArray("{lead} + {enemy 12}") + QByteArray(57, 'w')
                                             << QByteArray("\x01 + \x02\x0C") + QByteArray(57, 'w');
        // Refused: unknown codes, numbers out of range or badly written, braces
        // unmatched, bytes outside printable ASCII, more than 63 bytes.
        for (const QByteArray& bad :
             {QByteArray("{boss} x2"), QByteArray("{Lead}"), QByteArray("{enemy 0}"),
              QByteArray("{enemy 231}"), QByteArray("{enemy 1000}"), QByteArray("{enemy 07}"),
              QByteArray("{enemy +7}"), QByteArray("{enemy }"), QByteArray("{enemy 7b}"),
              QByteArray("{lead"), QByteArray("Gloom {enemy 4"), QByteArray("Gloom } Wisp"),
              QByteArray("Gloom\tWisp"), QByteArray("Gloom\x7FWisp"), QByteArray("Caf\xE9 Wisp"),
              QByteArray(64, 'w'), QByteArray("{lead} + {enemy 12}") + QByteArray(58, 'w')})
            QTest::newRow(bad.left(20).toPercentEncoding(" {}+").constData()) << bad << QByteArray();
    }

    void parse() {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, bytes);
        const om::TemplateParse p = om::ParseTemplateLine(line.toStdString());
        if (bytes.isEmpty()) {
            QVERIFY(!p.ok);
            QVERIFY(!p.error.empty());
            return;
        }
        QVERIFY2(p.ok, p.error.c_str());
        QCOMPARE(QByteArray::fromStdString(p.bytes), bytes);
        QCOMPARE(QByteArray::fromStdString(om::FormatTemplate(p.bytes)), line);
    }

    // ---------------------------------------------------------------- display names

    void composeBuiltInGroups() {
        om::BattleAnimData data;
        LoadInventedNames(data);
        const std::string g0 = om::ComposeDisplayName(data, 0);
        const std::string g1 = om::ComposeDisplayName(data, 1);
        const std::string g2 = om::ComposeDisplayName(data, 2);
        QVERIFY(g0 != g1 && g1 != g2 && g0 != g2);
        // Each is "<lead> + Foe 2".
        for (const std::string& s : {g0, g1, g2}) {
            QVERIFY2(s.starts_with("Foe ") && s.ends_with(" + Foe 2"), s.c_str());
        }
        QCOMPARE(om::ComposeDisplayName(data, 484), std::string("null"));
        // Group 3 is "{enemy 2}" alone.
        QCOMPARE(om::ComposeDisplayName(data, 3), std::string("Foe 2"));

        // Groups 8 and 10 share a lead enemy; renaming it changes both.
        const std::string before = om::ComposeDisplayName(data, 10);
        QVERIFY(!before.empty());
        for (int k = 0; k < om::kEnemyNameCount; ++k)
            if (data.enemyName(k) == before)
                SetName(data, k, "Grimhollow Toad");
        QCOMPARE(om::ComposeDisplayName(data, 10), std::string("Grimhollow Toad"));
        QVERIFY(om::ComposeDisplayName(data, 8).starts_with("Grimhollow Toad"));
    }

    void composeWithEmptyNames() {
        om::BattleAnimData data;
        data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable);
        QCOMPARE(om::ComposeDisplayName(data, 10), std::string());
        for (int g : {255, 300, 482, 483})
            QCOMPARE(om::ComposeDisplayName(data, g), Tmpl(g));
        QCOMPARE(om::ComposeDisplayName(data, 0), std::string(" + "));
    }

    void expandTemplate_data() {
        QTest::addColumn<QByteArray>("tmpl");
        QTest::addColumn<int>("lead");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray full25 = "Abyssal Reedcrown Monarch";
        QTest::newRow("enemy 1 is slot 0") << QByteArray("\x02\x01", 2) << 5 << QByteArray("Sleet Imp");
        QTest::newRow("enemy 2 is slot 1") << QByteArray("<\x02\x02>") << 5 << QByteArray("<Bog Shade>");
        QTest::newRow("enemy 230 is the last slot") << QByteArray("\x02\xE6 x2") << 0
                                                    << QByteArray("Final Ebb x2");
        QTest::newRow("lead") << QByteArray("\x01 + \x02\x01") << 5 << QByteArray("Leadfoot + Sleet Imp");
        QTest::newRow("lead is last slot") << QByteArray("\x01") << 229 << QByteArray("Final Ebb");
        QTest::newRow("25-byte name") << QByteArray("<\x02\x04>") << 0 << "<" + full25 + ">";
        QTest::newRow("Latin-1 name") << QByteArray("\x02\x07") << 0 << QByteArray("Fl\xE9\x63he Moth");
        QTest::newRow("trailing 0x02") << QByteArray("Mire\x02", 5) << 0 << QByteArray("Mire");
        QTest::newRow("enemy 0") << QByteArray("a\x02\x00z", 4) << 0 << QByteArray("az");
        QTest::newRow("enemy 231") << QByteArray("a\x02\xE7z") << 0 << QByteArray("az");
        QTest::newRow("enemy 255") << QByteArray("a\x02\xFFz") << 0 << QByteArray("az");
        QTest::newRow("lead past the names") << QByteArray("a\x01z") << 230 << QByteArray("az");
        QTest::newRow("negative lead") << QByteArray("a\x01z") << -1 << QByteArray("az");
    }

    void expandTemplate() {
        QFETCH(QByteArray, tmpl);
        QFETCH(int, lead);
        QFETCH(QByteArray, expected);

        om::BattleAnimData data;
        SetName(data, 0, "Sleet Imp");
        SetName(data, 1, "Bog Shade");
        SetName(data, 3, "Abyssal Reedcrown Monarch");  // 25 bytes, no terminator
        SetName(data, 4, "Tidewort Hag");               // follows it in memory
        SetName(data, 5, "Leadfoot");
        SetName(data, 6, "Fl\xE9\x63he Moth");
        SetName(data, 229, "Final Ebb");
        QCOMPARE(data.enemyName(3).size(), std::size_t(25));

        const std::string got = om::ExpandTemplate(data, tmpl.toStdString(), lead);
        QCOMPARE(QByteArray::fromStdString(got), expected);
    }

    // ---------------------------------------------------------------- orders

    void progressionOrder() {
        // The "->" order, run by run (inclusive, ascending), as the groups of one
        // area follow each other in the game.
        const std::vector<std::pair<int, int>> runs = {
            {0, 2},     {7, 10},    {196, 204}, {29, 56},   {205, 213}, {57, 76},   {11, 13},
            {18, 20},   {181, 187}, {25, 25},   {214, 220}, {77, 103},  {221, 234}, {104, 107},
            {235, 247}, {108, 126}, {248, 254}, {127, 132}, {14, 17},   {21, 24},   {188, 195},
            {26, 28},   {133, 180}, {3, 6},     {255, 484}};
        const QList<int> expected = ExpandRuns(runs);
        QCOMPARE(expected.size(), 485);
        QCOMPARE(QList<int>(om::ProgressionOrder.begin(), om::ProgressionOrder.end()), expected);
        for (int p = 0; p < 485; ++p)
            QCOMPARE(om::PositionOfGroup(om::ProgressionOrder, expected[p]), p);
    }

    void alphabeticalOrder_data() {
        QTest::addColumn<QString>("locale");
        // "C" is what a machine without LANG, or with LANG=C.UTF-8, runs in.
        QTest::newRow("C") << "C";
        QTest::newRow("en_US") << "en_US";
        QTest::newRow("de_DE") << "de_DE";
    }

    void alphabeticalOrder() {
        QFETCH(QString, locale);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });

        // ASCII names where only letters and case decide, spread over the groups.
        const std::vector<std::string> pool = {
            "bog rat",  "Bog Toad", "Bog rat",      "BOG RAT",    "Ash Wisp",   "ash wisp",
            "Mire Imp", "mire imp", "Gloamstrider", "gloam moth", "Zephyr Eel", "eel",
            "Eel",      "Quillback", "quillback",   "Dunmarrow",  "Tidewort Hag"};
        om::GroupNameArray names;
        for (int g = 0; g < om::kGroupCount; ++g)
            names[static_cast<std::size_t>(g)] = pool[static_cast<std::size_t>((g * 7 + g / 3) % pool.size())];
        names[484] = "aaa";  // stays last all the same

        const om::DisplayOrderArray order = om::AlphabeticalOrder(names);
        QVERIFY(std::is_permutation(order.begin(), order.end(), om::NumericOrder().begin()));
        QCOMPARE(int(order[484]), 484);

        std::map<std::string, std::vector<int>> positions;  // name -> positions
        for (int p = 0; p < 484; ++p) {
            const auto g = static_cast<std::size_t>(order[static_cast<std::size_t>(p)]);
            positions[names[g]].push_back(p);
            if (p > 0) {
                const auto prev = static_cast<std::size_t>(order[static_cast<std::size_t>(p - 1)]);
                QVERIFY2(!CaseInsensitiveLess(names[g], names[prev]),
                         qPrintable(QStringLiteral("'%1' before '%2'")
                                        .arg(names[prev].c_str(), names[g].c_str())));
                if (names[g] == names[prev])
                    QVERIFY(order[static_cast<std::size_t>(p - 1)] < order[static_cast<std::size_t>(p)]);
            }
        }
        // Byte-equal names form one run.
        for (const auto& [name, ps] : positions)
            QCOMPARE(ps.back() - ps.front() + 1, int(ps.size()));

        // Names differing only in case come out in the same order whichever
        // groups hold them.
        om::GroupNameArray moved = names;
        std::reverse(moved.begin(), moved.begin() + 484);
        const om::DisplayOrderArray order2 = om::AlphabeticalOrder(moved);
        for (int p = 0; p < 484; ++p)
            QCOMPARE(moved[static_cast<std::size_t>(order2[static_cast<std::size_t>(p)])],
                     names[static_cast<std::size_t>(order[static_cast<std::size_t>(p)])]);
        QVERIFY(om::AlphabeticalOrder(names) == order);
    }

    void alphabeticalOrderOfEmptyNames() {
        const om::GroupNameArray names{};
        QVERIFY(om::AlphabeticalOrder(names) == om::NumericOrder());
    }

    // ---------------------------------------------------------------- layer catalogues

    void layerCatalog_data() {
        QTest::addColumn<int>("layer");
        QTest::addColumn<QList<int>>("numbers");     // background numbers of entries 0 .. custom - 1
        QTest::addColumn<QList<int>>("thumbnails");  // bitmap of every entry, the custom slot's last
        QTest::newRow("layer 1")
            << 1
            << ExpandRuns({{0, 234}, {237, 237}, {240, 240}, {243, 243}, {246, 246}, {248, 253},
                           {255, 264}, {266, 278}, {280, 326}})
            << ExpandRuns({{889, 889}, {405, 649}, {698, 745}, {767, 787}, {890, 890}});
        QTest::newRow("layer 2")
            << 2
            << ExpandRuns({{0, 0},     {18, 18},   {43, 43},   {45, 45},   {83, 83},   {104, 105},
                           {110, 110}, {150, 150}, {163, 188}, {190, 194}, {199, 207}, {210, 219},
                           {221, 224}, {228, 229}, {234, 234}, {237, 237}, {248, 248}, {252, 252},
                           {255, 255}, {258, 258}, {263, 264}, {266, 267}, {269, 270}, {272, 277},
                           {281, 283}, {289, 290}, {292, 293}, {295, 295}, {306, 307}, {309, 312},
                           {320, 320}, {323, 323}, {326, 326}})
            << ExpandRuns({{889, 889}, {788, 886}, {890, 890}});
    }

    void layerCatalog() {
        QFETCH(int, layer);
        QFETCH(QList<int>, numbers);
        QFETCH(QList<int>, thumbnails);
        QCOMPARE(numbers.size(), layer == 1 ? 315 : 100);
        QCOMPARE(thumbnails.size(), numbers.size() + 1);

        const om::LayerCatalog c = layer == 1 ? om::MakeLayer1Catalog() : om::MakeLayer2Catalog();
        QCOMPARE(c.size(), numbers.size() + 1);
        QCOMPARE(c.customSlot(), layer == 1 ? 315 : 100);
        // Every entry whole: the low and high byte of its number, and its picture;
        // the custom slot starts as (0, 0).
        QList<int> lo, hi, shown, expectedLo, expectedHi;
        for (int k = 0; k < c.size(); ++k) {
            lo.append(c.entry(k).lo);
            hi.append(c.entry(k).hi);
            shown.append(c.entry(k).thumbnail);
            expectedLo.append(k < numbers.size() ? numbers[k] % 256 : 0);
            expectedHi.append(k < numbers.size() ? numbers[k] / 256 : 0);
        }
        QCOMPARE(lo, expectedLo);
        QCOMPARE(hi, expectedHi);
        QCOMPARE(shown, thumbnails);
        const std::vector<int> listed =
            layer == 1 ? om::Layer1BackgroundNumbers() : om::Layer2BackgroundNumbers();
        QCOMPARE(QList<int>(listed.begin(), listed.end()), numbers);
    }

    void layerCatalogFind() {
        for (int layer : {1, 2}) {
            om::LayerCatalog c = layer == 1 ? om::MakeLayer1Catalog() : om::MakeLayer2Catalog();
            // The numbers are ascending, so each pair leads back to its own entry.
            for (int k = 0; k < c.customSlot(); ++k)
                QCOMPARE(c.find(c.entry(k).lo, c.entry(k).hi), k);
            QCOMPARE(c.find(236, 0), -1);
            QCOMPARE(c.find(-1, -1), -1);

            // The custom slot takes any pair but is never what find() answers.
            c.setCustom(236, 0);
            QCOMPARE(int(c.entry(c.customSlot()).lo), 236);
            QCOMPARE(c.find(236, 0), -1);
            c.setCustom(70, 1);
            QCOMPARE(c.find(70, 1), layer == 1 ? 314 : 99);
            c.setCustom(0, 0);
            QCOMPARE(c.find(0, 0), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
