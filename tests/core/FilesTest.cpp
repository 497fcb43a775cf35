#include "platform/FolderItem.h"
#include "support/PictureFiles.h"
#include "support/Program.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace planora::test {
namespace {

namespace fs = std::filesystem;
using planora::testing::answerNextOpenDialog;
using planora::testing::answerNextSaveDialog;
using planora::testing::messages;

const std::string kUnreadable = "Nicht genu\xCC\x88gend Speicher oder unbekanntes Format! ";
constexpr Color kWhite = RGB(255, 255, 255);
constexpr Color kBlack = RGB(0, 0, 0);
constexpr Color kRed = RGB(255, 0, 0);

std::vector<Color> pixelsOf(const Picture& p) {
    std::vector<Color> all;
    for (std::int64_t y = 0; y < p.Height(); ++y)
        for (std::int64_t x = 0; x < p.Width(); ++x)
            all.push_back(p.graphics().Pixel(x, y));
    return all;
}

// Which pixels of a 300 x 300 picture are dark: the loaded test pictures are black on the
// white that loading fills in.
std::vector<bool> inkOf(const Picture& p) {
    std::vector<bool> ink;
    for (std::int64_t y = 0; y < 300; ++y)
        for (std::int64_t x = 0; x < 300; ++x)
            ink.push_back(Red(p.graphics().Pixel(x, y)) < 128);
    return ink;
}

struct Rect {
    std::int64_t x, y, w, h;
    bool operator==(const Rect&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << r.w << "x" << r.h << " at (" << r.x << ", " << r.y << ")";
}

// The smallest rectangle around the ink, and whether the ink fills it.
std::pair<Rect, bool> inkBox(const Picture& p) {
    const std::vector<bool> ink = inkOf(p);
    std::int64_t left = 300, top = 300, right = -1, bottom = -1, count = 0;
    for (std::int64_t i = 0; i < 300 * 300; ++i)
        if (ink[std::size_t(i)]) {
            left = std::min(left, i % 300);
            right = std::max(right, i % 300);
            top = std::min(top, i / 300);
            bottom = std::max(bottom, i / 300);
            ++count;
        }
    const Rect r{left, top, right - left + 1, bottom - top + 1};
    return {r, count == r.w * r.h};
}

class Files : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        planora::testing::clearMessages();
    }
    std::string put(const std::string& name, const std::string& bytes) {
        writeBytes(dir_.file(name), bytes);
        return dir_.file(name);
    }
    std::string putPicture(const std::string& name, const Picture& p) {
        EXPECT_TRUE(FolderItem(dir_.file(name)).SaveAsPicture(p, 0));
        planora::testing::clearMessages();
        return dir_.file(name);
    }
    void load(const std::string& path) {
        answerNextOpenDialog(path);
        app().loadpic();
    }
    TempDir dir_;
};

// --- Loading ---------------------------------------------------------------------------------

struct Placement {
    const char* name;
    std::int64_t width, height;
    bool jpeg;   // a black JPEG instead of a BMP
    int turning; // the JPEG's EXIF orientation, 0 for none
    Rect shown;
    friend void PrintTo(const Placement& p, std::ostream* os) { *os << p.name; }
};

class LoadPlacement : public Files, public ::testing::WithParamInterface<Placement> {};

TEST_P(LoadPlacement, ShrinksToFitAndCentresOnWhite) {
    const Placement& p = GetParam();
    std::string jpeg = p.jpeg ? blackJpeg(p.width, p.height) : "";
    if (p.turning != 0)
        jpeg = withExifOrientation(jpeg, p.turning);
    load(p.jpeg ? put("p.jpg", jpeg)
                : putPicture("p.bmp", solidPicture(p.width, p.height, kBlack)));
    EXPECT_TRUE(messages().empty());
    const auto [box, filled] = inkBox(app().qbild);
    EXPECT_EQ(box, p.shown);
    EXPECT_TRUE(filled);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LoadPlacement,
    ::testing::Values(Placement{"w300h300", 300, 300, false, 0, {0, 0, 300, 300}},
                      Placement{"w200h100", 200, 100, false, 0, {50, 100, 200, 100}},
                      Placement{"w201h101", 201, 101, false, 0, {49, 99, 201, 101}},
                      Placement{"w600h300", 600, 300, false, 0, {0, 75, 300, 150}},
                      Placement{"w640h480", 640, 480, false, 0, {0, 37, 300, 225}},
                      Placement{"w450h900", 450, 900, false, 0, {75, 0, 150, 300}},
                      Placement{"w1000h450", 1000, 450, false, 0, {0, 82, 300, 135}},
                      Placement{"w301h1", 301, 1, false, 0, {0, 149, 300, 1}},
                      Placement{"w6000h4000", 6000, 4000, true, 0, {0, 50, 300, 200}},
                      Placement{"w7500h5050", 7500, 5050, true, 0, {0, 49, 300, 202}},
                      Placement{"w600h200TurnedAQuarter", 600, 200, true, 6, {100, 0, 100, 300}},
                      Placement{
                          "w6000h4000TurnedAQuarter", 6000, 4000, true, 8, {50, 0, 200, 300}}),
    [](const auto& info) { return std::string(info.param.name); });

