#include "app/TableHistoryDlg.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
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

QString GroupsText(const std::vector<int>& groups) {
    QStringList numbers;
    for (int g : groups)
        numbers << QString::number(g);
    return numbers.join(QLatin1Char(' '));
}

int Background(std::int32_t lo, std::int32_t hi) { return (lo & 0xFF) + 256 * (hi & 0xFF); }

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

    versions_ = MakeList(this, {QStringLiteral("Version"), QStringLiteral("Time"),
                                QStringLiteral("Written by"), QStringLiteral("Groups changed"),
                                QStringLiteral("Group numbers")});
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

    // Newest first, built in one go.
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(all_.size()));
    for (auto v = all_.rbegin(); v != all_.rend(); ++v) {
        auto* row = new QTreeWidgetItem(
            {QString::number(v->number), TimeText(v->time), QString::fromStdString(v->writer),
             QString::number(v->changed.size()), GroupsText(v->changed)});
        row->setData(0, Qt::UserRole, v->number);
        rows.append(row);
    }
    versions_->addTopLevelItems(rows);
    connect(versions_, &QTreeWidget::currentItemChanged, this, &TableHistoryDlg::showDifferences);
    if (!rows.isEmpty())
        versions_->setCurrentItem(rows.front());
    restore_->setEnabled(!rows.isEmpty());
    showDifferences();
}

int TableHistoryDlg::selectedVersion() const {
    const QTreeWidgetItem* row = versions_->currentItem();
    return row ? row->data(0, Qt::UserRole).toInt() : 0;
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
