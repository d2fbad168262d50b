#include "app/FindGroupDlg.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/GroupListRoles.h"
#include "app/ToolWindowGeometry.h"
#include "res/ResourceIds.h"
#include "romdata/RomLayout.h"

namespace om {

namespace {

enum Column { kGroupColumn, kDescriptionColumn, kLayer1Column, kLayer2Column, kColumnCount };

// Where the window's place is kept in the settings.
const QString kPlaceKey = QStringLiteral("FindGroup");

constexpr const char* kHeaders[kColumnCount] = {"Group", "Description", "Layer 1", "Layer 2"};

void Identify(QObject* o, const char* name, int id) {
    o->setObjectName(QString::fromLatin1(name));
    o->setProperty(qobject_cast<QAction*>(o) ? "commandId" : "controlId", id);
}

// A small filled dot, in the palette's highlight colour.
QPixmap ChangedMark() {
    static const QPixmap mark = [] {
        QPixmap p(8, 8);
        p.fill(Qt::transparent);
        QPainter painter(&p);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QGuiApplication::palette().color(QPalette::Highlight));
        painter.drawEllipse(QRectF(0.5, 0.5, 7, 7));
        return p;
    }();
    return mark;
}

QAction* AddCommand(QMenu* menu, const char* name, int id, const QString& text) {
    QAction* a = menu->addAction(text);
    Identify(a, name, id);
    return a;
}

}  // namespace

// One row per group, in group order; none while no ROM is open.
class GroupTableModel : public QAbstractTableModel {
public:
    GroupTableModel(GroupSource source, QObject* parent)
        : QAbstractTableModel(parent), source_(std::move(source)) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kColumnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount())
            return {};
        const GroupFacts& f = facts(index.row());
        // The number of a group changed from the original ROM carries a mark.
        if (index.column() == kGroupColumn && role == kGroupChangedRole)
            return f.changed;
        if (index.column() == kGroupColumn && role == Qt::DecorationRole)
            return f.changed ? QVariant(ChangedMark()) : QVariant();
        if (index.column() == kGroupColumn && role == Qt::ToolTipRole && f.changed)
            return QStringLiteral("Changed from the original ROM");
        if (role == Qt::TextAlignmentRole)
            return index.column() == kDescriptionColumn
                       ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                       : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return {};
        // Numbers stay numbers, so that the columns sort by value.
        switch (index.column()) {
        case kGroupColumn:
            return f.group;
        case kDescriptionColumn:
            return f.description;
        case kLayer1Column:
            return f.layer1;
        default:
            return f.layer2;
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && section >= 0 && section < kColumnCount) {
            if (role == Qt::DisplayRole)
                return QString::fromLatin1(kHeaders[section]);
            // A first click on a header sorts up, whatever the style.
            if (role == Qt::InitialSortOrderRole)
                return int(Qt::AscendingOrder);
        }
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    const GroupFacts& facts(int row) const { return rows_[static_cast<std::size_t>(row)]; }

    void reload() {
        beginResetModel();
        rows_.clear();
        if (source_.romOpen()) {
            rows_.reserve(kGroupCount);
            for (int g = 0; g < kGroupCount; ++g)
                rows_.push_back(source_.facts(g));
        }
        endResetModel();
    }

    void reloadGroup(int g) {
        if (g < 0 || g >= rowCount())
            return;
        GroupFacts now = source_.facts(g);
        GroupFacts& row = rows_[static_cast<std::size_t>(g)];
        if (now.layer1 == row.layer1 && now.layer2 == row.layer2 &&
            now.description == row.description && now.changed == row.changed)
            return;
        row = std::move(now);
        emit dataChanged(index(g, 0), index(g, kColumnCount - 1));
    }

private:
    GroupSource source_;
    std::vector<GroupFacts> rows_;
};

// Keeps the rows the filter matches.
class GroupFilterProxy : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setFilter(GroupFilter filter) {
        filter_ = std::move(filter);
        invalidateFilter();
    }
    const GroupFilter& filter() const { return filter_; }

protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override {
        return filter_.matches(static_cast<const GroupTableModel*>(sourceModel())->facts(row));
    }

private:
    GroupFilter filter_;
};

