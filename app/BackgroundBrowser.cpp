#include "app/BackgroundBrowser.h"
#include "app/SafeSettings.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "app/ToolWindowGeometry.h"
#include "catalogue/BackgroundModel.h"
#include "pickers/BuildLayerPickers.h"
#include "pickers/Widgets.h"
#include "res/ResourceIds.h"

namespace om {

namespace {

const QString kPlaceKey = QStringLiteral("BackgroundBrowser");
const QString kPercentKey = QStringLiteral("BackgroundBrowser/CellPercent");

// Space around a cell's picture and text, and the current cell's mark.
constexpr int kPad = 6;
constexpr int kMarkWidth = 3;
// One notch of the wheel with Ctrl held, in percent of the picker's size.
constexpr int kWheelStep = 10;

void Identify(QObject* o, const char* name, int id) {
    o->setObjectName(QString::fromLatin1(name));
    o->setProperty(qobject_cast<QAction*>(o) ? "commandId" : "controlId", id);
}

}  // namespace

// Draws a cell: the thumbnail at the cell size, the current background's
// mark around it, and the number and count under it.
class BackgroundCellDelegate : public QStyledItemDelegate {
public:
    BackgroundCellDelegate(BackgroundBrowser* browser)
        : QStyledItemDelegate(browser), browser_(browser) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return cellSize();
    }

    QSize cellSize() const {
        const QFontMetrics m(browser_->font());
        const QSize t = browser_->thumbnailSize();
        const int text = m.horizontalAdvance(QStringLiteral("485 groups"));
        return QSize(std::max(t.width(), text) + 2 * kPad, t.height() + 3 * kPad + 2 * m.lineSpacing());
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        initStyleOption(&o, index);
        const QWidget* w = o.widget;
        // The selection's and the focus's look from the style, without text.
        o.text.clear();
        o.features &= ~QStyleOptionViewItem::HasDecoration;
        (w ? w->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &o, p, w);

        const QRect cell = option.rect;
        const QSize t = browser_->thumbnailSize();
        const QRect picture(cell.left() + (cell.width() - t.width()) / 2, cell.top() + kPad, t.width(),
                            t.height());
        const QPixmap& pixmap = thumbnail(browser_->proxy_->mapToSource(index).row());
        if (!pixmap.isNull())
            p->drawPixmap(picture.topLeft(), pixmap);
        if (index.data(BackgroundModel::CurrentRole).toBool()) {
            p->save();
            p->setPen(QPen(option.palette.color(QPalette::Link), kMarkWidth));
            p->setBrush(Qt::NoBrush);
            p->drawRect(picture.adjusted(-1, -1, 0, 0));
            p->restore();
        }
        const bool selected = option.state & QStyle::State_Selected;
        p->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect text(cell.left(), picture.bottom() + kPad, cell.width(),
                         cell.bottom() - picture.bottom() - kPad);
        p->drawText(text, Qt::AlignHCenter | Qt::AlignTop, index.data(Qt::DisplayRole).toString());
    }

private:
    // The entry's thumbnail scaled to the cell, made on first use.
    const QPixmap& thumbnail(int entry) const {
        static const QPixmap none;
        const ImageList* images = browser_->source_.images(browser_->layer());
        if (!images || entry < 0 || entry >= images->count())
            return none;
        auto& cache = browser_->scaled_;
        if (cache.size() != static_cast<std::size_t>(images->count()))
            cache.assign(static_cast<std::size_t>(images->count()), QPixmap());
        QPixmap& scaled = cache[static_cast<std::size_t>(entry)];
        if (scaled.isNull())
            scaled = images->image(entry).scaled(browser_->thumbnailSize(), Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation);
        return scaled;
    }

    BackgroundBrowser* browser_;
};

