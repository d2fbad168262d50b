#include "app/HotExit.h"

#include <QFile>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/Desktop.h"
#include "app/LocalPath.h"
#include "app/Messages.h"

namespace om {

HotExit::HotExit(Desktop& desktop, QWidget* owner, std::function<ByteVector()> editedTable)
    : desktop_(desktop), owner_(owner), editedTable_(std::move(editedTable)) {
    timer_.setSingleShot(true);
    timer_.setInterval(kDelayMs);
    connect(&timer_, &QTimer::timeout, this, &HotExit::WriteOrReport);
}

std::optional<ByteVector> HotExit::Opened(const QString& path, const ByteVector& image,
                                          const RomLayout& layout) {
    Closed();
    opened_ = &image;
    layout_ = layout;
    const ByteSpan table = TableOf(image, layout);
    savedTable_.assign(table.begin(), table.end());
    // One ROM, one name: the path's bytes with its links resolved, never
    // decoded (two names that differ only in bytes that are not UTF-8 are
    // two ROMs).
    const QByteArray absolute = PathBytes(AbsolutePath(path));
    char* real = ::realpath(absolute.constData(), nullptr);
    store_.emplace(RecoveryFolder(), real ? std::string(real) : absolute.toStdString());
    std::free(real);
    // One pass over the image, now: each later write looks at the table alone.
    imageCrc_ = ImageCrc(image, layout);
    if (!store_->any())
        return std::nullopt;
    std::string damage;
    std::optional<ByteVector> restored = store_->read(layout, image, fileCrc(), damage);
    if (!restored && !damage.empty())
        SetAside(damage);
    stored_ = restored.has_value();
    return restored;
}

void HotExit::SetAside(const std::string& damage) {
    // Kept under other names, so that the next edit does not write over
    // what may still hold the old edits.
    std::vector<std::string> kept;
    std::string error;
    QString text;
    if (store_->setAside(fileCrc(), kept, error)) {
        QStringList names;
        for (const std::string& k : kept)
            names.append(PathFromBytes(QByteArray::fromStdString(k)));
        text = QString::fromLatin1(kRecoveryDamagedText)
                   .arg(PathFromBytes(QByteArray::fromStdString(damage)), names.join(QStringLiteral(" and ")));
    } else {
        text = QString::fromLatin1(kRecoveryNotSetAsideText)
                   .arg(PathFromBytes(QByteArray::fromStdString(damage)),
                        PathFromBytes(QByteArray::fromStdString(error)));
    }
    desktop_.messageBox(owner_, text, Desktop::Buttons::Ok, Desktop::Icon::Warning);
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
        WriteOrReport();
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
    WriteOrReport();
    Forget();
}

bool HotExit::Leave(Leaving how) {
    timer_.stop();
    std::string error;
    if (!Write(error)) {
        // Asked now, every time: once the ROM is left, the edits are gone.
        const char* then = how == Leaving::Program    ? kLeavingProgramText
                           : how == Leaving::CloseRom ? kLeavingCloseRomText
                                                      : kLeavingOtherRomText;
        const QString text = QString::fromLatin1(kRecoveryFailedOnLeavingText)
                                 .arg(PathFromBytes(QByteArray::fromStdString(error)),
                                      QString::fromLatin1(then));
        if (desktop_.messageBox(owner_, text, Desktop::Buttons::YesNo, Desktop::Icon::Warning) !=
            Desktop::Answer::No)
            return false;
    }
    Forget();
    return true;
}

void HotExit::Forget() {
    opened_ = nullptr;
    store_.reset();
    stored_ = false;
}

QString HotExit::folder() const {
    return store_ ? PathFromBytes(QByteArray::fromStdString(store_->folder())) : QString();
}

void HotExit::Remove() {
    std::string error;
    if (stored_ && !store_->remove(fileCrc(), error))
        return Report(error);
    stored_ = false;
}

bool HotExit::Write(std::string& error) {
    if (!opened_)
        return true;
    const ByteVector table = editedTable_();
    // Back at what the file holds: no recovery is left behind.
    if (table == savedTable_) {
        Remove();
        return true;
    }
    // The patch applies to the file as it is now: as it was opened, with the
    // table of the last save. Only the tables are looked at; nothing is copied.
    if (!store_->write(layout_,
                       {opened_->size(), fileCrc(), savedTable_, table, imageCrc_.withTable(table)},
                       error))
        return false;
    stored_ = true;
    return true;
}

void HotExit::WriteOrReport() {
    std::string error;
    if (!Write(error))
        Report(error);
}

void HotExit::Report(const std::string& error) {
    // Once for the whole run: the next write would fail the same way.
    if (std::exchange(reported_, true))
        return;
    desktop_.messageBox(owner_,
                        QString::fromLatin1(kRecoveryFailedText)
                            .arg(PathFromBytes(QByteArray::fromStdString(error))),
                        Desktop::Buttons::Ok, Desktop::Icon::Warning);
}

}  // namespace om
