#include "app/TableHistoryDlg.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "app/DialogLayout.h"
#include "res/ResourceIds.h"

namespace om {

namespace {

// Tests find the dialog's parts by their identifiers.
void Identify(QWidget* w, const char* name, int id) {
    w->setObjectName(QString::fromLatin1(name));
    w->setProperty("controlId", id);
}

QTreeWidget* MakeList(QWidget* parent, const QStringList& headers) {
    auto* list = new QTreeWidget(parent);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels(headers);
    return list;
}

// The versions, newest first, each row's text made only when the view asks
// for it: a history of thousands of versions opens as fast as one of ten.
class VersionModel : public QAbstractTableModel {
public:
    VersionModel(const std::vector<TableVersion>& versions, QObject* parent)
        : QAbstractTableModel(parent), versions_(versions) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(versions_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 5; }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const char* const kHeaders[] = {"Version", "Time", "Written by", "Groups changed",
                                               "Group numbers"};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 5)
            return {};
        return QString::fromLatin1(kHeaders[section]);
    }
    QVariant data(const QModelIndex& index, int role) const override;
    // The version shown in a row (row 0: the newest).
    const TableVersion& at(int row) const { return versions_[versions_.size() - 1 - std::size_t(row)]; }

private:
    const std::vector<TableVersion>& versions_;
};

QString GroupsText(const std::vector<int>& groups) {
    QStringList numbers;
    for (int g : groups)
        numbers << QString::number(g);
    return numbers.join(QLatin1Char(' '));
}

int Background(std::int32_t lo, std::int32_t hi) { return (lo & 0xFF) + 256 * (hi & 0xFF); }

QVariant VersionModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TableVersion& v = at(index.row());
    if (role == Qt::UserRole)
        return v.number;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0: return QString::number(v.number);
    case 1: return TableHistoryDlg::TimeText(v.time);
    case 2: return QString::fromStdString(v.writer);
    case 3: return QString::number(v.changed.size());
    default: return GroupsText(v.changed);
    }
}

}  // namespace

QString TableHistoryDlg::TimeText(std::int64_t time) {
    return QDateTime::fromSecsSinceEpoch(time).toLocalTime().toString(
        QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString TableHistoryDlg::ClockText(std::int64_t time) {
    return QDateTime::fromSecsSinceEpoch(time).toLocalTime().toString(QStringLiteral("HH:mm"));
}

TableHistoryDlg::TableHistoryDlg(std::vector<TableVersion> versions,
                                 const GroupValuesTable& editorTable, QWidget* owner)
    : QDialog(owner), all_(std::move(versions)), editor_(editorTable) {
    Identify(this, "IDD_TABLE_HISTORY", IDD_TABLE_HISTORY);
    setWindowTitle(QStringLiteral("Table History"));
    if (owner)
        setFont(owner->font());

    versions_ = new QTreeView(this);
    versions_->setRootIsDecorated(false);
    versions_->setUniformRowHeights(true);
    versions_->setSelectionMode(QAbstractItemView::SingleSelection);
    versions_->setSelectionBehavior(QAbstractItemView::SelectRows);
    versions_->setModel(new VersionModel(all_, versions_));
    Identify(versions_, "IDC_TABLEHISTORY_VERSIONS", IDC_TABLEHISTORY_VERSIONS);
    summary_ = new QLabel(this);
    Identify(summary_, "IDC_TABLEHISTORY_SUMMARY", IDC_TABLEHISTORY_SUMMARY);
    differences_ = MakeList(this, {QStringLiteral("Group"), QStringLiteral("Layer 1 in editor"),
                                   QStringLiteral("Layer 1 in version"),
                                   QStringLiteral("Layer 2 in editor"),
                                   QStringLiteral("Layer 2 in version")});
    Identify(differences_, "IDC_TABLEHISTORY_DIFFERENCES", IDC_TABLEHISTORY_DIFFERENCES);

    auto* buttons = new QDialogButtonBox(this);
    restore_ = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::ActionRole);
    Identify(restore_, "IDC_TABLEHISTORY_RESTORE", IDC_TABLEHISTORY_RESTORE);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    Identify(close, "IDCANCEL", IDCANCEL);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(restore_, &QPushButton::clicked, this, [this] {
        if (const int n = selectedVersion())
            emit restoreRequested(n);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(versions_, 3);
    layout->addWidget(summary_);
    layout->addWidget(differences_, 2);
    layout->addWidget(buttons);
    const QFontMetrics metrics(font());
    resize(metrics.horizontalAdvance(QLatin1Char('x')) * 90, metrics.height() * 32);

    connect(versions_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TableHistoryDlg::showDifferences);
    if (!all_.empty())
        versions_->setCurrentIndex(versions_->model()->index(0, 0));
    restore_->setEnabled(!all_.empty());
    showDifferences();
}

int TableHistoryDlg::selectedVersion() const {
    const QModelIndex row = versions_->currentIndex();
    return row.isValid() ? row.siblingAtColumn(0).data(Qt::UserRole).toInt() : 0;
}

const TableVersion* TableHistoryDlg::version(int number) const {
    if (number < 1 || number > int(all_.size()))
        return nullptr;
    return &all_[std::size_t(number - 1)];
}

void TableHistoryDlg::showDifferences() {
    differences_->clear();
    const TableVersion* v = version(selectedVersion());
    if (!v) {
        summary_->setText(all_.empty() ? QStringLiteral("No table of this ROM is kept yet.")
                                       : QString());
        return;
    }
    QList<QTreeWidgetItem*> rows;
    for (int g = 0; g < kGroupCount; ++g) {
        const GroupValues& now = editor_[std::size_t(g)];
        const std::uint8_t* e = v->table.data() + std::size_t(g) * kEntrySize;
        const int l1 = Background(now[0], now[1]), l2 = Background(now[2], now[3]);
        const int v1 = Background(e[0], e[1]), v2 = Background(e[2], e[3]);
        if (l1 == v1 && l2 == v2)
            continue;
        rows.append(new QTreeWidgetItem({QString::number(g), QString::number(l1),
                                         QString::number(v1), QString::number(l2),
                                         QString::number(v2)}));
    }
    differences_->addTopLevelItems(rows);
    summary_->setText(rows.isEmpty()
                          ? QStringLiteral("Version %1 is the table in the editor.").arg(v->number)
                          : QStringLiteral("Version %1 differs from the table in the editor in "
                                           "%2 groups:")
                                .arg(v->number)
                                .arg(rows.size()));
}

}  // namespace om
