#include "platform/Picture.h"
#include "platform/picturefiles/PictureReader.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace planora {
namespace {

constexpr Color kWhite = RGB(255, 255, 255);

Picture whitePicture(std::int64_t width, std::int64_t height) {
    Picture p(width, height);
    p.graphics().ForeColor(kWhite);
    p.graphics().FillRect(0, 0, double(width), double(height));
    return p;
}

Picture patterned(std::int64_t width, std::int64_t height,
                  const std::function<bool(std::int64_t, std::int64_t)>& black) {
    Picture p(width, height);
    for (std::int64_t y = 0; y < height; ++y)
        for (std::int64_t x = 0; x < width; ++x)
            p.graphics().Pixel(x, y, black(x, y) ? RGB(0, 0, 0) : kWhite);
    return p;
}

struct Rect {
    std::int64_t x, y, width, height;
    bool contains(std::int64_t px, std::int64_t py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
};

// A picture of one colour drawn whole into a fractional rectangle of a white 300 x 300 one:
// the pixels it covers (as the toolkit has always covered them) take exactly its colour, and
// all others stay white, whether the draw shrinks or enlarges.
struct Draw {
    const char* name;
    std::int64_t width, height; // of the picture drawn
    double x, y, w, h;          // the destination
    Rect covered;               // empty: nothing
};

Draw fitted(const char* name, std::int64_t width, std::int64_t height, Rect covered) {
    const BoxFit f = fitIntoBox({width, height}, {300, 300});
    return {name, width, height, double(f.x), double(f.y), f.width, f.height, covered};
}

const Draw kDraws[] = {
    fitted("a third, ending a third of a row down", 1000, 451, {0, 82, 300, 135}),
    fitted("ending half a row down", 1208, 453, {0, 93, 300, 113}),
    fitted("a shade over 200 rows high", 2409, 1606, {0, 49, 300, 200}),
    fitted("a shade over 200 columns wide", 1606, 2409, {49, 0, 200, 300}),
    fitted("half a row short of the box", 1303, 1301, {0, 0, 300, 300}),
    fitted("1.4 rows high", 1500, 7, {0, 149, 300, 1}),
    fitted("1.5 rows high", 601, 3, {0, 149, 300, 1}),
    fitted("1.4 columns wide", 7, 1500, {149, 0, 1, 300}),
    {"shrunk from halves to halves", 400, 200, 10.4, 20.6, 99.5, 50.5, {10, 21, 100, 50}},
    {"shrunk from half a pixel", 40, 20, 0.5, 0.5, 7.5, 3.2, {1, 1, 7, 3}},
    {"partly outside and 0.6 rows high", 800, 30, -3.7, 5.5, 100.25, 0.6, {0, 0, 0, 0}},
    {"enlarged", 10, 10, 5.5, 5.5, 33.3, 20.2, {5, 6, 34, 20}},
    {"enlarged one way, shrunk the other", 10, 500, 5.5, 5.5, 33.3, 20.2, {5, 6, 34, 20}},
};

TEST(DrawPicture, AScaledPictureOfOneColourCoversItsPixelsInExactlyThatColour) {
    const Color colour = RGB(200, 30, 91);
    for (const Draw& d : kDraws) {
        SCOPED_TRACE(d.name);
        Picture source(d.width, d.height);
        source.graphics().ForeColor(colour);
        source.graphics().FillRect(0, 0, double(d.width), double(d.height));
        Picture target = whitePicture(300, 300);
        target.graphics().DrawPicture(source, d.x, d.y, d.w, d.h, 0, 0, double(d.width),
                                      double(d.height));
        int wrong = 0;
        for (std::int64_t y = 0; y < 300; ++y)
            for (std::int64_t x = 0; x < 300; ++x)
                wrong +=
                    target.graphics().Pixel(x, y) != (d.covered.contains(x, y) ? colour : kWhite);
        EXPECT_EQ(wrong, 0);
    }
}

// Fine detail shrunk by 3.3 each way: each pixel drawn is the average of the 3.3 x 3.3 pixels
// it stands for, about half black and half white, so the whole shows an even grey and no
// stripes or moiré.
TEST(DrawPicture, FineDetailShrunkByMoreThanHalfComesOutAsItsAverage) {
    struct Pattern {
        const char* name;
        std::function<bool(std::int64_t, std::int64_t)> black;
    };
    const Pattern patterns[] = {
        {"checkerboard", [](std::int64_t x, std::int64_t y) { return (x + y) % 2 == 0; }},
        {"rows", [](std::int64_t, std::int64_t y) { return y % 2 == 0; }},
        {"columns", [](std::int64_t x, std::int64_t) { return x % 2 == 0; }},
    };
    for (const Pattern& pattern : patterns) {
        SCOPED_TRACE(pattern.name);
        const Picture source = patterned(990, 660, pattern.black);
        Picture target = whitePicture(300, 300);
        target.graphics().DrawPicture(source, 0, 50, 300, 200, 0, 0, 990, 660);
        std::int64_t lowest = 255, highest = 0, sum = 0;
        for (std::int64_t y = 50; y < 250; ++y) {
            for (std::int64_t x = 0; x < 300; ++x) {
                const Color c = target.graphics().Pixel(x, y);
                ASSERT_TRUE(Red(c) == Green(c) && Green(c) == Blue(c));
                lowest = std::min<std::int64_t>(lowest, Red(c));
                highest = std::max<std::int64_t>(highest, Red(c));
                sum += Red(c);
            }
        }
        EXPECT_GE(lowest, 88);
        EXPECT_LE(highest, 168);
        EXPECT_NEAR(double(sum) / (300 * 200), 127.5, 4);
        EXPECT_EQ(target.graphics().Pixel(150, 49), kWhite);
        EXPECT_EQ(target.graphics().Pixel(150, 250), kWhite);
    }
}

TEST(DrawPicture, ADrawAtTheSameSizeCopiesEveryPixel) {
    const Picture source =
        patterned(120, 80, [](std::int64_t x, std::int64_t y) { return (x * 7 + y * 3) % 5 < 2; });
    Picture target = whitePicture(300, 300);
    target.graphics().DrawPicture(source, 10, 20, 120, 80, 0, 0, 120, 80);
    int wrong = 0;
    for (std::int64_t y = 0; y < 80; ++y)
        for (std::int64_t x = 0; x < 120; ++x)
            wrong += target.graphics().Pixel(x + 10, y + 20) != source.graphics().Pixel(x, y);
    EXPECT_EQ(wrong, 0);
}

} // namespace
} // namespace planora
