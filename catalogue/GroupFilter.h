// The filter language of the Find Group window and of the companion's
// `find`: whitespace-separated terms, all of which must match a group,
// letters compared without regard to case.
//
//   word      the description contains it ("reef brute": both words)
//   212       the group number is 212, or the description holds 212 as a
//             number of its own ("Enemy 212", "x212"; not "2120")
//   #212      only the group number; 0 to 484
//   l1:N      layer 1 shows background N
//   l2:N      layer 2 shows background N
//   bg:N      either layer shows background N; N is 0 to 65535
//   changed   the group's entry differs from the original ROM's (none
//             does while no original is set)
//
// Numbers are decimal, or hexadecimal with 0x (#0xD4, l1:0x12C, 0xD4). A
// background number is low byte + 256 x high byte. A term that starts with
// #, l1:, l2: or bg: and has no number in range after it is malformed: the
// filter then matches nothing and says why.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace om {

inline constexpr int kMaxBackgroundNumber = 0xFFFF;

// A layer's background number from its two bytes as the editor holds them:
// only their low 8 bits reach the file, so only those count.
constexpr int BackgroundNumber(int lo, int hi) { return (lo & 0xFF) + 256 * (hi & 0xFF); }

// What the filter looks at in one group.
struct GroupFacts {
    int group = 0;
    QString description;  // the display name as the group list shows it
    int layer1 = 0;       // background numbers
    int layer2 = 0;
    bool changed = false;  // its entry differs from the original ROM's
};

// bytes: layer 1 low, layer 1 high, layer 2 low, layer 2 high.
// displayName: the 8-bit display name (read as Latin-1).
GroupFacts MakeGroupFacts(int group, std::string_view displayName, const std::array<int, 4>& bytes);

// The filter that lists the groups whose layer (1 or 2) shows background n.
QString LayerFilter(int layer, int background);

class GroupFilter {
public:
    // An empty text matches every group.
    static GroupFilter Parse(const QString& text);

    bool valid() const { return problem_.isEmpty(); }
    // Why the text is malformed, naming the first bad term; empty when valid.
    const QString& problem() const { return problem_; }
    bool matches(const GroupFacts& group) const;

private:
    enum class Kind { Word, Number, Group, Layer1, Layer2, EitherLayer, Changed };
    struct Term {
        Kind kind = Kind::Word;
        QString text;  // words and numbers as typed
        int number = 0;
    };
    bool matches(const Term& term, const GroupFacts& group) const;

    std::vector<Term> terms_;
    QString problem_;
};

// A whole number from 0 to max written in decimal or as 0x hex; nothing
// for anything else (signs, other characters, a larger number).
std::optional<int> ParseFilterNumber(QStringView text, int max);

}  // namespace om