BackgroundBrowser::BackgroundBrowser(BackgroundSource source, QWidget* owner)
    : QDialog(owner), source_(std::move(source)) {
    Identify(this, "IDD_BACKGROUND_BROWSER", IDD_BACKGROUND_BROWSER);
    setWindowTitle(QStringLiteral("Backgrounds"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    if (owner)
        setFont(owner->font());
    percent_ = std::clamp(SettingValue(kPercentKey, kDefaultPercent).toInt(), kMinPercent,
                          kMaxPercent);

    filter_ = new QLineEdit(this);
    Identify(filter_, "IDC_BROWSER_FILTER", IDC_BROWSER_FILTER);
    filter_->setClearButtonEnabled(true);
    filter_->setPlaceholderText(QStringLiteral("300, 0x12C, words, used, unused"));
    filter_->installEventFilter(this);

    tabs_ = new QTabBar(this);
    Identify(tabs_, "IDC_BROWSER_LAYERS", IDC_BROWSER_LAYERS);
    tabs_->addTab(QStringLiteral("Layer &1"));
    tabs_->addTab(QStringLiteral("Layer &2"));
    tabs_->setFocusPolicy(Qt::TabFocus);

    model_ = new BackgroundModel(this);
    proxy_ = new BackgroundFilterProxy(this);
    proxy_->setSourceModel(model_);

    view_ = new QListView(this);
    Identify(view_, "IDC_BROWSER_VIEW", IDC_BROWSER_VIEW);
    view_->setViewMode(QListView::IconMode);
    view_->setMovement(QListView::Static);
    view_->setResizeMode(QListView::Adjust);
    view_->setUniformItemSizes(true);
    view_->setWrapping(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setItemDelegate(new BackgroundCellDelegate(this));
    view_->setModel(proxy_);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->viewport()->installEventFilter(this);

    auto* sizeLabel = new QLabel(QStringLiteral("Si&ze:"), this);
    size_ = new QSlider(Qt::Horizontal, this);
    Identify(size_, "IDC_BROWSER_SIZE", IDC_BROWSER_SIZE);
    size_->setRange(kMinPercent, kMaxPercent);
    size_->setSingleStep(5);
    size_->setPageStep(25);
    size_->setValue(percent_);
    sizeLabel->setBuddy(size_);
    count_ = new QLabel(this);
    Identify(count_, "IDC_BROWSER_COUNT", IDC_BROWSER_COUNT);
    use_ = new QPushButton(this);
    Identify(use_, "IDC_BROWSER_USE", IDC_BROWSER_USE);
    // Enter is the filter's and the grid's, never a second use by the button.
    use_->setAutoDefault(false);

    // Small enough to fit beside the main window on a small screen.
    count_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    size_->setMinimumWidth(40);
    view_->setMinimumSize(40, 40);
    auto* top = new QHBoxLayout;
    top->addWidget(tabs_);
    top->addWidget(filter_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(sizeLabel);
    bottom->addWidget(size_, 1);
    bottom->addWidget(count_, 2);
    bottom->addWidget(use_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    layout->addLayout(bottom);

    connect(filter_, &QLineEdit::textChanged, this, &BackgroundBrowser::applyFilter);
    connect(filter_, &QLineEdit::returnPressed, this, &BackgroundBrowser::useSelected);
    connect(view_, &QListView::activated, this, &BackgroundBrowser::useSelected);
    connect(use_, &QPushButton::clicked, this, &BackgroundBrowser::useSelected);
    connect(view_, &QListView::customContextMenuRequested, this, &BackgroundBrowser::cellMenu);
    connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) { showLayer(tab + 1); });
    connect(size_, &QSlider::valueChanged, this, &BackgroundBrowser::setCellPercent);

    updateGrid();
    showLayer(1);
    // About four rows of six cells.
    const QSize cell = static_cast<BackgroundCellDelegate*>(view_->itemDelegate())->cellSize();
    resize(cell.width() * 6 + 40, cell.height() * 4 + 120);
}

BackgroundBrowser::~BackgroundBrowser() {
    if (isVisible())
        RememberPlace(this, kPlaceKey);
}

int BackgroundBrowser::layer() const { return tabs_->currentIndex() + 1; }

void BackgroundBrowser::setLayer(int layer) { tabs_->setCurrentIndex(layer - 1); }

QSize BackgroundBrowser::thumbnailSize() const {
    return QSize(kThumbnailWidth * percent_ / 100, kThumbnailHeight * percent_ / 100);
}

int BackgroundBrowser::rowCount() const { return proxy_->rowCount(); }

int BackgroundBrowser::backgroundAtRow(int row) const {
    return proxy_->index(row, 0).data(BackgroundModel::NumberRole).toInt();
}

int BackgroundBrowser::selectedBackground() const {
    const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().data(BackgroundModel::NumberRole).toInt();
}

void BackgroundBrowser::present(int layer) {
    setLayer(layer);
    ShowBesideOwner(this, parentWidget(), kPlaceKey);
    refresh();
    raise();
    activateWindow();
    filter_->setFocus(Qt::ShortcutFocusReason);
    filter_->selectAll();
    // Asked again once the window system has the window (see Find Group).
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !isActiveWindow())
            activateWindow();
    });
}

void BackgroundBrowser::showLayer(int layer) {
    model_->setBackgrounds(source_.numbers(layer));
    scaled_.clear();
    followed_ = -1;
    use_->setText(QStringLiteral("&Use for Layer %1").arg(layer));
    refresh();
    applyFilter();
}

