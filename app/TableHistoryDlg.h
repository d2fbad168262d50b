// File > Table History...: every table kept for the open ROM, newest first
// (its number, time, writer and the groups it changed), and the differences
// of the selected one from the table in the editor. "Restore" asks the
// window to put it into the editor as unsaved edits; the dialog writes
// nothing.
#pragma once

#include <QDialog>
#include <vector>

#include "romdata/BattleAnimData.h"
#include "romdata/TableHistory.h"

class QLabel;
class QPushButton;
class QTreeView;
class QTreeWidget;

namespace om {

class TableHistoryDlg : public QDialog {
    Q_OBJECT
public:
    // editorTable: the table the editor holds as the dialog opens; the
    // dialog is modal, so it holds until it closes.
    TableHistoryDlg(std::vector<TableVersion> versions, const GroupValuesTable& editorTable,
                    QWidget* owner);

    QTreeView* versionList() const { return versions_; }
    QTreeWidget* differenceList() const { return differences_; }
    // The number of the version selected; 0 for none.
    int selectedVersion() const;
    const TableVersion* version(int number) const;

    // A version's time as the window shows it (local time) and as the
    // undo step names it ("14:02").
    static QString TimeText(std::int64_t time);
    static QString ClockText(std::int64_t time);

signals:
    // Restore was clicked with this version selected.
    void restoreRequested(int number);

private:
    void showDifferences();

    std::vector<TableVersion> all_;
    GroupValuesTable editor_;
    QTreeView* versions_ = nullptr;
    QTreeWidget* differences_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* restore_ = nullptr;
};

}  // namespace om
