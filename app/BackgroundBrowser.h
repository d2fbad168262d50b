// The background browser: every background of one layer as a grid of
// thumbnails, each with its number and how many groups of the open ROM use
// it, narrowed or searched by the filter above it. A tool window of the main
// window, never modal; a cell used sets the shown group's layer to it as a
// pick in that layer's picker does.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QSlider;
class QTabBar;

namespace om {

class BackgroundModel;
class BackgroundFilterProxy;
class ImageList;

// Where the browser reads what it shows (layers are 1 and 2).
struct BackgroundSource {
    std::function<bool()> romOpen;
    // Each group's background on a layer, as the editor holds it now.
    std::function<std::vector<int>(int layer)> usage;
    // The shown group's background on a layer.
    std::function<int(int layer)> current;
    // A layer's thumbnails, one per catalogue entry (none before the
    // pickers are built), and its background numbers, entry 0 first.
    std::function<const ImageList*(int layer)> images;
    std::function<std::vector<int>(int layer)> numbers;
    // Adds the entries a cell's right-click menu offers beside the lookup
    // (the thumbnail commands), acting on that cell's background.
    std::function<void(int layer, int background, QMenu* menu)> cellEntries;
};

class BackgroundBrowser : public QDialog {
    Q_OBJECT
public:
    // The cell's thumbnail, in percent of the picker's: a quarter to twice.
    static constexpr int kMinPercent = 25;
    static constexpr int kMaxPercent = 200;
    static constexpr int kDefaultPercent = 50;

    BackgroundBrowser(BackgroundSource source, QWidget* owner);
    ~BackgroundBrowser() override;

    // Shows the window on a layer, raised, the keyboard focus in the filter
    // field; placed beside the main window when it was not on the screen.
    void present(int layer);
    // The counts and the shown group's background anew: a value changed,
    // another group is shown, a ROM was opened or closed.
    void refresh();
    // A layer's thumbnails were replaced: the cells draw them anew.
    void thumbnailsChanged(int layer);

    int layer() const;
    void setLayer(int layer);
    int cellPercent() const { return percent_; }
    void setCellPercent(int percent);
    // The background of the selected cell, or -1.
    int selectedBackground() const;
    int rowCount() const;
    int backgroundAtRow(int row) const;
    // The picture size of a cell now.
    QSize thumbnailSize() const;

    QLineEdit* filterField() const { return filter_; }
    QListView* view() const { return view_; }
    QLabel* countLine() const { return count_; }
    QPushButton* useButton() const { return use_; }
    QTabBar* layerTabs() const { return tabs_; }

signals:
    // Use entry `entry` of the layer's catalogue for the shown group.
    void useRequested(int layer, int entry);
    // List the groups whose layer shows the background.
    void groupsUsingRequested(int layer, int background);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showLayer(int layer);
    void applyFilter();
    void selectRow(int sourceRow);
    void useSelected();
    void cellMenu(const QPoint& at);
    void updateCountLine();
    void updateGrid();

    friend class BackgroundCellDelegate;
    BackgroundSource source_;
    BackgroundModel* model_ = nullptr;
    BackgroundFilterProxy* proxy_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QListView* view_ = nullptr;
    QSlider* size_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* use_ = nullptr;
    int percent_ = kDefaultPercent;
    // The shown group's background last followed, so that only a change
    // moves the selection to it.
    int followed_ = -1;
    // Thumbnails scaled to the cell, made when first drawn.
    mutable std::vector<QPixmap> scaled_;
};

}  // namespace om
