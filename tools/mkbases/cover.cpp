// Book covers: small pictures drawn in code, a coloured board with the initials of the title
// in a pixel font, a band for the author and an emblem. Written as a Windows bitmap file.
#include "content.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace mkbases {

namespace {

struct Rgb { uint8_t r, g, b; };

class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h), px_(size_t(w) * size_t(h), Rgb{0, 0, 0}) {}
    void put(int x, int y, Rgb c)
    {
        if (x >= 0 && y >= 0 && x < w_ && y < h_)
            px_[size_t(y) * size_t(w_) + size_t(x)] = c;
    }
    void fill(int x0, int y0, int x1, int y1, Rgb c)
    {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                put(x, y, c);
    }
    int width() const { return w_; }
    int height() const { return h_; }
    Rgb at(int x, int y) const { return px_[size_t(y) * size_t(w_) + size_t(x)]; }

private:
    int w_, h_;
    std::vector<Rgb> px_;
};

// 5x7 capitals, one byte per row, bit 4 = leftmost pixel.
const std::array<std::array<uint8_t, 7>, 26> kGlyphs = {{
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
    {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E},
    {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}, {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},
    {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}, {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C},
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}, {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},
    {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}, {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11},
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10},
    {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}, {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11},
    {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}, {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04},
    {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}, {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04},
    {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}, {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11},
    {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F},
}};

void drawLetter(Canvas& c, char letter, int x, int y, int scale, Rgb colour)
{
    const int k = std::toupper(static_cast<unsigned char>(letter)) - 'A';
    if (k < 0 || k >= 26)
        return;
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            if (kGlyphs[size_t(k)][size_t(row)] & (0x10 >> col))
                c.fill(x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, colour);
}

// The initials of the title's words that start with a letter, at most four.
std::string initials(const std::string& title)
{
    std::string out;
    bool start = true;
    for (char ch : title) {
        const bool alpha = std::isalpha(static_cast<unsigned char>(ch)) != 0;
        if (start && alpha && out.size() < 4)
            out += char(std::toupper(static_cast<unsigned char>(ch)));
        start = ch == ' ' || ch == '-' || ch == '/';
    }
    return out.empty() ? std::string("D") : out;
}

void putLe(std::string& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

std::string toBmp(const Canvas& c)
{
    const uint32_t rowBytes = (uint32_t(c.width()) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * uint32_t(c.height());
    std::string out;
    out.reserve(54 + imageBytes);
    out += "BM";
    putLe(out, 54 + imageBytes, 4);
    putLe(out, 0, 4);
    putLe(out, 54, 4);
    putLe(out, 40, 4);                       // BITMAPINFOHEADER
    putLe(out, uint32_t(c.width()), 4);
    putLe(out, uint32_t(c.height()), 4);     // positive: bottom-up rows
    putLe(out, 1, 2);
    putLe(out, 24, 2);
    putLe(out, 0, 4);                        // BI_RGB
    putLe(out, imageBytes, 4);
    putLe(out, 3780, 4);                     // 96 dpi
    putLe(out, 3780, 4);
    putLe(out, 0, 4);
    putLe(out, 0, 4);
    for (int y = c.height() - 1; y >= 0; --y) {
        for (int x = 0; x < c.width(); ++x) {
            const Rgb p = c.at(x, y);
            out += char(p.b);
            out += char(p.g);
            out += char(p.r);
        }
        for (uint32_t pad = uint32_t(c.width()) * 3; pad < rowBytes; ++pad)
            out += '\0';
    }
    return out;
}

Rgb shade(Rgb c, int percent)
{
    auto f = [percent](uint8_t v) { return uint8_t(std::clamp(int(v) * percent / 100, 0, 255)); };
    return {f(c.r), f(c.g), f(c.b)};
}

} // namespace

std::string coverBitmap(const std::string& title, uint32_t seed, int width, int height)
{
    static const Rgb boards[] = {{30, 60, 140}, {150, 30, 40}, {20, 110, 80}, {90, 40, 120},
                                 {200, 120, 20}, {40, 40, 40}, {0, 120, 150}, {120, 90, 50}};
    const Rgb board = boards[seed % 8];
    const Rgb accent = (seed / 8) % 2 ? Rgb{250, 210, 40} : Rgb{235, 235, 235};
    Canvas c(width, height);

    // Board with a vertical shading, darker towards the bottom.
    for (int y = 0; y < height; ++y)
        c.fill(0, y, width, y + 1, shade(board, 120 - 40 * y / std::max(1, height - 1)));
    // Spine on the left.
    c.fill(0, 0, std::max(2, width / 12), height, shade(board, 60));

    // Title panel with the initials.
    const std::string letters = initials(title);
    const int scale = std::max(1, std::min(width / (int(letters.size()) * 7 + 2), height / 20));
    const int panelTop = height / 8;
    const int panelBottom = panelTop + 7 * scale + 2 * scale + 2;
    c.fill(width / 10, panelTop, width - width / 20, panelBottom, shade(board, 45));
    int x = (width - int(letters.size()) * 6 * scale + scale) / 2;
    for (char ch : letters) {
        drawLetter(c, ch, x, panelTop + scale + 1, scale, accent);
        x += 6 * scale;
    }

    // Emblem: a diamond or a ring in the middle.
    const int cx = width / 2 + width / 24, cy = height * 55 / 100, r = std::max(3, width / 6);
    for (int y = -r; y <= r; ++y)
        for (int dx = -r; dx <= r; ++dx) {
            const bool diamond = (seed / 16) % 2 == 0;
            const int d = diamond ? std::abs(dx) + std::abs(y) : dx * dx + y * y;
            const int lim = diamond ? r : r * r;
            const int inner = diamond ? r * 2 / 3 : (r * 2 / 3) * (r * 2 / 3);
            if (d <= lim && d >= inner)
                c.put(cx + dx, cy + y, accent);
        }

    // Author band near the bottom, with two "lines of text".
    const int bandTop = height * 80 / 100;
    c.fill(width / 10, bandTop, width - width / 20, height - height / 20, shade(accent, 90));
    c.fill(width / 5, bandTop + 3, width * 3 / 4, bandTop + 5, shade(board, 50));
    c.fill(width / 4, bandTop + 7, width * 2 / 3, bandTop + 9, shade(board, 50));
    return toBmp(c);
}

} // namespace mkbases
