#include "platform/WindowPlacement.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string_view>
#include <vector>

namespace planora {
namespace {

struct PlacementCase {
    std::string_view name;
    Bounds available;
    std::vector<Bounds> shown;
    int width, height;
    int left, top;
};

std::ostream& operator<<(std::ostream& os, const PlacementCase& c) {
    return os << c.name;
}

// The program's windows with a window manager's decoration (1 pixel borders, a 20 pixel title
// bar): the main window at the top left, the options window where it puts itself.
constexpr Bounds kMain = {0, 0, 762, 370};
constexpr Bounds kOptions = {10, 380, 352, 231};
constexpr Bounds kScreen = {0, 0, 1280, 1024};

// clang-format off
const PlacementCase kCases[] = {
    {"theFirstWindowAtTheTopLeft",          kScreen,             {},                  762, 370,    0,   0},
    {"theFirstBesideAPanel",                {0, 30, 1280, 994},  {},                  762, 370,    0,  30},
    {"aLaterOneAtTheTopRightCorner",        kScreen,             {kMain},             240, 342, 1040,   0},
    {"alsoWithTheOptionsOpen",              kScreen,             {kMain, kOptions},   240, 342, 1040,   0},
    {"belowWhereTheCornerIsTaken",          kScreen,             {kMain, {1000, 0, 280, 300}}, 240, 342, 0, 370},
    {"belowWhereNothingFitsBeside",         {0, 0, 800, 1024},   {kMain},             240, 342,    0, 370},
    {"cascadedAndKeptInsideWhenNothingIsFree", {0, 0, 800, 600}, {kMain, kOptions},   240, 342,   50, 258},
};
// clang-format on

class OpeningPlace : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(OpeningPlace, IsTheFirstFreePlaceInsideTheArea) {
    const PlacementCase& c = GetParam();
    const Bounds b = openingPlace(c.available, c.shown, c.width, c.height);
    EXPECT_EQ(b.left, c.left);
    EXPECT_EQ(b.top, c.top);
    EXPECT_EQ(b.width, c.width);
    EXPECT_EQ(b.height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpeningPlace, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace planora
