// ombattleanim-genpics OUTDIR [--files]
//
// Renders the editor's built-in pictures (picker thumbnails, the blank and
// missing-picture tiles, the splash, the About picture and the application
// icon) and packs them into OUTDIR/pictures.bin with an index in
// OUTDIR/pictures_index.inc; the icon for the desktop's icon theme goes to
// OUTDIR/icons/ombattleanim-SIZE.png. Output is byte-identical on every run;
// files whose content did not change are left untouched.
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "art.h"
#include "bmp.h"
#include "thumbs.h"

namespace fs = std::filesystem;
using namespace genpics;

namespace {

struct Range {
    int first;
    int last;
};

template <size_t R>
constexpr size_t countOf(const Range (&ranges)[R])
{
    size_t n = 0;
    for (const Range& r : ranges)
        n += static_cast<size_t>(r.last - r.first + 1);
    return n;
}

template <size_t N, size_t R>
constexpr std::array<int, N> expand(const Range (&ranges)[R])
{
    std::array<int, N> out{};
    size_t i = 0;
    for (const Range& r : ranges)
        for (int v = r.first; v <= r.last; ++v)
            out[i++] = v;
    return out;
}

// Background numbers behind each picker entry, in entry order.
constexpr Range kLayer1Ranges[] = {
    {0, 234}, {237, 237}, {240, 240}, {243, 243}, {246, 246},
    {248, 253}, {255, 264}, {266, 278}, {280, 326},
};
constexpr Range kLayer2Ranges[] = {
    {0, 0}, {18, 18}, {43, 43}, {45, 45}, {83, 83}, {104, 105}, {110, 110}, {150, 150},
    {163, 188}, {190, 194}, {199, 207}, {210, 219}, {221, 224}, {228, 229}, {234, 234},
    {237, 237}, {248, 248}, {252, 252}, {255, 255}, {258, 258}, {263, 264}, {266, 267},
    {269, 270}, {272, 277}, {281, 283}, {289, 290}, {292, 293}, {295, 295}, {306, 307},
    {309, 312}, {320, 320}, {323, 323}, {326, 326},
};
static_assert(countOf(kLayer1Ranges) == 315);
static_assert(countOf(kLayer2Ranges) == 100);
constexpr auto kLayer1Numbers = expand<315>(kLayer1Ranges);
constexpr auto kLayer2Numbers = expand<100>(kLayer2Ranges);

static_assert(kLayer1Numbers[0] == 0 && kLayer1Numbers[234] == 234);
static_assert(kLayer1Numbers[235] == 237 && kLayer1Numbers[245] == 255 && kLayer1Numbers[314] == 326);
static_assert(kLayer2Numbers[1] == 18 && kLayer2Numbers[9] == 163 && kLayer2Numbers[99] == 326);

// Resource id ranges of the pickers and the first entry each one shows.
struct IdSpan {
    int firstId;
    int lastId;
    int firstEntry;
    int layer;
};
constexpr std::array<IdSpan, 4> kThumbSpans{{
    {405, 649, 1, 1},
    {698, 745, 246, 1},
    {767, 787, 294, 1},
    {788, 886, 1, 2},
}};
static_assert(649 - 405 + 1 == 245 && 745 - 698 + 1 == 48 && 787 - 767 + 1 == 21 && 886 - 788 + 1 == 99);

constexpr int kIconId = 128;
constexpr int kBlankId = 889;
constexpr int kNotAvailableId = 890;
constexpr int kSplashId = 897;
constexpr int kAboutId = 910;

struct Resource {
    int id;
    const char* extension;
    Bytes data;
};

struct Failure {
    std::string message;
};

Bytes thumbnailBmp(int layer, int number)
{
    const Picture pic = renderThumbnail(layer, number, true);
    Bytes bmp = makeBmpRle8(pic.canvas, pic.palette);
    // Guard against encoder slips: the stream must expand to the picture.
    const size_t offset = 14 + 40 + 4 * static_cast<size_t>(pic.palette.size());
    std::vector<uint8_t> back;
    if (!decodeRle8(Bytes(bmp.begin() + static_cast<std::ptrdiff_t>(offset), bmp.end()), kThumbW, kThumbH, back) ||
        back != pic.canvas.pixels())
        throw Failure{"RLE8 round trip failed for layer " + std::to_string(layer) + " background " +
                      std::to_string(number)};
    return bmp;
}

std::vector<Resource> buildResources()
{
    std::vector<Resource> out;
    out.push_back({kIconId, "ico", makeIconFile()});
    for (const IdSpan& span : kThumbSpans)
        for (int id = span.firstId; id <= span.lastId; ++id) {
            const size_t entry = static_cast<size_t>(span.firstEntry + (id - span.firstId));
            const int number = span.layer == 1 ? kLayer1Numbers[entry] : kLayer2Numbers[entry];
            out.push_back({id, "bmp", thumbnailBmp(span.layer, number)});
        }
    out.push_back({kBlankId, "bmp", makeBmp24(renderBlank())});
    out.push_back({kNotAvailableId, "bmp", makeBmp24(renderNotAvailable())});
    out.push_back({kSplashId, "bmp", makeBmp24(renderSplash())});
    const Picture about = renderAbout();
    out.push_back({kAboutId, "bmp", makeBmp8(about.canvas, about.palette)});
    return out;
}

bool sameContent(const fs::path& path, const std::string& content)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) != content.size() || ec)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return old == content;
}

void writeIfChanged(const fs::path& path, const std::string& content)
{
    if (sameContent(path, content))
        return;
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
        const int err = errno;
        throw Failure{"cannot write " + path.string() + (err ? std::string(": ") + std::strerror(err) : "")};
    }
}

void makeDir(const fs::path& dir)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir))
        throw Failure{"cannot create directory " + dir.string() + (ec ? ": " + ec.message() : "")};
}

std::string asString(const Bytes& b) { return std::string(b.begin(), b.end()); }

}  // namespace

int main(int argc, char** argv)
{
    fs::path outDir;
    bool files = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--files")
            files = true;
        else if (outDir.empty() && !arg.empty() && arg[0] != '-')
            outDir = arg;
        else {
            std::cerr << "usage: ombattleanim-genpics OUTDIR [--files]\n";
            return 1;
        }
    }
    if (outDir.empty()) {
        std::cerr << "usage: ombattleanim-genpics OUTDIR [--files]\n";
        return 1;
    }

    try {
        const std::vector<Resource> resources = buildResources();

        std::string bin;
        std::ostringstream index;
        for (const Resource& r : resources) {
            while (bin.size() % 4)
                bin.push_back('\0');
            index << '{' << r.id << ", " << bin.size() << ", " << r.data.size() << "},\n";
            bin += asString(r.data);
        }

        makeDir(outDir);
        writeIfChanged(outDir / "pictures.bin", bin);
        writeIfChanged(outDir / "pictures_index.inc", index.str());
        makeDir(outDir / "icons");
        for (const auto& [size, png] : makeThemeIcons())
            writeIfChanged(outDir / "icons" / ("ombattleanim-" + std::to_string(size) + ".png"),
                           asString(png));
        if (files) {
            makeDir(outDir / "files");
            for (const Resource& r : resources)
                writeIfChanged(outDir / "files" / ("res_" + std::to_string(r.id) + "." + r.extension),
                               asString(r.data));
        }
    } catch (const Failure& f) {
        std::cerr << "ombattleanim-genpics: " << f.message << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "ombattleanim-genpics: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
