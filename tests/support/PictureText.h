#pragma once

// Small pictures written as text, one character a pixel, so that a failing comparison shows
// the wrong pixel:
//
//     const Picture src = pictureFromText({"....b", "..r..", "....."});
//     EXPECT_EQ(pictureToText(mapped), (Rows{"b....", "..r..", "....."}));
//
// The characters: '.' white, '#' black, 'r' red, 'g' green, 'b' blue, 'c' cyan, 'm' magenta,
// 'y' yellow, '+' the grey of the axes RGB(120, 120, 120). Any other colour reads as '?'.

#include "platform/Color.h"
#include "platform/Picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace planora::test {

using Rows = std::vector<std::string>;

// The colour of a character; throws std::invalid_argument for one that names none.
Color colorOfChar(char c);
// The character of a colour, '?' for a colour that has none.
char charOfColor(Color c);

// A new picture as wide as the longest row and as high as the rows; short rows end in white.
Picture pictureFromText(const Rows& rows);
// Writes the rows into p with their first character at pixel (x, y); the rest of p stays.
void drawText(const Picture& p, std::int64_t x, std::int64_t y, const Rows& rows);

// The whole picture as text, or the window of w x h pixels whose top-left pixel is (x, y).
Rows pictureToText(const Picture& p);
Rows pictureToText(const Picture& p, std::int64_t x, std::int64_t y, std::int64_t w,
                   std::int64_t h);

// True when both pictures have the same size and every pixel the same colour.
bool samePixels(const Picture& a, const Picture& b);

} // namespace planora::test
