#include "asset_glyphs.h"

#include "player/bitmap_font.h"

#include <cstring>
#include <vector>

namespace assets {

namespace {

enum Accent { NONE, ACUTE, DIAERESIS, DOUBLE_ACUTE, CARON };

struct GlyphSource {
    char base;
    Accent accent;
    const char *text;
};

// Glyph order of the player's font records.
constexpr GlyphSource kGlyphs[kGlyphCount] = {
    {'a', NONE, "a"},         {'A', NONE, "A"},         {'a', ACUTE, "á"},     {'A', ACUTE, "Á"},
    {'b', NONE, "b"},         {'B', NONE, "B"},         {'c', NONE, "c"},      {'C', NONE, "C"},
    {'d', NONE, "d"},         {'D', NONE, "D"},         {'e', NONE, "e"},      {'E', NONE, "E"},
    {'e', ACUTE, "é"},        {'E', ACUTE, "É"},        {'f', NONE, "f"},      {'F', NONE, "F"},
    {'g', NONE, "g"},         {'G', NONE, "G"},         {'h', NONE, "h"},      {'H', NONE, "H"},
    {'i', NONE, "i"},         {'I', NONE, "I"},         {'i', ACUTE, "í"},     {'I', ACUTE, "Í"},
    {'j', NONE, "j"},         {'J', NONE, "J"},         {'k', NONE, "k"},      {'K', NONE, "K"},
    {'l', NONE, "l"},         {'L', NONE, "L"},         {'m', NONE, "m"},      {'M', NONE, "M"},
    {'n', NONE, "n"},         {'N', NONE, "N"},         {'o', NONE, "o"},      {'O', NONE, "O"},
    {'o', ACUTE, "ó"},        {'O', ACUTE, "Ó"},        {'o', DIAERESIS, "ö"}, {'O', DIAERESIS, "Ö"},
    {'o', DOUBLE_ACUTE, "ő"}, {'O', DOUBLE_ACUTE, "Ő"}, {'p', NONE, "p"},      {'P', NONE, "P"},
    {'q', NONE, "q"},         {'Q', NONE, "Q"},         {'r', NONE, "r"},      {'R', NONE, "R"},
    {'r', CARON, "ř"},        {'R', CARON, "Ř"},        {'s', NONE, "s"},      {'S', NONE, "S"},
    {'t', NONE, "t"},         {'T', NONE, "T"},         {'u', NONE, "u"},      {'U', NONE, "U"},
    {'u', ACUTE, "ú"},        {'U', ACUTE, "Ú"},        {'u', DIAERESIS, "ü"}, {'U', DIAERESIS, "Ü"},
    {'u', DOUBLE_ACUTE, "ű"}, {'U', DOUBLE_ACUTE, "Ű"}, {'v', NONE, "v"},      {'V', NONE, "V"},
    {'w', NONE, "w"},         {'W', NONE, "W"},         {'x', NONE, "x"},      {'X', NONE, "X"},
    {'y', NONE, "y"},         {'Y', NONE, "Y"},         {'z', NONE, "z"},      {'Z', NONE, "Z"},
    {'?', NONE, "?"},         {'!', NONE, "!"},         {'0', NONE, "0"},      {'1', NONE, "1"},
    {'2', NONE, "2"},         {'3', NONE, "3"},         {'4', NONE, "4"},      {'5', NONE, "5"},
    {'6', NONE, "6"},         {'7', NONE, "7"},         {'8', NONE, "8"},      {'9', NONE, "9"},
    {'&', NONE, "&"},         {'/', NONE, "/"},         {' ', NONE, " "},
};
static_assert(sizeof(kGlyphs) / sizeof(kGlyphs[0]) == kGlyphCount, "one source per glyph");

// Accent pixels, two rows of four columns, drawn centred above the letter.
constexpr const char *kAccentRows[5][2] = {
    {"....", "...."}, {"..#.", ".#.."}, {"....", "#..#"}, {".#.#", "#.#."}, {"#..#", ".##."},
};

// A glyph as an ink grid, row 0 at the top; rows above the font's own rows hold accents.
struct Grid {
    int width, rows, baseline_row; // baseline_row: the first row below the baseline
    std::vector<bool> ink;
    bool at(int x, int r) const { return x >= 0 && x < width && r >= 0 && r < rows && ink[r * width + x]; }
};

constexpr int kAccentSpace = 3; // rows added above the font's rows

Grid grid_of(const GlyphSource &s) {
    const player::BitmapGlyph &g = player::bitmap_font_glyph(s.base);
    Grid grid;
    grid.width = player::bitmap_font_glyph_width(g);
    grid.rows = player::kBitmapFontRows + kAccentSpace;
    grid.baseline_row = player::kBitmapFontAscent + kAccentSpace;
    grid.ink.assign(size_t(grid.width) * grid.rows, false);
    bool capital = s.base >= 'A' && s.base <= 'Z';
    for (int r = 0; r < player::kBitmapFontRows; r++)
        for (int x = 0; x < grid.width; x++) {
            // An accented i loses its dot: the accent takes its place.
            bool dot = s.base == 'i' && s.accent != NONE && r < 2;
            grid.ink[(r + kAccentSpace) * grid.width + x] = player::bitmap_font_ink(g, x, r) && !dot;
        }
    if (s.accent != NONE) {
        // Capitals carry the accent above their top row, small letters over their x-height.
        int top = capital ? 0 : kAccentSpace - 1;
        int left = (grid.width - 4) / 2;
        for (int r = 0; r < 2; r++)
            for (int c = 0; c < 4; c++)
                if (kAccentRows[s.accent][r][c] == '#' && left + c >= 0 && left + c < grid.width)
                    grid.ink[(top + r) * grid.width + left + c] = true;
    }
    return grid;
}

// One face of a block: four corners counter-clockwise seen from outside.
void block_face(MeshBuilder *m, const float corners[4][3], float nx, float ny, float nz, float width,
                float height) {
    uint16_t v[4];
    for (int k = 0; k < 4; k++)
        v[k] = mesh_vertex(m, corners[k][0], corners[k][1], corners[k][2], corners[k][0] / width,
                           corners[k][1] / height, nx, ny, nz);
    mesh_quad(m, v[0], v[1], v[2], v[3]);
}

} // namespace

const char *glyph_text(int g) {
    return g >= 0 && g < kGlyphCount ? kGlyphs[g].text : "";
}

MeshBuilder glyph_mesh(int g, float *advance) {
    MeshBuilder m;
    const GlyphSource &s = kGlyphs[g];
    Grid grid = grid_of(s);
    *advance = float(grid.width + player::kBitmapFontSpacing);
    if (s.base == ' ') return m;
    const float z0 = -0.5f, z1 = 0.5f, height = float(player::kBitmapFontAscent);
    for (int r = 0; r < grid.rows; r++)
        for (int x = 0; x < grid.width; x++) {
            if (!grid.at(x, r)) continue;
            float x0 = float(x), x1 = x0 + 1;
            float y0 = float(grid.baseline_row - 1 - r), y1 = y0 + 1;
            const float front[4][3] = {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
            block_face(&m, front, 0, 0, 1, float(grid.width), height);
            const float back[4][3] = {{x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}};
            block_face(&m, back, 0, 0, -1, float(grid.width), height);
            if (!grid.at(x - 1, r)) {
                const float f[4][3] = {{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}};
                block_face(&m, f, -1, 0, 0, float(grid.width), height);
            }
            if (!grid.at(x + 1, r)) {
                const float f[4][3] = {{x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}};
                block_face(&m, f, 1, 0, 0, float(grid.width), height);
            }
            if (!grid.at(x, r - 1)) { // the row above is empty: a top face
                const float f[4][3] = {{x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}};
                block_face(&m, f, 0, 1, 0, float(grid.width), height);
            }
            if (!grid.at(x, r + 1)) {
                const float f[4][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}};
                block_face(&m, f, 0, -1, 0, float(grid.width), height);
            }
        }
    return m;
}

} // namespace assets
