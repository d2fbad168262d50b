// Hot exit: the window's unsaved edits are kept in a recovery file (see
// patch/Recovery.h) a moment after each change, off the typing path, and at
// once when the ROM is left; they are given back when the same file, with the
// same content, is opened again. Nothing is asked. A recovery that cannot be
// written is reported once, and editing goes on; one that cannot be written
// as the ROM is left is asked about first, the ROM still open. A damaged
// recovery is not given back: it is reported and its files set aside.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "patch/Recovery.h"

class QWidget;

namespace om {

class Desktop;

class HotExit : public QObject {
    Q_OBJECT
public:
    // A change is in its recovery at most this long after it was made.
    static constexpr int kDelayMs = 1000;

    // editedTable: the table the editor would save now, 1,940 bytes. owner:
    // the window the one report is shown over.
    HotExit(Desktop& desktop, QWidget* owner, std::function<ByteVector()> editedTable);

    // A ROM was opened: its path, its bytes as read (kept unchanged by the
    // caller for as long as it is open) and its layout. Gives the image the
    // recovery made from exactly this file and content holds, whose edits are
    // to be shown as unsaved; nothing when there is none.
    std::optional<ByteVector> Opened(const QString& path, const ByteVector& image,
                                     const RomLayout& layout);
    // The edits changed: their recovery is written within kDelayMs, or
    // removed when the editor holds what the file holds.
    void Changed();
    // Does now what Changed() left waiting.
    void Flush();
    // The table the editor holds is now in the file: its recovery goes.
    void Saved();
    // The ROM is left (closed, another one opened, the window ends): its
    // recovery is brought up to date, then the ROM is forgotten.
    void Closed();
    // How the user is leaving the ROM.
    enum class Leaving { Program, CloseRom, OtherRom };
    // As Closed(), but when the edits cannot be kept the user is asked
    // first, while the ROM is still open: false when they keep it open (to
    // save or export), and then nothing is forgotten.
    bool Leave(Leaving how);

    // A write is waiting for its time.
    bool pending() const { return timer_.isActive(); }
    // Where the recoveries of the open ROM lie; empty without a ROM.
    QString folder() const;

private:
    // False + error when the edits could not be kept.
    bool Write(std::string& error);
    void WriteOrReport();
    void Remove();
    void Report(const std::string& error);
    void SetAside(const std::string& damage);
    void Forget();
    // The CRC32 of the file's content now.
    std::uint32_t fileCrc() const { return imageCrc_.withTable(savedTable_); }

    Desktop& desktop_;
    QWidget* owner_;
    std::function<ByteVector()> editedTable_;
    QTimer timer_;
    const ByteVector* opened_ = nullptr;  // the open ROM's bytes as read
    RomLayout layout_;
    std::optional<RecoveryStore> store_;
    ByteVector savedTable_;  // the table as the file holds it now
    ImageCrc imageCrc_;  // of the open ROM's bytes around the table
    bool stored_ = false;  // a recovery of that content lies in the folder
    bool reported_ = false;
};

}  // namespace om