// What a picture of that size covers when drawn whole, shrunk to fit and centred.
std::vector<bool> fullSizeInk(std::int64_t width, std::int64_t height) {
    const Picture whole = solidPicture(width, height, kBlack);
    const Picture shown = solidPicture(300, 300, kWhite);
    const double W = double(width), H = double(height);
    const double s = std::max(1.0, std::max(W / 300.0, H / 300.0));
    const double dw = W / s, dh = H / s;
    shown.graphics().DrawPicture(whole, std::trunc((300 - dw) / 2), std::trunc((300 - dh) / 2), dw,
                                 dh, 0, 0, W, H);
    return inkOf(shown);
}

struct Large {
    const char* name;
    std::int64_t width, height;
    friend void PrintTo(const Large& l, std::ostream* os) { *os << l.name; }
};

class LargePicture : public Files, public ::testing::WithParamInterface<Large> {};

// Large pictures are decoded at a reduced scale; they must still cover the very pixels that
// the full size would, including where Double rounding moves the full size's edge by a row.
TEST_P(LargePicture, CoversThePixelsOfTheFullSize) {
    const Large& l = GetParam();
    const std::vector<bool> expected = fullSizeInk(l.width, l.height);
    for (const bool jpeg : {false, true}) {
        SCOPED_TRACE(jpeg ? "jpeg" : "bmp");
        load(jpeg ? put("l.jpg", blackJpeg(l.width, l.height))
                  : putPicture("l.bmp", solidPicture(l.width, l.height, kBlack)));
        ASSERT_TRUE(messages().empty());
        EXPECT_TRUE(inkOf(app().qbild) == expected) << inkBox(app().qbild).first;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LargePicture,
                         ::testing::Values(Large{"roundsAboveRow50", 2409, 1606},
                                           Large{"roundsLeftOfColumn50", 1606, 2409},
                                           Large{"halfPixelHigh", 1208, 453},
                                           Large{"nearlySquare", 1303, 1301},
                                           Large{"thin", 1500, 7}, Large{"line", 30000, 1},
                                           Large{"column", 1, 30000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Files, LoadingEmptiesTheTargetAndTheNextTransformMapsTheLoadedPicture) {
    const Picture q = app().qbild, z = app().zbild;
    app().berechnet = true;
    Picture p = solidPicture(200, 100, kBlack);
    p.graphics().Pixel(0, 0, kRed);
    load(putPicture("p.bmp", p));
    EXPECT_FALSE(app().berechnet);
    EXPECT_TRUE(app().qbild.sameAs(q));
    EXPECT_TRUE(app().zbild.sameAs(z));
    EXPECT_EQ(app().qbild.graphics().Pixel(50, 100), kRed);
    EXPECT_EQ(pixelsOf(app().zbild), pixelsOf(solidPicture(300, 300, kWhite)));
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(q));
    EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(z));
    EXPECT_EQ(planora::testing::lastOpenDialogFilter(),
              "bmp/jpg/tiff (*.bmp *.jfif *.jpe *.jpeg *.jpg *.tif *.tiff)");

    app().berechnen();
    EXPECT_EQ(pixelsOf(app().zbild), pixelsOf(app().qbild));
}

// Files that other programs write: rows stored top-down, and 16-bit pixels whose white is
// 255 in every channel once loaded.
TEST_F(Files, TopDownAnd16BitBitmapsShowAsTheirFilesSay) {
    const std::uint32_t kTopDownRed = 0xFF0000, kTopDownBlue = 0x0000FF;
    BmpParts topDown;
    topDown.width = 200;
    topDown.height = -100;
    std::vector<std::vector<std::uint32_t>> rows(100);
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y].assign(200, y < 50 ? kTopDownRed : kTopDownBlue);
    topDown.pixels = bmpRows(24, rows);
    load(put("topdown.bmp", bmpBytes(topDown)));
    ASSERT_TRUE(messages().empty());
    EXPECT_EQ(app().qbild.graphics().Pixel(150, 120), kRed);
    EXPECT_EQ(app().qbild.graphics().Pixel(150, 180), RGB(0, 0, 255));

    BmpParts sixteen;
    sixteen.width = 200;
    sixteen.height = 100;
    sixteen.bits = 16;
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < 200; ++x)
            rows[y][x] = x < 100 ? 0x0000 : 0x7FFF;
    sixteen.pixels = bmpRows(16, rows);
    load(put("sixteen.bmp", bmpBytes(sixteen)));
    ASSERT_TRUE(messages().empty());
    EXPECT_EQ(app().qbild.graphics().Pixel(100, 150), kBlack);
    EXPECT_EQ(app().qbild.graphics().Pixel(200, 150), kWhite);
    EXPECT_EQ(app().qbild.graphics().Pixel(200, 50), kWhite); // the margin
}

