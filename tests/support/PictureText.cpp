#include "support/PictureText.h"

#include <algorithm>
#include <stdexcept>

namespace planora::test {

namespace {

struct Entry {
    char c;
    Color color;
};

constexpr Entry kPalette[] = {
    {'.', RGB(255, 255, 255)}, {'#', RGB(0, 0, 0)},     {'r', RGB(255, 0, 0)},
    {'g', RGB(0, 255, 0)},     {'b', RGB(0, 0, 255)},   {'c', RGB(0, 255, 255)},
    {'m', RGB(255, 0, 255)},   {'y', RGB(255, 255, 0)}, {'+', RGB(120, 120, 120)},
};

} // namespace

Color colorOfChar(char c) {
    for (const Entry& e : kPalette)
        if (e.c == c)
            return e.color;
    throw std::invalid_argument(std::string("no colour for '") + c + "'");
}

char charOfColor(Color color) {
    for (const Entry& e : kPalette)
        if (e.color == color)
            return e.c;
    return '?';
}

Picture pictureFromText(const Rows& rows) {
    std::size_t width = 1;
    for (const std::string& row : rows)
        width = std::max(width, row.size());
    const Picture p(std::int64_t(width), std::int64_t(std::max<std::size_t>(rows.size(), 1)));
    drawText(p, 0, 0, rows);
    return p;
}

void drawText(const Picture& p, std::int64_t x, std::int64_t y, const Rows& rows) {
    Graphics& g = p.graphics();
    for (std::size_t j = 0; j < rows.size(); ++j)
        for (std::size_t i = 0; i < rows[j].size(); ++i)
            g.Pixel(x + std::int64_t(i), y + std::int64_t(j), colorOfChar(rows[j][i]));
}

Rows pictureToText(const Picture& p) {
    return pictureToText(p, 0, 0, p.Width(), p.Height());
}

Rows pictureToText(const Picture& p, std::int64_t x, std::int64_t y, std::int64_t w,
                   std::int64_t h) {
    const Graphics& g = p.graphics();
    Rows rows;
    for (std::int64_t j = 0; j < h; ++j) {
        std::string row;
        for (std::int64_t i = 0; i < w; ++i)
            row += charOfColor(g.Pixel(x + i, y + j));
        rows.push_back(std::move(row));
    }
    return rows;
}

bool samePixels(const Picture& a, const Picture& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (std::int64_t y = 0; y < a.Height(); ++y)
        for (std::int64_t x = 0; x < a.Width(); ++x)
            if (a.graphics().Pixel(x, y) != b.graphics().Pixel(x, y))
                return false;
    return true;
}

} // namespace planora::test
