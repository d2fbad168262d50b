// The groups shown one after another, for Go > Back and Go > Forward as a
// browser has them: going back and forward walks the trail; showing another
// group from anywhere but the end cuts the groups ahead off.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace om {

class GroupTrail {
public:
    // The oldest groups leave a trail longer than this.
    static constexpr std::size_t kLongest = 500;

    // Starts a new trail at group (a ROM opened), or an empty one for -1.
    void reset(int group);
    // Group is now shown. With replaceLast the trail's current group gives
    // way to it (a number still being typed).
    void visit(int group, bool replaceLast = false);
    // The group before or after the current one, now current; nothing at
    // either end.
    std::optional<int> back();
    std::optional<int> forward();
    bool canGoBack() const { return at_ > 0; }
    bool canGoForward() const { return at_ + 1 < groups_.size(); }
    // The current group, -1 for an empty trail.
    int current() const { return groups_.empty() ? -1 : groups_[at_]; }

private:
    std::vector<int> groups_;
    std::size_t at_ = 0;
};

}  // namespace om
