// What the background browser shows of one layer: one row per background
// of the layer's catalogue (the custom slot left out), in catalogue order,
// with how many groups of the open ROM show it; and the browser's filter.
// No widgets: the browser's window draws the rows.
#pragma once

#include <QAbstractListModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace om {

class BackgroundModel : public QAbstractListModel {
public:
    enum Role {
        NumberRole = Qt::UserRole + 1,  // the background number
        UsersRole,                      // groups using it; -1 without a ROM
        CurrentRole,                    // the shown group's layer shows it
    };

    explicit BackgroundModel(QObject* parent = nullptr);

    // The layer's background numbers, entry 0 first (a new set of rows).
    void setBackgrounds(std::vector<int> numbers);
    // Each group's background on this layer; empty when no ROM is open.
    void setUsage(const std::vector<int>& backgroundOfGroup);
    // The background the shown group's layer shows; -1 for none.
    void setCurrent(int background);

    int rowCount(const QModelIndex& parent = {}) const override;
    // Display: the number, and under it "no group", "1 group", "12 groups"
    // (the number alone without a ROM).
    QVariant data(const QModelIndex& index, int role) const override;

    // The row (the catalogue entry) of background n, or -1.
    int rowOf(int background) const;
    int currentRow() const { return rowOf(current_); }
    int numberAt(int row) const { return numbers_[static_cast<std::size_t>(row)]; }
    int usersAt(int row) const;

private:
    std::vector<int> numbers_;
    std::vector<int> users_;  // per row; empty without a ROM
    int current_ = -1;
};

// The filter field's text, read:
//   300, 0x12C   the whole text one number: every cell shown, that one chosen
//   used         only backgrounds some group uses
//   unused       only backgrounds no group uses
//   anything else: words that must all be in the cell's text (any case)
struct BackgroundFilter {
    std::optional<int> jumpTo;
    bool onlyUsed = false;
    bool onlyUnused = false;
    QStringList words;

    static BackgroundFilter Parse(const QString& text);
    bool matches(const QString& cellText, int users) const;
};

// The rows of a BackgroundModel the filter keeps.
class BackgroundFilterProxy : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setFilter(BackgroundFilter filter);
    const BackgroundFilter& filter() const { return filter_; }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

private:
    BackgroundFilter filter_;
};

}  // namespace om
