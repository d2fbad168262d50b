#include "font.h"

#include <array>

namespace genpics {

namespace {

// Each glyph is drawn as rows separated by '|', '#' marks a lit pixel.
// Rows not given are blank.
struct GlyphSource {
    char ch;
    const char* art;
};

constexpr GlyphSource kGlyphs[] = {
    {' ', ""},
    {'A', " ### |#   #|#   #|#####|#   #|#   #|#   #"},
    {'B', "#### |#   #|#   #|#### |#   #|#   #|#### "},
    {'C', " ### |#   #|#    |#    |#    |#   #| ### "},
    {'D', "#### |#   #|#   #|#   #|#   #|#   #|#### "},
    {'E', "#####|#    |#    |#### |#    |#    |#####"},
    {'F', "#####|#    |#    |#### |#    |#    |#    "},
    {'G', " ### |#   #|#    |# ###|#   #|#   #| ####"},
    {'H', "#   #|#   #|#   #|#####|#   #|#   #|#   #"},
    {'I', " ### |  #  |  #  |  #  |  #  |  #  | ### "},
    {'J', "  ###|   # |   # |   # |   # |#  # | ##  "},
    {'K', "#   #|#  # |# #  |##   |# #  |#  # |#   #"},
    {'L', "#    |#    |#    |#    |#    |#    |#####"},
    {'M', "#   #|## ##|# # #|# # #|#   #|#   #|#   #"},
    {'N', "#   #|#   #|##  #|# # #|#  ##|#   #|#   #"},
    {'O', " ### |#   #|#   #|#   #|#   #|#   #| ### "},
    {'P', "#### |#   #|#   #|#### |#    |#    |#    "},
    {'Q', " ### |#   #|#   #|#   #|# # #|#  # | ## #"},
    {'R', "#### |#   #|#   #|#### |# #  |#  # |#   #"},
    {'S', " ####|#    |#    | ### |    #|    #|#### "},
    {'T', "#####|  #  |  #  |  #  |  #  |  #  |  #  "},
    {'U', "#   #|#   #|#   #|#   #|#   #|#   #| ### "},
    {'V', "#   #|#   #|#   #|#   #|#   #| # # |  #  "},
    {'W', "#   #|#   #|#   #|# # #|# # #|# # #| # # "},
    {'X', "#   #|#   #| # # |  #  | # # |#   #|#   #"},
    {'Y', "#   #|#   #| # # |  #  |  #  |  #  |  #  "},
    {'Z', "#####|    #|   # |  #  | #   |#    |#####"},
    {'0', " ### |#   #|#  ##|# # #|##  #|#   #| ### "},
    {'1', "  #  | ##  |  #  |  #  |  #  |  #  | ### "},
    {'2', " ### |#   #|    #|   # |  #  | #   |#####"},
    {'3', "#####|   # |  #  |   # |    #|#   #| ### "},
    {'4', "   # |  ## | # # |#  # |#####|   # |   # "},
    {'5', "#####|#    |#### |    #|    #|#   #| ### "},
    {'6', "  ## | #   |#    |#### |#   #|#   #| ### "},
    {'7', "#####|    #|   # |  #  | #   | #   | #   "},
    {'8', " ### |#   #|#   #| ### |#   #|#   #| ### "},
    {'9', " ### |#   #|#   #| ####|    #|   # | ##  "},
    {'a', "     |     | ### |    #| ####|#   #| ####"},
    {'b', "#    |#    |# ## |##  #|#   #|#   #|#### "},
    {'c', "     |     | ### |#    |#    |#   #| ### "},
    {'d', "    #|    #| ## #|#  ##|#   #|#   #| ####"},
    {'e', "     |     | ### |#   #|#####|#    | ### "},
    {'f', "  ## | #  #| #   |###  | #   | #   | #   "},
    {'g', "     |     | ####|#   #|#   #|#   #| ####|    #| ### "},
    {'h', "#    |#    |# ## |##  #|#   #|#   #|#   #"},
    {'i', "  #  |     | ##  |  #  |  #  |  #  | ### "},
    {'j', "   # |     |  ## |   # |   # |   # |   # |#  # | ##  "},
    {'k', "#    |#    |#  # |# #  |##   |# #  |#  # "},
    {'l', " ##  |  #  |  #  |  #  |  #  |  #  | ### "},
    {'m', "     |     |## # |# # #|# # #|# # #|#   #"},
    {'n', "     |     |# ## |##  #|#   #|#   #|#   #"},
    {'o', "     |     | ### |#   #|#   #|#   #| ### "},
    {'p', "     |     |#### |#   #|#   #|#   #|#### |#    |#    "},
    {'q', "     |     | ####|#   #|#   #|#   #| ####|    #|    #"},
    {'r', "     |     |# ## |##  #|#    |#    |#    "},
    {'s', "     |     | ####|#    | ### |    #|#### "},
    {'t', " #   | #   |###  | #   | #   | #  #|  ## "},
    {'u', "     |     |#   #|#   #|#   #|#  ##| ## #"},
    {'v', "     |     |#   #|#   #|#   #| # # |  #  "},
    {'w', "     |     |#   #|#   #|# # #|# # #| # # "},
    {'x', "     |     |#   #| # # |  #  | # # |#   #"},
    {'y', "     |     |#   #|#   #|#   #|#   #| ####|    #| ### "},
    {'z', "     |     |#####|   # |  #  | #   |#####"},
    {'-', "     |     |     | ### |     |     |     "},
    {'.', "     |     |     |     |     | ##  | ##  "},
    {',', "     |     |     |     |     | ##  | ##  |  #  | #   "},
    {':', "     | ##  | ##  |     | ##  | ##  |     "},
    {'/', "    #|    #|   # |  #  | #   |#    |#    "},
    {'!', "  #  |  #  |  #  |  #  |  #  |     |  #  "},
    {'?', " ### |#   #|    #|   # |  #  |     |  #  "},
    {'\'', "  #  |  #  | #   |     |     |     |     "},
    {'(', "   # |  #  | #   | #   | #   |  #  |   # "},
    {')', " #   |  #  |   # |   # |   # |  #  | #   "},
    {'&', " ##  |#  # |#  # | ##  |# # #|#  # | ## #"},
};

using Rows = std::array<unsigned char, kGlyphH>;

struct Table {
    std::array<Rows, 128> rows{};
    std::array<bool, 128> known{};
    Table()
    {
        for (const GlyphSource& g : kGlyphs) {
            Rows r{};
            int row = 0;
            int col = 0;
            for (const char* p = g.art; *p && row < kGlyphH; ++p) {
                if (*p == '|') {
                    ++row;
                    col = 0;
                    continue;
                }
                if (*p == '#' && col < kGlyphW)
                    r[static_cast<size_t>(row)] |= static_cast<unsigned char>(1u << (kGlyphW - 1 - col));
                ++col;
            }
            const auto idx = static_cast<size_t>(static_cast<unsigned char>(g.ch));
            rows[idx] = r;
            known[idx] = true;
        }
    }
};

const Table& table()
{
    static const Table t;
    return t;
}

}  // namespace

const unsigned char* glyphRows(char ch)
{
    const auto idx = static_cast<size_t>(static_cast<unsigned char>(ch));
    if (idx < 128 && table().known[idx])
        return table().rows[idx].data();
    return table().rows[static_cast<size_t>('?')].data();
}

int textWidth(std::string_view text, int scale)
{
    if (text.empty())
        return 0;
    return (static_cast<int>(text.size()) * kAdvance - 1) * scale;
}

void drawText(int x, int y, std::string_view text, int scale, const PlotFn& plot)
{
    int cx = x;
    for (char ch : text) {
        const unsigned char* rows = glyphRows(ch);
        for (int gy = 0; gy < kGlyphH; ++gy)
            for (int gx = 0; gx < kGlyphW; ++gx)
                if (rows[gy] & (1u << (kGlyphW - 1 - gx)))
                    for (int sy = 0; sy < scale; ++sy)
                        for (int sx = 0; sx < scale; ++sx)
                            plot(cx + gx * scale + sx, y + gy * scale + sy);
        cx += kAdvance * scale;
    }
}

}  // namespace genpics