FindGroupDlg::FindGroupDlg(GroupSource source, QWidget* owner) : QDialog(owner) {
    Identify(this, "IDD_FIND_GROUP", IDD_FIND_GROUP);
    setWindowTitle(QStringLiteral("Find Group"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (owner)
        setFont(owner->font());

    filter_ = new QLineEdit(this);
    Identify(filter_, "IDC_FIND_FILTER", IDC_FIND_FILTER);
    filter_->setClearButtonEnabled(true);
    filter_->setPlaceholderText(QStringLiteral("words, 212, #212, l1:N, l2:N, bg:N, changed"));
    filter_->installEventFilter(this);

    model_ = new GroupTableModel(std::move(source), this);
    proxy_ = new GroupFilterProxy(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);

    table_ = new QTableView(this);
    Identify(table_, "IDC_FIND_TABLE", IDC_FIND_TABLE);
    table_->setModel(proxy_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->setSortingEnabled(true);
    table_->sortByColumn(kGroupColumn, Qt::AscendingOrder);
    table_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Column widths from the font, not from measuring 485 rows.
    QHeaderView* header = table_->horizontalHeader();
    const QFontMetrics metrics(font());
    for (int c : {kGroupColumn, kLayer1Column, kLayer2Column})
        header->resizeSection(c, metrics.horizontalAdvance(QStringLiteral("Layer 1 WW")));
    header->setSectionResizeMode(kDescriptionColumn, QHeaderView::Stretch);
    table_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);

    count_ = new QLabel(this);
    // It quotes the term typed: shown as text, never read as markup.
    count_->setTextFormat(Qt::PlainText);
    Identify(count_, "IDC_FIND_COUNT", IDC_FIND_COUNT);

    // What changes the selected rows' groups.
    const auto button = [this](const char* name, int id, const char* text) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        Identify(b, name, id);
        b->setAutoDefault(false);
        // The row does not set the window's least width: on a small screen
        // the window must fit beside the main window, and the buttons then
        // shrink (their text stays the tooltip and the rows' menu's).
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("Set Layer")));
        b->setToolTip(QString::fromLatin1(text).remove(QLatin1Char('&')));
        return b;
    };
    setLayer1_ = button("IDC_FIND_SETLAYER1", IDC_FIND_SETLAYER1, "Set Layer &1 Background...");
    setLayer2_ = button("IDC_FIND_SETLAYER2", IDC_FIND_SETLAYER2, "Set Layer &2 Background...");
    pasteEntry_ = button("IDC_FIND_PASTEENTRY", IDC_FIND_PASTEENTRY,
                         "&Paste Entry into Selected Groups");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setLayer1_);
    buttons->addWidget(setLayer2_);
    buttons->addWidget(pasteEntry_);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    layout->addWidget(count_);
    resize(metrics.horizontalAdvance(QLatin1Char('x')) * 80, metrics.height() * 30);

    connect(filter_, &QLineEdit::textChanged, this, &FindGroupDlg::applyFilter);
    connect(filter_, &QLineEdit::returnPressed, this, &FindGroupDlg::chooseCurrentRow);
    connect(table_, &QTableView::activated, this, &FindGroupDlg::chooseCurrentRow);
    connect(table_, &QTableView::customContextMenuRequested, this, &FindGroupDlg::rowMenu);
    connect(setLayer1_, &QPushButton::clicked, this,
            [this] { emit setLayerRequested(1, selectedGroups()); });
    connect(setLayer2_, &QPushButton::clicked, this,
            [this] { emit setLayerRequested(2, selectedGroups()); });
    connect(pasteEntry_, &QPushButton::clicked, this,
            [this] { emit pasteEntryRequested(selectedGroups()); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FindGroupDlg::updateSelectionCommands);
    // Ctrl+F inside the window goes back to the filter.
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] { present(); });

    model_->reload();
    updateCountLine();
    updateSelectionCommands();
}

FindGroupDlg::~FindGroupDlg() {
    if (isVisible())
        RememberPlace(this, kPlaceKey);
}

QList<int> FindGroupDlg::selectedGroups() const {
    QList<int> groups;
    for (const QModelIndex& row : table_->selectionModel()->selectedRows(kGroupColumn))
        groups.append(row.data().toInt());
    std::sort(groups.begin(), groups.end());
    return groups;
}

void FindGroupDlg::updateSelectionCommands() {
    const bool any = table_->selectionModel()->hasSelection();
    for (QPushButton* b : {setLayer1_, setLayer2_, pasteEntry_})
        b->setEnabled(any);
}

void FindGroupDlg::present(const QString& filter) {
    if (!filter.isNull())
        filter_->setText(filter);
    ShowBesideOwner(this, parentWidget(), kPlaceKey);
    raise();
    activateWindow();
    filter_->setFocus(Qt::ShortcutFocusReason);
    filter_->selectAll();
    // Asked again once the window system has the window: an activation
    // asked for while it is being shown can be lost, and the keyboard
    // would stay with the editor.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !isActiveWindow())
            activateWindow();
    });
}

void FindGroupDlg::refreshChanged() {
    for (int g = 0; g < model_->rowCount(); ++g)
        model_->reloadGroup(g);
    updateCountLine();
}

void FindGroupDlg::refreshAll() {
    model_->reload();
    applyFilter();
}

