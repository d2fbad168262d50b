#include "CliSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>

#include "catalogue/DisplayName.h"
#include "catalogue/GroupTemplates.h"
#include "romdata/RegularFile.h"
#include "romdata/TerminalSafe.h"

namespace omcli {

int Fail(const std::string& message, int status) {
    // Messages name files and quote arguments and fields: escaped here,
    // once for all of them.
    std::cerr << kProgram << ": " << om::TerminalSafe(message) << "\n";
    return status;
}

int UsageError(const std::string& message) {
    return Fail(message + " (see '" + kProgram + " --help')", kExitUsage);
}

namespace {

// What a file that is not a regular file is, for the message refusing it.
const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

std::string NotAFile(const std::string& path, mode_t mode) {
    return "'" + path + "' is " + KindOf(mode) + ", not a file";
}

std::string CannotOpen(const std::string& path, int error) {
    return "cannot open '" + path + "': " + std::strerror(error);
}

std::string Hex(long value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string Latin1ToUtf8(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace

InputFile::~InputFile() {
    if (file_)
        std::fclose(file_);
}

bool InputFile::open(const std::string& path, std::string& reason) {
    // A device, a FIFO or a folder is refused without being opened.
    const om::RegularFile opened = om::OpenRegularFile(path, O_RDONLY);
    switch (opened.result) {
    case om::RegularFile::Result::Failed:
        reason = CannotOpen(path, opened.error);
        return false;
    case om::RegularFile::Result::NotRegular:
        reason = NotAFile(path, opened.st.st_mode);
        return false;
    case om::RegularFile::Result::Replaced:
        reason = "'" + path + "' was replaced by another file while it was opened; try again";
        return false;
    case om::RegularFile::Result::Opened:
        break;
    }
    file_ = ::fdopen(opened.fd, "rb");
    if (!file_) {
        reason = CannotOpen(path, errno);
        ::close(opened.fd);
        return false;
    }
    size_ = static_cast<long>(opened.st.st_size);
    return true;
}

std::string RefusalReason(const std::string& path, const om::RomProbe& probe,
                          const Options& options) {
    if (!probe.holdsTable())
        return "'" + path + "': " + om::TooShortReason(probe);
    // The editor's limit: no image of this game comes near it.
    if (probe.size > om::kMaxRomImageSize)
        return "'" + path + "' is " + std::to_string(probe.size) +
               " bytes long, too large to be an Orbitmarsh ROM image (at most " +
               std::to_string(om::kMaxRomImageSize) + " bytes)";
    if (!probe.titleMatches && !options.force)
        return "'" + path + "' does not look like an Orbitmarsh ROM image: the title \"" +
               om::kExpectedTitle + "\" is neither at " + Hex(om::kSmcLayout.titleOffset()) +
               " nor at " + Hex(om::kSfcLayout.titleOffset()) +
               " (--force uses it anyway, with the layout its size gives)";
    return {};
}

bool OpenRom(const std::string& path, const Options& options, RomReading& rom,
             std::string& reason) {
    if (!rom.file.open(path, reason))
        return false;
    rom.probe = om::ProbeRom(rom.file.stream(), rom.file.size());
    if (std::ferror(rom.file.stream())) {
        reason = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    reason = RefusalReason(path, rom.probe, options);
    return reason.empty();
}

bool ReadRomData(const RomReading& rom, om::BattleAnimData& data) {
    std::FILE* f = rom.file.stream();
    data.ReadEnemyNames(f, rom.probe.layout);
    data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable, rom.probe.layout);
    data.ReadBattleBgEntries(f, rom.probe.layout);
    return !std::ferror(f);
}

bool OpenRomForUpdate(const std::string& path, const Options& options, om::RomFile& file,
                      om::RomLayout& layout, std::string& reason) {
    {
        // Everything a reader refuses is refused before the file is opened
        // for writing.
        RomReading check;
        if (!OpenRom(path, options, check, reason))
            return false;
    }
    errno = 0;
    om::OpenFailure why = om::OpenFailure::None;
    std::unique_ptr<om::RomStream> stream = om::RomFile::OpenForUpdate(path, &why);
    if (!stream) {
        const int error = errno;
        if (why == om::OpenFailure::Locked)
            reason = "'" + path +
                     "' is open in another editor, or another command is writing it; close it "
                     "there and try again";
        else if (why == om::OpenFailure::NotRegular)
            reason = "'" + path + "' is not a regular file";
        else
            reason = "cannot open '" + path + "' for writing" +
                     (error != 0 ? std::string(": ") + std::strerror(error) : std::string());
        return false;
    }
    file.adopt(std::move(stream));
    // The stream that writes decides the layout: the file may have changed
    // since it was checked.
    std::FILE* f = file.stream();
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    const om::RomProbe probe = om::ProbeRom(f, size);
    if (size < 0 || std::ferror(f)) {
        reason = "cannot read '" + path + "'";
        file.close();
        return false;
    }
    reason = RefusalReason(path, probe, options);
    if (!reason.empty()) {
        file.close();
        return false;
    }
    layout = probe.layout;
    return true;
}

Entry EntryOf(const om::GroupRecord& record) {
    return {record.layer1Lo, record.layer1Hi, record.layer2Lo, record.layer2Hi};
}

std::string FormatEntry(const Entry& entry) {
    return std::to_string(entry[0]) + "," + std::to_string(entry[1]) + "," +
           std::to_string(entry[2]) + "," + std::to_string(entry[3]);
}

std::string Description(const om::BattleAnimData& data, int g) {
    return om::TerminalSafe(Latin1ToUtf8(om::ComposeDisplayName(data, g)));
}

std::optional<int> ParseNumber(std::string_view text, int max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // Unsigned: from_chars takes no sign, no spaces and no prefix.
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value > static_cast<unsigned long>(max))
        return std::nullopt;
    return static_cast<int>(value);
}

const om::RomLayout& OtherLayout(const om::RomLayout& layout) {
    return layout.headerSize == 0 ? om::kSmcLayout : om::kSfcLayout;
}

}  // namespace omcli
