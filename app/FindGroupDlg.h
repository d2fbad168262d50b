// The Find Group window: every group in a table (number, description, the
// background numbers of both layers as the editor holds them), narrowed by
// the filter typed above it. A tool window of the main window, never modal;
// choosing a row selects that group in the main window. Several rows can be
// selected (Shift and Ctrl clicks, Ctrl+A) and changed at once with the
// buttons under the table or the rows' right-click menu.
#pragma once

#include <QDialog>
#include <QList>
#include <functional>
#include <initializer_list>

#include "catalogue/GroupFilter.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

class QMenu;

namespace om {

class GroupTableModel;
class GroupFilterProxy;

// Where the window reads what it shows: whether a ROM is open, and one
// group's facts with the values the editor holds now (edits not yet
// stored or saved included).
struct GroupSource {
    std::function<bool()> romOpen;
    std::function<GroupFacts(int group)> facts;
};

class FindGroupDlg : public QDialog {
    Q_OBJECT
public:
    FindGroupDlg(GroupSource source, QWidget* owner);
    ~FindGroupDlg() override;

    // Shows the window, raised, with the keyboard focus in the filter
    // field. A filter, when given, replaces the one typed.
    void present(const QString& filter = QString());

    // Every row anew: a ROM was opened or closed.
    void refreshAll();
    // The rows whose values changed, whichever: an undo or redo may set
    // many groups at once (the restored unsaved edits).
    void refreshChanged();

    QLineEdit* filterField() const { return filter_; }
    QTableView* table() const { return table_; }
    QLabel* countLine() const { return count_; }
    // The group of a row of the table as it is shown (sorted, filtered).
    int groupAtRow(int row) const;
    int rowCount() const;
    // The groups of the selected rows, ascending.
    QList<int> selectedGroups() const;

signals:
    // A row was chosen with Enter or a double-click.
    void groupChosen(int group);
    // "Set Layer N Background..." (layer 1 or 2) or "Paste Entry into
    // Selected Groups" was chosen for the selected rows' groups.
    void setLayerRequested(int layer, const QList<int>& groups);
    void pasteEntryRequested(const QList<int>& groups);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void applyFilter();
    void updateCountLine();
    void chooseCurrentRow();
    void rowMenu(const QPoint& at);
    void updateSelectionCommands();

    GroupTableModel* model_ = nullptr;
    GroupFilterProxy* proxy_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* setLayer1_ = nullptr;
    QPushButton* setLayer2_ = nullptr;
    QPushButton* pasteEntry_ = nullptr;
};

// Adds "Groups Using This Background" to the right-click menu of each of
// widgets (a layer's picker and its two byte fields; a field keeps its usual
// editing entries above it); lookUp runs when it is chosen. With browse,
// "Browse Backgrounds..." follows it and runs browse. extend, when given,
// adds further entries below a separator each time a menu opens.
void AddBackgroundLookup(std::initializer_list<QWidget*> widgets, const std::function<void()>& lookUp,
                         const std::function<void()>& browse = {},
                         const std::function<void(QMenu*)>& extend = {});

}  // namespace om