int FindGroupDlg::rowCount() const { return proxy_->rowCount(); }

int FindGroupDlg::groupAtRow(int row) const {
    return proxy_->index(row, kGroupColumn).data().toInt();
}

void FindGroupDlg::applyFilter() {
    proxy_->setFilter(GroupFilter::Parse(filter_->text()));
    // The first match is current, so that Enter in the field chooses it.
    if (proxy_->rowCount() > 0)
        table_->selectionModel()->setCurrentIndex(
            proxy_->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    updateCountLine();
}

void FindGroupDlg::updateCountLine() {
    if (model_->rowCount() == 0)
        count_->setText(QStringLiteral("No ROM open"));
    else if (!proxy_->filter().valid())
        count_->setText(proxy_->filter().problem());
    else
        count_->setText(
            QStringLiteral("%1 of %2 groups").arg(proxy_->rowCount()).arg(model_->rowCount()));
}

void FindGroupDlg::chooseCurrentRow() {
    const QModelIndex current = table_->currentIndex();
    if (current.isValid())
        emit groupChosen(groupAtRow(current.row()));
}

void FindGroupDlg::rowMenu(const QPoint& at) {
    const QModelIndex index = table_->indexAt(at);
    if (!index.isValid())
        return;
    const GroupFacts& f = model_->facts(proxy_->mapToSource(index).row());
    const int layer1 = f.layer1, layer2 = f.layer2;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(AddCommand(menu, "ID_GROUPS_USING_LAYER1", ID_GROUPS_USING_LAYER1,
                       QStringLiteral("Groups Using Its Layer &1 Background")),
            &QAction::triggered, this, [this, layer1] { present(LayerFilter(1, layer1)); });
    connect(AddCommand(menu, "ID_GROUPS_USING_LAYER2", ID_GROUPS_USING_LAYER2,
                       QStringLiteral("Groups Using Its Layer &2 Background")),
            &QAction::triggered, this, [this, layer2] { present(LayerFilter(2, layer2)); });
    // The changes apply to every selected row, the one clicked among them.
    menu->addSeparator();
    const QList<int> groups = selectedGroups();
    connect(AddCommand(menu, "ID_FIND_SETLAYER1", ID_FIND_SETLAYER1,
                       QStringLiteral("Set Layer 1 Background...")),
            &QAction::triggered, this, [this, groups] { emit setLayerRequested(1, groups); });
    connect(AddCommand(menu, "ID_FIND_SETLAYER2", ID_FIND_SETLAYER2,
                       QStringLiteral("Set Layer 2 Background...")),
            &QAction::triggered, this, [this, groups] { emit setLayerRequested(2, groups); });
    connect(AddCommand(menu, "ID_FIND_PASTEENTRY", ID_FIND_PASTEENTRY,
                       QStringLiteral("Paste Entry into Selected Groups")),
            &QAction::triggered, this, [this, groups] { emit pasteEntryRequested(groups); });
    menu->popup(table_->viewport()->mapToGlobal(at));
}

bool FindGroupDlg::eventFilter(QObject* watched, QEvent* event) {
    // Up and Down in the filter field move through the rows, so that a
    // row is chosen without leaving the field.
    if (watched == filter_ && PassedToList(event, table_))
        return true;
    return QDialog::eventFilter(watched, event);
}

void FindGroupDlg::hideEvent(QHideEvent* event) {
    RememberPlace(this, kPlaceKey);
    QDialog::hideEvent(event);
    HandBackToOwner(this);
}

void AddBackgroundLookup(std::initializer_list<QWidget*> widgets,
                         const std::function<void()>& lookUp, const std::function<void()>& browse,
                         const std::function<void(QMenu*)>& extend) {
    for (QWidget* w : widgets) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(w, &QWidget::customContextMenuRequested, w,
                         [w, lookUp, browse, extend](const QPoint& at) {
            QMenu* menu = nullptr;
            if (auto* field = qobject_cast<QLineEdit*>(w)) {
                menu = field->createStandardContextMenu();
                menu->addSeparator();
            } else {
                menu = new QMenu(w);
            }
            menu->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(AddCommand(menu, "ID_GROUPS_USING_BACKGROUND",
                                        ID_GROUPS_USING_BACKGROUND,
                                        QStringLiteral("&Groups Using This Background")),
                             &QAction::triggered, w, lookUp);
            if (browse)
                QObject::connect(AddCommand(menu, "ID_BROWSE_BACKGROUNDS", ID_BROWSE_BACKGROUNDS,
                                            QStringLiteral("&Browse Backgrounds...")),
                                 &QAction::triggered, w, browse);
            if (extend) {
                menu->addSeparator();
                extend(menu);
            }
            menu->popup(w->mapToGlobal(at));
        });
    }
}

}  // namespace om
