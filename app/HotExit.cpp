#include "app/HotExit.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "app/Desktop.h"
#include "app/Messages.h"

namespace om {

HotExit::HotExit(Desktop& desktop, QWidget* owner, std::function<ByteVector()> editedTable)
    : desktop_(desktop), owner_(owner), editedTable_(std::move(editedTable)) {
    timer_.setSingleShot(true);
    timer_.setInterval(kDelayMs);
    connect(&timer_, &QTimer::timeout, this, &HotExit::Write);
}

std::optional<ByteVector> HotExit::Opened(const QString& path, const ByteVector& image,
                                          const RomLayout& layout) {
    Closed();
    opened_ = &image;
    layout_ = layout;
    const ByteSpan table = TableOf(image, layout);
    savedTable_.assign(table.begin(), table.end());
    // One ROM, one name: the path with its links resolved.
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    store_.emplace(RecoveryFolder(),
                   QFile::encodeName(canonical.isEmpty() ? info.absoluteFilePath() : canonical)
                       .toStdString());
    // One pass over the image, now: each later write looks at the table alone.
    imageCrc_ = ImageCrc(image, layout);
    if (!store_->any())
        return std::nullopt;
    std::string error;
    std::optional<ByteVector> restored = store_->read(image, fileCrc(), error);
    stored_ = restored.has_value();
    return restored;
}

void HotExit::Changed() {
    // Not restarted by later changes: each is written at most kDelayMs after
    // it was made, however long the typing goes on.
    if (opened_ && !timer_.isActive())
        timer_.start();
}

void HotExit::Flush() {
    if (timer_.isActive()) {
        timer_.stop();
        Write();
    }
}

void HotExit::Saved() {
    timer_.stop();
    if (!opened_)
        return;
    Remove();
    savedTable_ = editedTable_();
}

void HotExit::Closed() {
    // Written whatever is waiting: the ROM's last state is what is kept.
    timer_.stop();
    Write();
    opened_ = nullptr;
    store_.reset();
    stored_ = false;
}

QString HotExit::folder() const {
    return store_ ? QFile::decodeName(store_->folder().c_str()) : QString();
}

void HotExit::Remove() {
    std::string error;
    if (stored_ && !store_->remove(fileCrc(), error))
        return Report(error);
    stored_ = false;
}

void HotExit::Write() {
    if (!opened_)
        return;
    const ByteVector table = editedTable_();
    // Back at what the file holds: no recovery is left behind.
    if (table == savedTable_)
        return Remove();
    // The patch applies to the file as it is now: as it was opened, with the
    // table of the last save. Only the tables are looked at; nothing is copied.
    std::string error;
    if (!store_->write(layout_,
                       {opened_->size(), fileCrc(), savedTable_, table, imageCrc_.withTable(table)},
                       error))
        return Report(error);
    stored_ = true;
}

void HotExit::Report(const std::string& error) {
    // Once for the whole run: the next write would fail the same way.
    if (std::exchange(reported_, true))
        return;
    desktop_.messageBox(owner_,
                        QString::fromLatin1(kRecoveryFailedText).arg(QString::fromStdString(error)),
                        Desktop::Buttons::Ok, Desktop::Icon::Warning);
}

}  // namespace om
