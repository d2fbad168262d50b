#include "patch/Recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "patch/PatchFile.h"
#include "romdata/StateFileStem.h"

namespace om {

namespace {

constexpr char kFirstLine[] = "OMBattleAnim unsaved edits";
// A recovery's patch of a table edit has a few KiB; anything larger is not ours.
constexpr std::size_t kLargestPatch = 1024 * 1024;

// A path on one line: backslash, line feed and carriage return escaped.
std::string Escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

template <class T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && at == end && !text.empty();
}

std::string Hex32(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08" PRIX32, value);
    return text;
}

}  // namespace

std::string StateFolder(const char* leaf) {
    // The variables' bytes as they are: a folder's name need not be UTF-8.
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state && state[0] == '/') {
        folder = state;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.local/state";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder + "/OMBattleAnim/" + leaf;
}

std::string RecoveryFolder() { return StateFolder("unsaved"); }

std::string FormatRecoveryDescription(const RecoveryDescription& d) {
    std::string text = std::string(kFirstLine) + "\nrom=" + Escape(d.romPath) +
                       "\nsize=" + std::to_string(d.romSize) + "\ncrc32=" + Hex32(d.romCrc) +
                       "\ntime=" + d.time + "\ngroups=";
    for (std::size_t i = 0; i < d.groups.size(); ++i) {
        if (i)
            text += ' ';
        text += std::to_string(d.groups[i]);
    }
    return text + "\n";
}

std::optional<RecoveryDescription> ParseRecoveryDescription(std::string_view text) {
    RecoveryDescription d;
    unsigned seen = 0;
    bool first = true;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        if (eol == std::string_view::npos)
            return std::nullopt;  // cut short: every line ends with a line feed
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol + 1);
        if (std::exchange(first, false)) {
            if (line != kFirstLine)
                return std::nullopt;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        bool ok = true;
        if (key == "rom") {
            const auto path = Unescape(value);
            ok = path && !path->empty();
            if (ok)
                d.romPath = *path;
            seen |= 1;
        } else if (key == "size") {
            ok = ParseNumber(value, d.romSize);
            seen |= 2;
        } else if (key == "crc32") {
            ok = value.size() == 8 && ParseNumber(value, d.romCrc, 16);
            seen |= 4;
        } else if (key == "time") {
            d.time = std::string(value);
            seen |= 8;
        } else if (key == "groups") {
            for (std::string_view rest = value; ok && !rest.empty();) {
                const std::size_t sp = rest.find(' ');
                int g = -1;
                ok = ParseNumber(rest.substr(0, sp), g) && g >= 0 && g < kGroupCount;
                d.groups.push_back(g);
                rest = sp == std::string_view::npos ? std::string_view() : rest.substr(sp + 1);
            }
            seen |= 16;
        }  // other keys are left for later versions
        if (!ok)
            return std::nullopt;
    }
    if (seen != 31)
        return std::nullopt;
    return d;
}

std::vector<int> ChangedGroups(const RomLayout& layout, ByteSpan a, ByteSpan b) {
    return ChangedGroupsOfTables(TableOf(a, layout), TableOf(b, layout));
}

std::vector<int> ChangedGroupsOfTables(ByteSpan ta, ByteSpan tb) {
    std::vector<int> groups;
    for (int g = 0; g < kGroupCount; ++g) {
        const long at = long(g) * kEntrySize;
        if (!std::equal(ta.begin() + at, ta.begin() + at + kEntrySize, tb.begin() + at))
            groups.push_back(g);
    }
    return groups;
}

ByteSpan TableOf(ByteSpan image, const RomLayout& layout) {
    if (image.size() < static_cast<std::size_t>(layout.tableEnd()))
        throw std::out_of_range("an image of " + std::to_string(image.size()) +
                                " bytes does not hold the table");
    return image.subspan(static_cast<std::size_t>(layout.entryOffset(0)),
                         static_cast<std::size_t>(layout.tableSize()));
}

ByteVector WithTable(ByteSpan image, const RomLayout& layout, ByteSpan table) {
    ByteVector out(image.begin(), image.end());
    if (table.size() != TableOf(out, layout).size())
        throw std::invalid_argument("a table of " + std::to_string(table.size()) + " bytes");
    std::copy(table.begin(), table.end(), out.begin() + layout.entryOffset(0));
    return out;
}

ImageCrc::ImageCrc(ByteSpan image, const RomLayout& layout) : size_(image.size()) {
    const ByteSpan table = TableOf(image, layout);
    const auto tableAt = static_cast<std::size_t>(layout.entryOffset(0));
    const std::size_t afterAt = tableAt + table.size();
    afterSize_ = image.size() - afterAt;
    before_ = Crc32(image.first(tableAt));
    after_ = Crc32(image.subspan(afterAt));
}

std::uint32_t ImageCrc::withTable(ByteSpan table) const {
    return Crc32Combine(Crc32Combine(before_, Crc32(table), table.size()), after_, afterSize_);
}

bool MakeTableBpsPatch(const RomLayout& layout, const TableEdit& edit, ByteVector& patch,
                       std::string& error) {
    return MakeBpsPatchOfRange({edit.fileSize, static_cast<std::size_t>(layout.entryOffset(0)),
                                edit.fileTable, edit.editedTable, edit.fileCrc, edit.editedCrc},
                               patch, error);
}

