#include "platform/Picture.h"

#include "platform/Color.h"
#include "platform/Exceptions.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace planora {
namespace {

constexpr Color kWhite = RGB(255, 255, 255);
constexpr Color kRed = RGB(255, 0, 0);
constexpr Color kBlue = RGB(0, 0, 255);

TEST(ColorTest, KeepsTransparencyRedGreenBlueFromTheTopByte) {
    static_assert(RGB(0x12, 0x34, 0x56, 0x78) == 0x78123456u);
    static_assert(RGB(255, 255, 255, 0) == 0x00FFFFFFu);
    static_assert(Red(0x78123456u) == 0x12 && Green(0x78123456u) == 0x34);
    static_assert(Blue(0x78123456u) == 0x56 && Transparency(0x78123456u) == 0x78);
    static_assert(Picture::colorFromWord(Picture::wordFromColor(0x00ABCDEFu)) == 0x00ABCDEFu);
    SUCCEED();
}

std::string errorOf(auto&& f) {
    try {
        f();
    } catch (const OutOfBoundsException& e) {
        return e.what();
    }
    return "no error";
}

TEST(PictureTest, RefusesSizesOutsideOneTo32767) {
    const std::string message = "Width/Height needs to be in the range 1-32767";
    for (auto [w, h] : {std::pair{0, 300}, {300, 0}, {-1, 1}, {32768, 1}, {1, 32768}})
        EXPECT_EQ(errorOf([&] { Picture p(w, h, 16); }), message) << w << "x" << h;
    EXPECT_EQ(errorOf([] { Picture p(1, 1, 16); }), "no error");
}

TEST(PictureTest, IsOneSharedObject) {
    Picture p(300, 300, 16);
    EXPECT_EQ(p.Width(), 300);
    EXPECT_EQ(p.Height(), 300);
    EXPECT_EQ(p.Depth(), 16);
    Picture shared = p;
    shared.graphics().Pixel(5, 6, kRed);
    EXPECT_EQ(p.graphics().Pixel(5, 6), kRed);
    EXPECT_TRUE(shared.sameAs(p));
    EXPECT_FALSE(Picture(300, 300, 16).sameAs(p));
}

TEST(PictureTest, NilThrowsOnUse) {
    Picture nil;
    EXPECT_TRUE(nil.isNil());
    EXPECT_THROW(nil.Width(), NilObjectException);
    EXPECT_THROW(nil.graphics(), NilObjectException);
}

TEST(GraphicsTest, KeepsItsStateBetweenReadsOfThePicturesContext) {
    Picture p(300, 300, 16);
    p.graphics().ForeColor(kBlue);
    p.graphics().PenWidth(2);
    p.graphics().TextSize(16);
    p.graphics().FillRect(0, 0, 300, 300);
    Graphics& again = p.graphics();
    EXPECT_EQ(again.ForeColor(), kBlue);
    EXPECT_EQ(again.PenWidth(), 2);
    EXPECT_EQ(again.TextSize(), 16);
    EXPECT_EQ(again.Pixel(0, 0), kBlue);
    EXPECT_EQ(again.Pixel(299, 299), kBlue);
}

TEST(GraphicsTest, TextSizeTakesNaNAndInfinityAsZero) {
    Picture p(10, 10);
    p.graphics().TextSize(std::nan(""));
    EXPECT_EQ(p.graphics().TextSize(), 0);
    p.graphics().TextSize(1.0 / 0.0);
    EXPECT_EQ(p.graphics().TextSize(), 0);
}

TEST(GraphicsTest, PixelWritesTheColourWithoutBlending) {
    Picture p(300, 300, 16);
    Graphics& g = p.graphics();
    g.ForeColor(kWhite);
    g.FillRect(0, 0, 300, 300);
    g.Pixel(0, 0, RGB(1, 2, 3));
    g.Pixel(299, 299, RGB(200, 100, 50));
    EXPECT_EQ(g.Pixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(g.Pixel(299, 299), RGB(200, 100, 50));
    EXPECT_EQ(g.Pixel(1, 0), kWhite);
    // A picture is opaque: a transparent colour keeps its channels and loses its transparency.
    g.Pixel(3, 3, RGB(10, 20, 30, 128));
    EXPECT_EQ(g.Pixel(3, 3), RGB(10, 20, 30, 0));
}

TEST(GraphicsTest, PixelOutsideThePictureThrowsWithTheCoordinate) {
    Picture p(300, 200, 16);
    Graphics& g = p.graphics();
    EXPECT_EQ(errorOf([&] { g.Pixel(300, 0); }),
              "x coordinates (300) exceeds graphics width (300)");
    EXPECT_EQ(errorOf([&] { g.Pixel(-1, 0); }), "x coordinates (-1) exceeds graphics width (300)");
    EXPECT_EQ(errorOf([&] { g.Pixel(0, 200); }),
              "y coordinates (200) exceeds graphics height (200)");
    EXPECT_EQ(errorOf([&] { g.Pixel(0, -5, kRed); }),
              "y coordinates (-5) exceeds graphics height (200)");
}

// A 4 x 2 picture with four coloured columns.
Picture stripes() {
    Picture p(4, 2);
    const Color colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(9, 9, 9)};
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            p.graphics().Pixel(x, y, colours[x]);
    return p;
}

TEST(GraphicsTest, DrawPictureCopiesUnscaledAndLeavesTheRestAlone) {
    Picture target(10, 10);
    target.graphics().ForeColor(kWhite);
    target.graphics().FillRect(0, 0, 10, 10);
    const Picture source = stripes();
    target.graphics().DrawPicture(source, 3, 4);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(target.graphics().Pixel(3 + x, 4 + y), source.graphics().Pixel(x, y));
    EXPECT_EQ(target.graphics().Pixel(2, 4), kWhite);
    EXPECT_EQ(target.graphics().Pixel(7, 4), kWhite);
    EXPECT_EQ(target.graphics().Pixel(3, 6), kWhite);
}

TEST(GraphicsTest, DrawPictureClipsAtTheEdgesAndIgnoresNil) {
    Picture target(10, 10);
    target.graphics().ForeColor(kWhite);
    target.graphics().FillRect(0, 0, 10, 10);
    target.graphics().DrawPicture(stripes(), -2, 9); // columns 2 and 3 of row 0 show
    EXPECT_EQ(target.graphics().Pixel(0, 9), RGB(0, 0, 255));
    EXPECT_EQ(target.graphics().Pixel(1, 9), RGB(9, 9, 9));
    EXPECT_EQ(target.graphics().Pixel(2, 9), kWhite);
    target.graphics().DrawPicture(Picture(), 0, 0);
    target.graphics().DrawPicture(stripes(), 1e300, -1e300, 4, 2, 0, 0, 4, 2);
    target.graphics().DrawPicture(stripes(), 0, 0, 4, 2, 0, 0, 400, 200); // source beyond it
    EXPECT_EQ(target.graphics().Pixel(5, 5), kWhite);
}

TEST(GraphicsTest, DrawPictureScalesTheSourceRectangleIntoTheDestination) {
    Picture target(8, 4);
    target.graphics().ForeColor(kWhite);
    target.graphics().FillRect(0, 0, 8, 4);
    // Each source column becomes two destination columns; rows likewise.
    Picture source(2, 1);
    source.graphics().Pixel(0, 0, kRed);
    source.graphics().Pixel(1, 0, kBlue);
    target.graphics().DrawPicture(source, 2, 1, 4, 2, 0, 0, 2, 1);
    EXPECT_EQ(target.graphics().Pixel(1, 1), kWhite);
    EXPECT_EQ(Red(target.graphics().Pixel(2, 1)), 255);
    EXPECT_EQ(Blue(target.graphics().Pixel(5, 2)), 255);
    EXPECT_EQ(target.graphics().Pixel(6, 1), kWhite);
    EXPECT_EQ(target.graphics().Pixel(2, 3), kWhite);
}

TEST(GraphicsTest, ClearRectLeavesWhite) {
    Picture p(5, 5);
    p.graphics().ForeColor(kRed);
    p.graphics().FillRect(0, 0, 5, 5);
    p.graphics().ClearRect(0, 0, 5, 5);
    EXPECT_EQ(p.graphics().Pixel(2, 2), kWhite);
    EXPECT_EQ(p.graphics().ForeColor(), kRed);
}

TEST(PictureTest, RowsHoldTheSamePixelsAsThePixelAccessors) {
    Picture p(3, 2);
    p.graphics().Pixel(2, 1, RGB(7, 8, 9));
    EXPECT_EQ(Picture::colorFromWord(p.constRow(1)[2]), RGB(7, 8, 9));
    p.row(0)[1] = Picture::wordFromColor(RGB(1, 2, 3));
    EXPECT_EQ(p.graphics().Pixel(1, 0), RGB(1, 2, 3));
    EXPECT_THROW(p.constRow(2), OutOfBoundsException);
}

} // namespace
} // namespace planora
