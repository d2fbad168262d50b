#include "patch/Recovery.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "patch/PatchFile.h"

namespace om {

namespace {

constexpr char kFirstLine[] = "OMBattleAnim unsaved edits";
// The file's name in a recovery's name is cut to this many bytes.
constexpr std::size_t kNameBytes = 64;
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

std::string RecoveryFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return QFile::encodeName(QDir::cleanPath(state + QStringLiteral("/OMBattleAnim/unsaved")))
        .toStdString();
}

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
    : folder_(std::move(folder)), romPath_(std::move(romPath)) {
    const std::size_t slash = romPath_.rfind('/');
    std::string name = romPath_.substr(slash == std::string::npos ? 0 : slash + 1);
    name.resize(std::min(name.size(), kNameBytes));
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(romPath_), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    prefix_ = name + "-" + hash.toStdString() + "-";
}

std::string RecoveryStore::stem(std::uint32_t crc) const {
    return folder_ + "/" + prefix_ + Hex32(crc);
}

bool RecoveryStore::any() const {
    // Compared by hand: a ROM's name may hold a wildcard's characters ("[!]").
    const QString prefix = QFile::decodeName(prefix_.c_str());
    const QStringList names =
        QDir(QFile::decodeName(folder_.c_str())).entryList({QStringLiteral("*.txt")}, QDir::Files);
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return name.startsWith(prefix); });
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

std::optional<ByteVector> RecoveryStore::read(ByteSpan file, std::uint32_t fileCrc,
                                              std::string& error) const {
    const std::string s = stem(fileCrc);
    ByteVector text, patch, image;
    if (::access((s + ".txt").c_str(), F_OK) != 0 && errno == ENOENT) {
        error.clear();
        return std::nullopt;
    }
    if (!ReadWholeFile(s + ".txt", kLargestPatch, text, error))
        return std::nullopt;
    const auto d = ParseRecoveryDescription(
        std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    if (!d) {
        error = s + ".txt is not a description of unsaved edits";
        return std::nullopt;
    }
    // Made from this very file and content; the patch checks the content again.
    if (d->romPath != romPath_ || d->romSize != file.size() || d->romCrc != fileCrc) {
        error = s + ".txt describes another file";
        return std::nullopt;
    }
    if (!ReadWholeFile(s + ".bps", kLargestPatch, patch, error) ||
        !ApplyBpsPatch(file, patch, image, error))
        return std::nullopt;
    if (image.size() != file.size()) {
        error = s + ".bps changes the file's size";
        return std::nullopt;
    }
    return image;
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
