#include "app/EditHistory.h"

#include <QFileInfo>
#include <QUndoStack>
#include <QWidget>
#include <utility>

#include "pickers/LayerEditing.h"

namespace om {

namespace {

// The id QUndoStack merges by: typing joins the open typing step.
constexpr int kTypingStepId = 1;

}  // namespace

// One step: each listed group's values before and after it.
class GroupValuesStep : public QUndoCommand {
public:
    GroupValuesStep(EditHistory& history, const QString& text,
                    std::vector<EditHistory::Change> changes, bool alreadyDone)
        : QUndoCommand(text), history_(history), changes_(std::move(changes)),
          skipRedo_(alreadyDone) {}

    // Typing; it joins the step on top when that is the open typing step.
    void setTyping(bool joins) {
        typing_ = true;
        joins_ = joins;
    }

    int id() const override { return typing_ ? kTypingStepId : -1; }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const GroupValuesStep*>(other);
        if (!next->joins_ || next->changes_.front().group != changes_.front().group)
            return false;
        changes_.front().after = next->changes_.front().after;
        // Typed back to what it was: no step at all.
        if (changes_.front().after == changes_.front().before) {
            setObsolete(true);
            history_.typingOpen_ = false;
        }
        return true;
    }

    void undo() override { history_.Apply(changes_, false); }
    void redo() override {
        // A picked or typed change is on screen already when it is pushed.
        if (std::exchange(skipRedo_, false))
            return;
        history_.Apply(changes_, true);
    }

private:
    EditHistory& history_;
    std::vector<EditHistory::Change> changes_;
    bool skipRedo_;
    bool typing_ = false;
    bool joins_ = false;
};

EditHistory::EditHistory(QUndoStack* stack, BattleAnimData& data, LayerEditor& editor,
                         const DisplayOrderArray& order, QObject* parent)
    : QObject(parent), stack_(stack), data_(data), editor_(editor), order_(order) {}

GroupValues EditHistory::Values(int g) const {
    if (romOpen_ && g == editor_.shownGroup())
        return editor_.FieldValues();
    return ValuesOf(data_.record(g));
}

GroupValuesTable EditHistory::Table() const {
    GroupValuesTable table;
    for (int g = 0; g < kGroupCount; ++g)
        table[static_cast<std::size_t>(g)] = ValuesOf(data_.record(g));
    if (romOpen_)
        table[static_cast<std::size_t>(editor_.shownGroup())] = editor_.FieldValues();
    return table;
}

std::vector<int> EditHistory::ChangedGroups() const {
    std::vector<int> groups;
    if (!romOpen_)
        return groups;
    const GroupValuesTable now = Table();
    for (int g = 0; g < kGroupCount; ++g)
        if (now[static_cast<std::size_t>(g)] != saved_[static_cast<std::size_t>(g)])
            groups.push_back(g);
    return groups;
}

void EditHistory::Reset(bool romOpen) {
    stack_->clear();
    romOpen_ = romOpen;
    typingOpen_ = false;
    trackedGroup_ = -1;
    saved_ = Table();
    Refresh();
}

void EditHistory::Saved(bool reachedFile) {
    typingOpen_ = false;
    if (reachedFile && romOpen_) {
        saved_ = Table();
        stack_->setClean();
    }
    Refresh();
}

void EditHistory::Track() {
    trackedGroup_ = editor_.shownGroup();
    tracked_ = editor_.FieldValues();
}

void EditHistory::OnGroupChosen() {
    typingOpen_ = false;
    Track();
}

void EditHistory::Record(bool typing) {
    if (!romOpen_)
        return;
    const int g = editor_.shownGroup();
    // A group shown by the program since the last step shows its record.
    const GroupValues before = trackedGroup_ == g ? tracked_ : ValuesOf(data_.record(g));
    Track();
    if (tracked_ == before)
        return;
    auto* step = new GroupValuesStep(*this, QStringLiteral("Change Group %1").arg(g),
                                     {{g, before, tracked_}}, true);
    if (typing)
        step->setTyping(typingOpen_);
    // Typing stays open unless a merge found it typed back to the start.
    typingOpen_ = typing;
    stack_->push(step);  // a merged step is deleted here
    Refresh();
}

void EditHistory::Push(const QString& text, const std::vector<GroupValuesChange>& values) {
    if (!romOpen_)
        return;
    std::vector<Change> changes;
    for (const GroupValuesChange& v : values) {
        const GroupValues before = Values(v.group);
        if (before != v.values)
            changes.push_back({v.group, before, v.values});
    }
    if (changes.empty())
        return;
    typingOpen_ = false;
    stack_->push(new GroupValuesStep(*this, text, std::move(changes), false));
}

void EditHistory::Apply(const std::vector<Change>& changes, bool after) {
    // The shown group's record takes what its fields show, then every group
    // of the step takes its values, and the first is shown.
    editor_.StoreFieldsToCurrentGroup();
    for (const Change& c : changes)
        SetValues(data_.record(c.group), after ? c.after : c.before);
    editor_.SelectGroup(PositionOfGroup(order_, changes.front().group), false);
    typingOpen_ = false;
    Track();
    Refresh();
}

void ShowRomInTitle(QWidget* window, const QString& path) {
    const QString program = QStringLiteral("Orbitmarsh Battle Animation Editor");
    if (path.isEmpty()) {
        // No placeholder, so no mark.
        window->setWindowModified(false);
        window->setWindowFilePath(QString());
        window->setWindowTitle(program);
        return;
    }
    const QFileInfo file(path);
    window->setWindowFilePath(file.absoluteFilePath());
    // A "[*]" of the file's own name is doubled, so it shows as it is.
    QString name = file.fileName();
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    window->setWindowTitle(name + QStringLiteral("[*] - ") + program);
}

void EditHistory::Refresh() {
    const bool unsaved = !ChangedGroups().empty();
    const bool changed = unsaved != unsaved_;
    unsaved_ = unsaved;
    emit valuesChanged();
    if (changed)
        emit unsavedChanged(unsaved_);
}

}  // namespace om