RecoveryStore::RecoveryStore(std::string folder, std::string romPath)
    : folder_(std::move(folder)), romPath_(std::move(romPath)), prefix_(StateFileStem(romPath_) + "-") {}

std::string RecoveryStore::stem(std::uint32_t crc) const {
    return folder_ + "/" + prefix_ + Hex32(crc);
}

bool RecoveryStore::any() const {
    // The names as bytes, none skipped: a ROM's name may hold any byte,
    // a wildcard's characters ("[!]") too.
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir)
        return false;
    bool found = false;
    while (const dirent* entry = found ? nullptr : ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(prefix_))
            continue;
        // prefix, CRC32 and ".bps" or ".txt": a recovery, whole or in part
        const std::string_view rest = name.substr(prefix_.size());
        std::uint32_t crc = 0;
        found = rest.size() == 12 && ParseNumber(rest.substr(0, 8), crc, 16) &&
                (rest.ends_with(".bps") || rest.ends_with(".txt"));
    }
    ::closedir(dir);
    return found;
}

bool RecoveryStore::write(const RomLayout& layout, const TableEdit& edit,
                          std::string& error) const {
    std::error_code made;
    std::filesystem::create_directories(folder_, made);
    if (made) {
        error = "cannot make the folder " + folder_ + ": " + made.message();
        return false;
    }
    RecoveryDescription d;
    d.romPath = romPath_;
    d.romSize = edit.fileSize;
    d.romCrc = edit.fileCrc;
    d.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    d.groups = ChangedGroupsOfTables(edit.fileTable, edit.editedTable);
    const std::string text = FormatRecoveryDescription(d);
    ByteVector patch;
    const std::string s = stem(edit.fileCrc);
    return MakeTableBpsPatch(layout, edit, patch, error) &&
           WriteFileAtomically(s + ".bps", patch, error) &&
           WriteFileAtomically(s + ".txt",
                               ByteSpan(reinterpret_cast<const std::uint8_t*>(text.data()),
                                        text.size()),
                               error);
}

std::optional<ByteVector> RecoveryStore::read(const RomLayout& layout, ByteSpan file,
                                              std::uint32_t fileCrc, std::string& error) const {
    const std::string s = stem(fileCrc);
    error.clear();
    const bool hasText = ::access((s + ".txt").c_str(), F_OK) == 0 || errno != ENOENT;
    const bool hasPatch = ::access((s + ".bps").c_str(), F_OK) == 0 || errno != ENOENT;
    if (!hasText && !hasPatch)
        return std::nullopt;
    if (!hasText) {
        error = "its description " + s + ".txt is missing";
        return std::nullopt;
    }
    ByteVector text, patch, image;
    if (!ReadWholeFile(s + ".txt", kLargestPatch, text, error))
        return std::nullopt;
    const auto d = ParseRecoveryDescription(
        std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    if (!d) {
        error = s + ".txt is not a whole description of unsaved edits";
        return std::nullopt;
    }
    // Made from this very file and content; the patch checks the content again.
    if (d->romPath != romPath_ || d->romSize != file.size() || d->romCrc != fileCrc) {
        error = s + ".txt describes another file";
        return std::nullopt;
    }
    if (!hasPatch) {
        error = "its patch " + s + ".bps is missing";
        return std::nullopt;
    }
    if (!ReadWholeFile(s + ".bps", kLargestPatch, patch, error) ||
        !ApplyBpsPatch(file, patch, image, error))
        return std::nullopt;
    if (image.size() != file.size()) {
        error = s + ".bps changes the file's size";
        return std::nullopt;
    }
    // A patch of another recovery (of a copy with the same content) applies
    // as well: the groups it changes must be the ones described.
    if (ChangedGroups(layout, file, image) != d->groups) {
        error = s + ".bps changes other groups than its description names";
        return std::nullopt;
    }
    return image;
}

bool RecoveryStore::setAside(std::uint32_t crc, std::vector<std::string>& kept,
                             std::string& error) const {
    const std::string s = stem(crc);
    kept.clear();
    // The first number free for both names; a file already there is never
    // replaced, so an earlier damaged recovery set aside stays as it was.
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = s + ".damaged-" + std::to_string(n);
        bool taken = false;
        for (const char* extension : {".bps", ".txt"})
            taken = taken || ::access((aside + extension).c_str(), F_OK) == 0 || errno != ENOENT;
        if (taken)
            continue;
        for (const char* extension : {".bps", ".txt"}) {
            const std::string from = s + extension, to = aside + extension;
            if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
                kept.push_back(to);
            else if (errno != ENOENT) {
                error = "cannot rename " + from + " to " + to + ": " + std::strerror(errno);
                return false;
            }
        }
        return true;
    }
    error = "cannot rename " + s + ".bps and .txt: 999 damaged recoveries of it are kept already";
    return false;
}

bool RecoveryStore::remove(std::uint32_t crc, std::string& error) const {
    const std::string s = stem(crc);
    // The patch first: a description left alone is never applied.
    for (const char* extension : {".bps", ".txt"}) {
        const std::string path = s + extension;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            error = "cannot remove " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace om
