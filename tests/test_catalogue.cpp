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

// The numbers of lead codes (0x01) and enemy codes (0x02 n) in a template.
std::pair<int, int> CountCodes(std::string_view t) {
    std::pair<int, int> codes{0, 0};
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\x01') {
            ++codes.first;
        } else if (t[i] == '\x02') {
            ++codes.second;
            ++i;  // its argument is no code, even when it is 0x01
        }
    }
    return codes;
}

// The numbers of inclusive ascending runs, one after the other.
QList<int> ExpandRuns(const std::vector<std::pair<int, int>>& runs) {
    QList<int> out;
    for (const auto& [first, last] : runs)
        for (int n = first; n <= last; ++n)
            out.append(n);
    return out;
}

}  // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    // ---------------------------------------------------------------- templates

    // The shape of the built-in table (sizes, characters and code arguments
    // are the syntax's, which the build checks), and the lead enemies.
    void builtInTemplates() {
        std::set<std::string> distinct;
        int withPlace = 0;
        std::map<std::pair<int, int>, int> groupsByCodes;  // (0x01s, 0x02s) -> groups 0-254
        for (int g = 0; g < om::kGroupCount; ++g) {
            const std::string t = Tmpl(g);
            distinct.insert(t);
            withPlace += t.size() > 3 && t.back() == ')' && t.find(" (") != std::string::npos;
            const std::pair<int, int> codes = CountCodes(t);
            const bool leadGroup = g <= 2 || (g >= 7 && g <= 13);
            QVERIFY2(codes.first == (leadGroup ? 1 : 0), qPrintable(QString::number(g)));
            if (g < 255)
                ++groupsByCodes[codes];
            else
                QVERIFY2(codes.second == 0, qPrintable(QString::number(g)));
        }
        QCOMPARE(groupsByCodes, (std::map<std::pair<int, int>, int>{
                                    {{1, 0}, 7}, {{1, 1}, 3}, {{0, 1}, 128}, {{0, 2}, 103}, {{0, 3}, 14}}));
        QCOMPARE(int(distinct.size()), 409);
        QCOMPARE(withPlace, 242);
        QCOMPARE(Tmpl(484), std::string("null"));
        for (const auto& [g, same] : {std::pair{1, 0}, {2, 0}, {21, 14}, {54, 53}, {483, 484}})
            QCOMPARE(Tmpl(g), Tmpl(same));
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

    // The built-in records composed with empty name slots, then with enemy
    // slot k named "Foe k+1".
    void composeBuiltInGroups() {
        om::BattleAnimData data;
        data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable);
        QCOMPARE(om::ComposeDisplayName(data, 0), std::string(" + "));
        QCOMPARE(om::ComposeDisplayName(data, 10), std::string());
        for (const auto& [g, text] : {std::pair{255, "2 Gloomfins + Saltmaw (Mudlight Fen)"},
                                      {300, "Ash Lizard + 3 Cinder Imps (Ashfall Rise)"},
                                      {482, "Final Moon Warden + Ebbkeeper x2"},
                                      {483, "null"}})
            QCOMPARE(om::ComposeDisplayName(data, g), std::string(text));

        for (int k = 0; k < om::kEnemyNameCount; ++k)
            SetName(data, k, "Foe " + std::to_string(k + 1));
        // Groups 0-2 share "{lead} + {enemy 2}" but not their lead; group 3 is
        // "{enemy 2}" alone.
        QCOMPARE(om::ComposeDisplayName(data, 0), std::string("Foe 159 + Foe 2"));
        QCOMPARE(om::ComposeDisplayName(data, 1), std::string("Foe 121 + Foe 2"));
        QCOMPARE(om::ComposeDisplayName(data, 2), std::string("Foe 55 + Foe 2"));
        QCOMPARE(om::ComposeDisplayName(data, 3), std::string("Foe 2"));
        QCOMPARE(om::ComposeDisplayName(data, 484), std::string("null"));
        // Groups 8 and 10 share a lead enemy; renaming it changes both.
        QCOMPARE(om::ComposeDisplayName(data, 10), std::string("Foe 64"));
        SetName(data, 63, "Grimhollow Toad");
        QCOMPARE(om::ComposeDisplayName(data, 10), std::string("Grimhollow Toad"));
        QVERIFY(om::ComposeDisplayName(data, 8).starts_with("Grimhollow Toad"));
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
        QTest::newRow("enemy 0, 231, 255") << QByteArray("a\x02\x00" "b\x02\xE7" "c\x02\xFFz", 10) << 0
                                           << QByteArray("abcz");
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
        QCOMPARE(QList<int>(om::ProgressionOrder.begin(), om::ProgressionOrder.end()), expected);
        for (int p = 0; p < 485; ++p)
            QCOMPARE(om::PositionOfGroup(om::ProgressionOrder, expected[p]), p);
    }

    void alphabeticalOrder_data() {
        QTest::addColumn<QString>("locale");
        // "C" is what a machine without LANG, or with LANG=C.UTF-8, runs in.
        for (const char* locale : {"C", "en_US", "de_DE"})
            QTest::newRow(locale) << QString::fromLatin1(locale);
    }

    // Case decides only between names that differ in nothing else, by their
    // bytes; equal names keep the group order; the last group stays last.
    void alphabeticalOrder() {
        QFETCH(QString, locale);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(saved); });

        om::GroupNameArray names{};  // groups 12-483 keep empty names, which come first
        const char* const named[] = {"bog rat",  "Bog Toad", "Bog rat",      "BOG RAT",
                                     "ash wisp", "Ash Wisp", "Mire Imp",     "bog rat",
                                     "Gloamstrider", "gloam moth", "eel",  "Eel"};
        for (std::size_t g = 0; g < std::size(named); ++g)
            names[g] = named[g];
        names[484] = "aaa";
        QList<int> expected = ExpandRuns({{12, 483}});
        expected += {5, 4, 3, 2, 0, 7, 1, 11, 10, 9, 8, 6, 484};
        const om::DisplayOrderArray order = om::AlphabeticalOrder(names);
        QCOMPARE(QList<int>(order.begin(), order.end()), expected);
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
            << ExpandRuns({{0, 0},     {18, 18},   {43, 43},   {45, 45},   {83, 83},   {104, 105}, {110, 110},
                           {150, 150}, {163, 188}, {190, 194}, {199, 207}, {210, 219}, {221, 224}, {228, 229},
                           {234, 234}, {237, 237}, {248, 248}, {252, 252}, {255, 255}, {258, 258}, {263, 264},
                           {266, 267}, {269, 270}, {272, 277}, {281, 283}, {289, 290}, {292, 293}, {295, 295},
                           {306, 307}, {309, 312}, {320, 320}, {323, 323}, {326, 326}})
            << ExpandRuns({{889, 889}, {788, 886}, {890, 890}});
    }

    void layerCatalog() {
        QFETCH(int, layer);
        QFETCH(QList<int>, numbers);
        QFETCH(QList<int>, thumbnails);

        om::LayerCatalog c = layer == 1 ? om::MakeLayer1Catalog() : om::MakeLayer2Catalog();
        QCOMPARE(c.customSlot(), layer == 1 ? 315 : 100);
        // Every entry whole: the low and high byte of its number, and its picture.
        QList<std::pair<int, int>> bytes, expectedBytes;
        QList<int> shown;
        for (int k = 0; k < c.size(); ++k) {
            bytes.append({c.entry(k).lo, c.entry(k).hi});
            shown.append(c.entry(k).thumbnail);
            const int n = k < numbers.size() ? numbers[k] : 0;  // the custom slot starts as (0, 0)
            expectedBytes.append({n % 256, n / 256});
        }
        QCOMPARE(bytes, expectedBytes);
        QCOMPARE(shown, thumbnails);
        const std::vector<int> listed =
            layer == 1 ? om::Layer1BackgroundNumbers() : om::Layer2BackgroundNumbers();
        QCOMPARE(QList<int>(listed.begin(), listed.end()), numbers);

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
        QCOMPARE(c.find(70, 1), numbers.size() - 1);
        c.setCustom(0, 0);
        QCOMPARE(c.find(0, 0), 0);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "test_catalogue.moc"