// A shrunk picture averages what it combines: a checkerboard of single pixels becomes an even
// grey, with no stripes where the steps of the shrink fall on one colour more than the other.
TEST_F(Files, AFineCheckerboardShowsAsEvenGrey) {
    BmpParts checks;
    checks.width = 3000;
    checks.height = 2000;
    checks.bits = 1;
    checks.palette = std::string("\0\0\0\0\xFF\xFF\xFF\0", 8);
    std::vector<std::vector<std::uint32_t>> rows(2000, std::vector<std::uint32_t>(3000));
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            rows[y][x] = (x + y) % 2;
    checks.pixels = bmpRows(1, rows);
    load(put("checks.bmp", bmpBytes(checks)));
    ASSERT_TRUE(messages().empty());
    int darkest = 255, lightest = 0;
    for (std::int64_t y = 50; y < 250; ++y)
        for (std::int64_t x = 0; x < 300; ++x) {
            const Color c = app().qbild.graphics().Pixel(x, y);
            darkest = std::min({darkest, Red(c), Green(c), Blue(c)});
            lightest = std::max({lightest, Red(c), Green(c), Blue(c)});
        }
    EXPECT_GE(darkest, 120);
    EXPECT_LE(lightest, 135);
}

TEST_F(Files, LoadingWorksInOverlayMode) {
    app().overlay = true;
    app().reset();
    const std::vector<Color> obild = pixelsOf(app().obild);
    const Picture rightBackdrop = window().CAziel()->Backdrop();
    load(putPicture("p.bmp", solidPicture(200, 100, kBlack)));
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(inkBox(app().qbild).first, (Rect{50, 100, 200, 100}));
    EXPECT_EQ(pixelsOf(app().zbild), pixelsOf(solidPicture(300, 300, kWhite)));
    EXPECT_EQ(pixelsOf(app().obild), obild);
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(app().zbild));
    EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(rightBackdrop));
}

TEST_F(Files, CancellingTheOpenDialogChangesNothing) {
    app().berechnet = true;
    const std::vector<Color> q = pixelsOf(app().qbild), z = pixelsOf(app().zbild);
    answerNextOpenDialog(std::nullopt);
    app().loadpic();
    EXPECT_TRUE(app().berechnet);
    EXPECT_EQ(pixelsOf(app().qbild), q);
    EXPECT_EQ(pixelsOf(app().zbild), z);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(planora::testing::unscriptedDialogs(), 0);
}

// Each of these files gets the one message and leaves both pictures and both canvases as
// they were; only berechnet goes false.
struct Unreadable {
    const char* name;
    std::function<std::string(const TempDir&)> make;
    friend void PrintTo(const Unreadable& u, std::ostream* os) { *os << u.name; }
};

std::string cut(const std::string& bytes, std::size_t keep) {
    return bytes.substr(0, keep);
}