void BackgroundBrowser::refresh() {
    const bool open = source_.romOpen();
    const int l = layer();
    model_->setUsage(open ? source_.usage(l) : std::vector<int>());
    const int current = open ? source_.current(l) : -1;
    model_->setCurrent(current);
    use_->setEnabled(open);
    // The shown group's background is followed when it changes, unless a
    // number typed into the filter holds the selection.
    if (current != followed_) {
        followed_ = current;
        const int row = model_->rowOf(current);
        if (!proxy_->filter().jumpTo && row >= 0 && proxy_->mapFromSource(model_->index(row)).isValid())
            selectRow(row);
    }
    updateCountLine();
}

void BackgroundBrowser::selectRow(int sourceRow) {
    const QModelIndex at = sourceRow >= 0 ? proxy_->mapFromSource(model_->index(sourceRow)) : QModelIndex();
    if (!at.isValid()) {
        view_->selectionModel()->clear();
        return;
    }
    view_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(at);
}

void BackgroundBrowser::applyFilter() {
    const BackgroundFilter f = BackgroundFilter::Parse(filter_->text());
    proxy_->setFilter(f);
    if (f.jumpTo) {
        selectRow(model_->rowOf(*f.jumpTo));
    } else {
        // The shown group's background when the filter keeps it, else the
        // first cell: Enter in the field uses it.
        const int current = model_->currentRow();
        if (current >= 0 && proxy_->mapFromSource(model_->index(current)).isValid())
            selectRow(current);
        else
            selectRow(proxy_->rowCount() > 0 ? proxy_->mapToSource(proxy_->index(0, 0)).row() : -1);
    }
    updateCountLine();
}

void BackgroundBrowser::updateCountLine() {
    const BackgroundFilter& f = proxy_->filter();
    if (f.jumpTo && model_->rowOf(*f.jumpTo) < 0)
        count_->setText(QStringLiteral("No background %1 on layer %2").arg(*f.jumpTo).arg(layer()));
    else
        count_->setText(QStringLiteral("%1 of %2 backgrounds").arg(proxy_->rowCount()).arg(model_->rowCount()));
}

void BackgroundBrowser::useSelected() {
    const QModelIndexList selected = view_->selectionModel()->selectedIndexes();
    if (selected.isEmpty() || !source_.romOpen())
        return;
    emit useRequested(layer(), proxy_->mapToSource(selected.first()).row());
}

void BackgroundBrowser::cellMenu(const QPoint& at) {
    const QModelIndex index = view_->indexAt(at);
    if (!index.isValid())
        return;
    const int background = index.data(BackgroundModel::NumberRole).toInt();
    const int l = layer();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* a = menu->addAction(QStringLiteral("&Groups Using This Background"));
    Identify(a, "ID_BROWSER_GROUPS_USING", ID_BROWSER_GROUPS_USING);
    connect(a, &QAction::triggered, this, [this, l, background] { emit groupsUsingRequested(l, background); });
    if (source_.cellEntries) {
        menu->addSeparator();
        source_.cellEntries(l, background, menu);
    }
    menu->popup(view_->viewport()->mapToGlobal(at));
}

void BackgroundBrowser::thumbnailsChanged(int layer) {
    if (layer != this->layer())
        return;
    scaled_.clear();
    view_->viewport()->update();
}

void BackgroundBrowser::setCellPercent(int percent) {
    percent = std::clamp(percent, kMinPercent, kMaxPercent);
    if (percent == percent_)
        return;
    percent_ = percent;
    size_->setValue(percent);
    scaled_.clear();
    updateGrid();
    SetSetting(kPercentKey, percent_);
}

void BackgroundBrowser::updateGrid() {
    const QSize cell = static_cast<BackgroundCellDelegate*>(view_->itemDelegate())->cellSize();
    view_->setIconSize(thumbnailSize());
    view_->setGridSize(cell);
    if (view_->currentIndex().isValid())
        view_->scrollTo(view_->currentIndex());
}

bool BackgroundBrowser::eventFilter(QObject* watched, QEvent* event) {
    // Up, Down and the page keys in the filter field move through the cells.
    if (watched == filter_ && PassedToList(event, view_))
        return true;
    // Ctrl and the wheel change the cell size.
    if (watched == view_->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int notches = wheel->angleDelta().y() / 120;
            setCellPercent(percent_ + notches * kWheelStep);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BackgroundBrowser::hideEvent(QHideEvent* event) {
    RememberPlace(this, kPlaceKey);
    QDialog::hideEvent(event);
    HandBackToOwner(this);
}

}  // namespace om
