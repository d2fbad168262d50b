#include "catalogue/BackgroundModel.h"

#include <algorithm>
#include <map>

#include "catalogue/GroupFilter.h"

namespace om {

BackgroundModel::BackgroundModel(QObject* parent) : QAbstractListModel(parent) {}

void BackgroundModel::setBackgrounds(std::vector<int> numbers) {
    beginResetModel();
    numbers_ = std::move(numbers);
    users_.clear();
    current_ = -1;
    endResetModel();
}

void BackgroundModel::setUsage(const std::vector<int>& backgroundOfGroup) {
    std::vector<int> users;
    if (!backgroundOfGroup.empty()) {
        std::map<int, int> count;
        for (int b : backgroundOfGroup)
            ++count[b];
        users.reserve(numbers_.size());
        for (int n : numbers_) {
            const auto it = count.find(n);
            users.push_back(it == count.end() ? 0 : it->second);
        }
    }
    if (users == users_)
        return;
    users_ = std::move(users);
    if (!numbers_.empty())
        emit dataChanged(index(0), index(rowCount() - 1));
}

void BackgroundModel::setCurrent(int background) {
    if (background == current_)
        return;
    const int before = currentRow();
    current_ = background;
    for (int row : {before, currentRow()})
        if (row >= 0)
            emit dataChanged(index(row), index(row), {CurrentRole});
}

int BackgroundModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(numbers_.size());
}

int BackgroundModel::usersAt(int row) const {
    return users_.empty() ? -1 : users_[static_cast<std::size_t>(row)];
}

int BackgroundModel::rowOf(int background) const {
    const auto it = std::find(numbers_.begin(), numbers_.end(), background);
    return it == numbers_.end() || background < 0 ? -1 : int(it - numbers_.begin());
}

QVariant BackgroundModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole: {
        const int users = usersAt(row);
        const QString number = QString::number(numberAt(row));
        if (users < 0)
            return number;
        return number + QLatin1Char('\n') +
               (users == 0   ? QStringLiteral("no group")
                : users == 1 ? QStringLiteral("1 group")
                             : QStringLiteral("%1 groups").arg(users));
    }
    case NumberRole:
        return numberAt(row);
    case UsersRole:
        return usersAt(row);
    case CurrentRole:
        return numberAt(row) == current_;
    default:
        return {};
    }
}

BackgroundFilter BackgroundFilter::Parse(const QString& text) {
    BackgroundFilter f;
    const QString trimmed = text.trimmed();
    if (const auto n = ParseFilterNumber(trimmed, kMaxBackgroundNumber)) {
        f.jumpTo = n;
        return f;
    }
    for (const QString& word : trimmed.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word.compare(QLatin1String("used"), Qt::CaseInsensitive) == 0)
            f.onlyUsed = true;
        else if (word.compare(QLatin1String("unused"), Qt::CaseInsensitive) == 0)
            f.onlyUnused = true;
        else
            f.words.append(word);
    }
    return f;
}

bool BackgroundFilter::matches(const QString& cellText, int users) const {
    // Without a ROM nothing is used, and nothing unused either.
    if (onlyUsed && users <= 0)
        return false;
    if (onlyUnused && users != 0)
        return false;
    return std::all_of(words.begin(), words.end(), [&](const QString& w) {
        return cellText.contains(w, Qt::CaseInsensitive);
    });
}

void BackgroundFilterProxy::setFilter(BackgroundFilter filter) {
    filter_ = std::move(filter);
    invalidateFilter();
}

bool BackgroundFilterProxy::filterAcceptsRow(int row, const QModelIndex& parent) const {
    const QModelIndex i = sourceModel()->index(row, 0, parent);
    return filter_.matches(i.data(Qt::DisplayRole).toString(),
                           i.data(BackgroundModel::UsersRole).toInt());
}

}  // namespace om