std::string patched(std::string bytes, std::size_t at, const std::string& with) {
    bytes.replace(at, with.size(), with);
    return bytes;
}

std::string savedBytes(const TempDir& dir, const std::string& name, const Picture& p) {
    EXPECT_TRUE(FolderItem(dir.file(name)).SaveAsPicture(p, 0));
    return readBytes(dir.file(name));
}

const Unreadable kUnreadableFiles[] = {
    {"emptyFile",
     [](const TempDir& d) {
         writeBytes(d.file("e.jpg"), "");
         return d.file("e.jpg");
     }},
    {"textNamedJpg",
     [](const TempDir& d) {
         writeBytes(d.file("t.jpg"), "Dies ist kein Bild.\n");
         return d.file("t.jpg");
     }},
    {"truncatedJpeg",
     [](const TempDir& d) {
         const std::string j = savedBytes(d, "src.jpg", solidPicture(200, 100, kRed));
         writeBytes(d.file("t.jpg"), cut(j, j.size() / 2));
         return d.file("t.jpg");
     }},
    {"jpegWithoutItsEnd",
     [](const TempDir& d) {
         const std::string j = blackJpeg(64, 64);
         writeBytes(d.file("t.jpg"), cut(j, j.size() - 2));
         return d.file("t.jpg");
     }},
    {"truncatedBmp",
     [](const TempDir& d) {
         const std::string b = savedBytes(d, "src.bmp", solidPicture(50, 40, kRed));
         writeBytes(d.file("t.bmp"), cut(b, b.size() - 100));
         return d.file("t.bmp");
     }},
    {"truncatedRunLengthBmp",
     [](const TempDir& d) {
         writeBytes(d.file("t.bmp"), rle8Bmp(4, 3, "", std::string("\x04\x01\x00\x00\x02", 5)));
         return d.file("t.bmp");
     }},
    {"runLengthBmpOf1KBClaiming4096Square",
     [](const TempDir& d) {
         writeBytes(d.file("bomb.bmp"), rle8Bmp(4096, 4096, "", std::string(1000, '\0')));
         return d.file("bomb.bmp");
     }},
    {"truncatedTiff",
     [](const TempDir& d) {
         const std::string t = tiffBytes(40, 30, false, [](auto, auto) { return 0xFF0000u; });
         writeBytes(d.file("t.tif"), cut(t, t.size() - 100));
         return d.file("t.tif");
     }},
    {"jpegClaiming20000Square",
     [](const TempDir& d) {
         writeBytes(d.file("huge.jpg"), blackJpeg(20000, 20000));
         return d.file("huge.jpg");
     }},
    {"bmpHeaderClaiming30000Square",
     [](const TempDir& d) {
         const std::string b = savedBytes(d, "src.bmp", solidPicture(10, 10, kRed));
         writeBytes(d.file("huge.bmp"),
                    patched(b, 18, std::string("\x30\x75\x00\x00\x30\x75\x00\x00", 8)));
         return d.file("huge.bmp");
     }},
    {"tiffHeaderClaiming40000Square",
     [](const TempDir& d) {
         // Width and height are the first two entries of the directory at offset 8.
         const std::string t = tiffBytes(4, 4, false, [](auto, auto) { return 0u; });
         writeBytes(d.file("huge.tif"), patched(patched(t, 18, std::string("\x40\x9C\x00\x00", 4)),
                                                30, std::string("\x40\x9C\x00\x00", 4)));
         return d.file("huge.tif");
     }},
    {"xpmNamedBmp",
     [](const TempDir& d) {
         writeBytes(d.file("x.bmp"), "/* XPM */\nstatic char *x[] = {\"1 1 1 1\", \"a c #FF0000\", "
                                     "\"a\"};\n");
         return d.file("x.bmp");
     }},
    {"icnsNamedBmp",
     [](const TempDir& d) {
         writeBytes(d.file("x.bmp"), std::string("icns\x00\x00\x00\x08", 8));
         return d.file("x.bmp");
     }},
    {"pngNamedJpg",
     [](const TempDir& d) {
         writeBytes(d.file("x.jpg"), savedBytes(d, "src.png", solidPicture(20, 10, kRed)));
         return d.file("x.jpg");
     }},
    {"fifoNamedJpg",
     [](const TempDir& d) {
         ::mkfifo(d.file("pipe.jpg").c_str(), 0600);
         return d.file("pipe.jpg");
     }},
    {"folderNamedJpg",
     [](const TempDir& d) {
         fs::create_directory(d.file("folder.jpg"));
         return d.file("folder.jpg");
     }},
    {"missingFile", [](const TempDir& d) { return d.file("gone.jpg"); }},
};

