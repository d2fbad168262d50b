// The editor's history of edits, and whether they are saved.
//
// One step is one change of one group's four values: a thumbnail picked, or
// the typing in the fields of one group until another group is chosen or
// the table is saved (one step, however many keystrokes). Undo and redo
// select the group concerned, show its values in the fields and pickers and
// put them into its record. Choosing a group and changing the list's order
// are not steps. The steps live on a QUndoStack, whose actions are the Edit
// menu's Undo and Redo.
//
// What the rest of the program can rely on:
// - Values(g), Table(): a group's four values, and the whole table, as the
//   editor holds them: the fields for the group shown, the record for every
//   other group. SavedTable(): the values the file holds, as it was opened
//   or last saved.
// - IsUnsaved(): some group's values in the editor differ from the file's.
//   ChangedGroups(): those groups, in group order.
// - unsavedChanged(bool) when IsUnsaved() changes; valuesChanged() after
//   every change of any group's values (a step, an undo, a redo) and after
//   Reset() and Saved(). IsUnsaved() is already up to date when either is
//   emitted.
// - Reset(romOpen): after a ROM is opened (the records just read are what
//   the file holds) or closed: an empty history, nothing unsaved.
// - Saved(reachedFile): after Save; typing that follows is a new step.
//   When the table reached the file, this is the clean state: the values
//   are what the file holds now.
// - Push(text, values): one step that sets many groups' four values at
//   once; the push applies it. Its text names it in the Edit menu
//   ("Restore Unsaved Edits" shows as "Undo Restore Unsaved Edits"). The
//   first group listed is the one shown after the step, its undo and its
//   redo; groups whose values are already those listed are left out, and
//   nothing is pushed when none is left.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "catalogue/GroupOrder.h"
#include "romdata/BattleAnimData.h"

class QUndoStack;
class QWidget;

namespace om {

class LayerEditor;
class GroupValuesStep;

struct GroupValuesChange {
    int group = 0;
    GroupValues values{};
};

class EditHistory : public QObject {
    Q_OBJECT
public:
    EditHistory(QUndoStack* stack, BattleAnimData& data, LayerEditor& editor,
                const DisplayOrderArray& order, QObject* parent = nullptr);

    QUndoStack* stack() const { return stack_; }

    GroupValues Values(int g) const;
    GroupValuesTable Table() const;
    const GroupValuesTable& SavedTable() const { return saved_; }
    bool IsUnsaved() const { return unsaved_; }
    std::vector<int> ChangedGroups() const;

    void Reset(bool romOpen);
    void Saved(bool reachedFile);
    void Push(const QString& text, const std::vector<GroupValuesChange>& values);

    // What the window reports once its own handlers have run: the user
    // picked a thumbnail, typed in a field, or chose a group in the list.
    void OnPicked() { Record(false); }
    void OnTyped() { Record(true); }
    void OnGroupChosen();

signals:
    void unsavedChanged(bool unsaved);
    void valuesChanged();

private:
    friend class GroupValuesStep;
    struct Change {
        int group;
        GroupValues before;
        GroupValues after;
    };

    void Record(bool typing);
    void Apply(const std::vector<Change>& changes, bool after);
    void Track();
    void Refresh();

    QUndoStack* stack_;
    BattleAnimData& data_;
    LayerEditor& editor_;
    const DisplayOrderArray& order_;
    bool romOpen_ = false;
    bool unsaved_ = false;
    GroupValuesTable saved_{};
    // The shown group's values as of the last step, selection or undo: the
    // "before" of the next step.
    int trackedGroup_ = -1;
    GroupValues tracked_{};
    // The step on top is typing that further typing in its group joins.
    bool typingOpen_ = false;
};

// The main window's title: "Orbitmarsh Battle Animation Editor" without a
// ROM; with one, its file name and the "[*]" placeholder before it, which
// shows as "*" while the window is marked modified.
void ShowRomInTitle(QWidget* window, const QString& path);

}  // namespace om
