#include "app/GroupTrail.h"

namespace om {

void GroupTrail::reset(int group) {
    groups_.clear();
    at_ = 0;
    if (group >= 0)
        groups_.push_back(group);
}

void GroupTrail::visit(int group, bool replaceLast) {
    if (groups_.empty()) {
        reset(group);
        return;
    }
    if (group == groups_[at_])
        return;
    groups_.resize(at_ + 1);
    if (replaceLast) {
        groups_[at_] = group;
        return;
    }
    groups_.push_back(group);
    if (groups_.size() > kLongest)
        groups_.erase(groups_.begin());
    at_ = groups_.size() - 1;
}

std::optional<int> GroupTrail::back() {
    if (!canGoBack())
        return std::nullopt;
    return groups_[--at_];
}

std::optional<int> GroupTrail::forward() {
    if (!canGoForward())
        return std::nullopt;
    return groups_[++at_];
}

}  // namespace om