class UnreadableFile : public Files, public ::testing::WithParamInterface<Unreadable> {};

TEST_P(UnreadableFile, ShowsTheMessageAndChangesNothingElse) {
    ASSERT_EQ(kUnreadable.size(), 51u);
    const std::string path = GetParam().make(dir_);
    planora::testing::clearMessages();
    app().berechnet = true;
    const std::vector<Color> q = pixelsOf(app().qbild), z = pixelsOf(app().zbild);
    const Picture left = window().CAquell()->Backdrop(), right = window().CAziel()->Backdrop();
    load(path);
    EXPECT_EQ(messages(), std::vector<std::string>{kUnreadable});
    EXPECT_FALSE(app().berechnet);
    EXPECT_EQ(pixelsOf(app().qbild), q);
    EXPECT_EQ(pixelsOf(app().zbild), z);
    EXPECT_TRUE(window().CAquell()->Backdrop().sameAs(left));
    EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(right));
}

INSTANTIATE_TEST_SUITE_P(Kinds, UnreadableFile, ::testing::ValuesIn(kUnreadableFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Saving ----------------------------------------------------------------------------------

class Saving : public Files {
protected:
    void SetUp() override {
        Files::SetUp();
        // A target with something in it, not only white.
        Graphics& g = app().zbild.graphics();
        g.ForeColor(RGB(0, 0, 255));
        g.FillRect(20, 30, 100, 50);
        g.Pixel(299, 299, RGB(1, 2, 3));
    }
    Picture saveAndReadBack() {
        const std::string path = dir_.file("saved.bmp");
        answerNextSaveDialog(path);
        app().savepic();
        return FolderItem(path).OpenAsPicture();
    }
};

TEST_F(Saving, WithTheAxesOffWritesACopyOfTheTarget) {
    const Picture saved = saveAndReadBack();
    ASSERT_FALSE(saved.isNil());
    EXPECT_EQ(pixelsOf(saved), pixelsOf(app().zbild));
    const auto request = planora::testing::lastSaveDialog();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->filter, "");
    EXPECT_EQ(request->defaultName, "bild");
    EXPECT_TRUE(messages().empty());
}

TEST_F(Saving, WithTheAxesOnBurnsThemInAndLeavesTheShownPictures) {
    app().achsen(true);
    const std::vector<Color> z = pixelsOf(app().zbild), q = pixelsOf(app().qbild);
    const Picture saved = saveAndReadBack();
    ASSERT_FALSE(saved.isNil());
    // The red cross at the default origin: row 149 and column 150.
    for (std::int64_t y = 0; y < 300; ++y)
        for (std::int64_t x = 0; x < 300; ++x) {
            const Color expected = (y == 149 || x == 150) ? kRed : z[std::size_t(y * 300 + x)];
            ASSERT_EQ(saved.graphics().Pixel(x, y), expected) << x << ", " << y;
        }
    EXPECT_EQ(pixelsOf(app().zbild), z);
    EXPECT_EQ(pixelsOf(app().qbild), q);
    EXPECT_TRUE(window().CAziel()->Backdrop().sameAs(app().zbild));
}

TEST_F(Saving, TheProposedNameBecomesAPng) {
    answerNextSaveDialog(dir_.file("bild"));
    app().savepic();
    EXPECT_EQ(readBytes(dir_.file("bild.png")).substr(0, 4), "\x89PNG");
    EXPECT_FALSE(fs::exists(dir_.file("bild")));
}

TEST_F(Saving, CancellingWritesNothing) {
    answerNextSaveDialog(std::nullopt);
    app().savepic();
    EXPECT_TRUE(fs::is_empty(dir_.path()));
    EXPECT_TRUE(messages().empty());
}

TEST_F(Saving, AddsNoMessageOfItsOwnToAFailedWrite) {
    answerNextSaveDialog(dir_.file("gone/bild.bmp"));
    app().savepic();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].rfind("Das Bild konnte nicht gespeichert werden", 0), 0u);
}

} // namespace
} // namespace planora::test
