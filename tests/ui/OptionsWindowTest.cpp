#include "core/Resources.h"
#include "platform/Testing.h"
#include "platform/Text.h"
#include "support/PictureText.h"
#include "support/Program.h"
#include "ui/WIopt.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace planora::test {
namespace {

namespace pt = planora::testing;

constexpr std::string_view kOptions = "WIopt.WIopt";
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

int openOptionsWindows() {
    int n = 0;
    for (Window* w : Window::openWindows())
        n += w->className() == kOptions;
    return n;
}

// A copy of the picture's present pixels, unaffected by later drawing into it.
Picture snapshot(const Picture& p) {
    Picture copy(p.Width(), p.Height());
    copy.graphics().DrawPicture(p, 0, 0);
    return copy;
}

// Pixels whose colour is clearly blue or clearly red (ink of the overlay templates).
struct Ink {
    int blue = 0, red = 0;
};
Ink inkOf(const Picture& p) {
    Ink ink;
    for (std::int64_t y = 0; y < p.Height(); ++y)
        for (std::int64_t x = 0; x < p.Width(); ++x) {
            const Color c = p.graphics().Pixel(x, y);
            const int r = int((c >> 16) & 0xFF), g = int((c >> 8) & 0xFF), b = int(c & 0xFF);
            ink.blue += b > r + 80 && b > g + 80;
            ink.red += r > b + 80 && r > g + 80;
        }
    return ink;
}

class OptionsWindowTest : public ProgramTest {
protected:
    // Presses "Optionen" in the main window, as the user does.
    WIopt& pressOptionen() {
        pt::click(*window().PushButton3());
        pt::processEvents();
        return dynamic_cast<WIopt&>(Window::find(kOptions).get());
    }

    // From now on counts the repaints of both canvases, which still draw what they draw.
    void countRepaints() {
        pt::processEvents();
        countPaints(*window().CAquell(), quellPaints);
        countPaints(*window().CAziel(), zielPaints);
    }
    int quellPaints = 0, zielPaints = 0;

private:
    static void countPaints(Canvas& canvas, int& count) {
        auto paint = canvas.Paint;
        canvas.Paint = [paint, &count](Canvas& c, Graphics& g) {
            ++count;
            paint(c, g);
        };
    }
};

TEST_F(OptionsWindowTest, LayoutHoldsTheTwentyTwoControlsOfTheFourFrames) {
    WIopt& w = pressOptionen();
    EXPECT_EQ(w.Title(), "Optionen");
    EXPECT_EQ(w.Width(), 350);
    EXPECT_EQ(w.Height(), 210);
    EXPECT_EQ(w.controls().size(), 22u);

    EXPECT_EQ(w.CBoverlay()->Caption(), std::string("\xC3\x9C") + "berlagerung"); // composed
    EXPECT_EQ(w.StaticText2()->Text(), "|");
    EXPECT_EQ(w.GroupBox4()->Caption(), "Bild");
    EXPECT_EQ(w.GroupBox1()->Caption(), "Transformieren");
    EXPECT_EQ(w.GroupBox2()->Caption(), "Ursprung");
    EXPECT_EQ(w.GroupBox3()->Caption(), "Achsen");
    EXPECT_EQ(w.RBber(1)->Caption(), "mit Matrix");
    EXPECT_EQ(w.RBachsen(2)->Caption(), "x/y-Achsen");

    // Children of a frame are placed in window coordinates, like every other control.
    EXPECT_EQ(w.ImageWell3()->Left(), 294);
    EXPECT_EQ(w.ImageWell3()->Top(), 40);
    EXPECT_EQ(w.PushButton1()->Left(), 53);
    EXPECT_EQ(w.PushButton1()->Top(), 171);

    EXPECT_TRUE(w.ImageWell1()->Image().sameAs(eulebild32()));
    EXPECT_TRUE(w.ImageWell2()->Image().sameAs(Steinkauz32()));
    EXPECT_TRUE(w.ImageWell3()->Image().sameAs(Diskette32()));
    EXPECT_FALSE(w.ImageWell1()->Image().isNil());

    for (std::int64_t index : {0, 3}) {
        EXPECT_TRUE(w.RBber(index).isNil()) << "RBber(" << index << ")";
        EXPECT_TRUE(w.RBachsen(index).isNil()) << "RBachsen(" << index << ")";
    }
}

TEST_F(OptionsWindowTest, OptionenTwiceLeavesOneWindow) {
    EXPECT_EQ(openOptionsWindows(), 0);
    WIopt& first = pressOptionen();
    WIopt& second = pressOptionen();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(openOptionsWindows(), 1);
    EXPECT_TRUE(first.isVisible());
    EXPECT_TRUE(app().winoptvis);
}

TEST_F(OptionsWindowTest, OpensAtItsPlaceShowingTheApplicationStateNotTheLayout) {
    App& a = app();
    a.berInvers = false;
    a.achsen(true);
    a.achsenart = 2;
    a.ox = -7;
    a.oy = 4000;

    WIopt& w = pressOptionen();
    EXPECT_EQ(w.Left(), 10);
    EXPECT_EQ(w.Top(), 380);
    EXPECT_TRUE(w.RBber(1)->Value());
    EXPECT_FALSE(w.RBber(2)->Value());
    EXPECT_TRUE(w.RBber(1)->Enabled());
    EXPECT_FALSE(w.CBoverlay()->Value());
    EXPECT_TRUE(w.CBAchsen()->Value());
    EXPECT_FALSE(w.RBachsen(1)->Value());
    EXPECT_TRUE(w.RBachsen(2)->Value());
    EXPECT_TRUE(w.RBachsen(1)->Enabled());
    EXPECT_TRUE(w.RBachsen(2)->Enabled());
    EXPECT_EQ(w.EFox()->Text(), "-7");
    EXPECT_EQ(w.EFoy()->Text(), "4000");

    // Filling the controls writes nothing back.
    EXPECT_FALSE(a.berInvers);
    EXPECT_TRUE(a.achsen());
    EXPECT_EQ(a.achsenart, 2);
    EXPECT_EQ(a.ox, -7);
    EXPECT_EQ(a.oy, 4000);
    EXPECT_FALSE(a.overlay);
}

TEST_F(OptionsWindowTest, ReopenedWindowShowsTheCurrentStateAtItsPlace) {
    {
        WIopt& w = pressOptionen();
        pt::click(*w.CBoverlay());
        pt::click(*w.CBAchsen());
        pt::click(*w.RBachsen(2));
        w.EFox()->Text("");
        pt::typeText(*w.EFox(), "33");
        w.Left(200);
        w.Top(50);
        w.Close();
        pt::processEvents();
    }
    EXPECT_EQ(openOptionsWindows(), 0);
    EXPECT_FALSE(app().winoptvis);
    EXPECT_EQ(window().Width(), 450) << "overlay mode outlasts the options window";

    WIopt& w = pressOptionen();
    EXPECT_EQ(w.Left(), 10);
    EXPECT_EQ(w.Top(), 380);
    EXPECT_TRUE(w.CBoverlay()->Value());
    EXPECT_FALSE(w.RBber(1)->Enabled());
    EXPECT_FALSE(w.RBber(1)->Value());
    EXPECT_TRUE(w.RBber(2)->Value());
    EXPECT_TRUE(w.CBAchsen()->Value());
    EXPECT_TRUE(w.RBachsen(2)->Value());
    EXPECT_EQ(w.EFox()->Text(), "33");
    EXPECT_EQ(w.EFoy()->Text(), "150");
}

TEST_F(OptionsWindowTest, OverlayForcesInverseMappingAndNarrowsTheMainWindow) {
    WIopt& w = pressOptionen();
    main& m = window();
    App& a = app();
    pt::click(*w.RBber(1));
    ASSERT_FALSE(a.berInvers);

    pt::click(*w.CBoverlay());
    EXPECT_TRUE(a.overlay);
    EXPECT_TRUE(a.berInvers);
    EXPECT_TRUE(w.RBber(2)->Value());
    EXPECT_FALSE(w.RBber(1)->Value());
    EXPECT_FALSE(w.RBber(1)->Enabled());
    EXPECT_EQ(m.Width(), 450);
    EXPECT_EQ(pt::grab(m).Width(), 450) << "the window itself, menu bar and all";
    EXPECT_FALSE(m.CAziel()->Visible());
    EXPECT_TRUE(m.TEoverinfo()->Visible());
    EXPECT_TRUE(m.CAquell()->Backdrop().sameAs(a.zbild));
    const Ink overlaid = inkOf(m.CAquell()->Backdrop());
    EXPECT_GT(overlaid.blue, 1000);
    EXPECT_EQ(overlaid.red, 0);

    pt::click(*w.CBoverlay());
    EXPECT_FALSE(a.overlay);
    EXPECT_TRUE(a.berInvers);
    EXPECT_TRUE(w.RBber(2)->Value());
    EXPECT_FALSE(w.RBber(1)->Value());
    EXPECT_TRUE(w.RBber(1)->Enabled());
    EXPECT_EQ(m.Width(), 760);
    EXPECT_EQ(pt::grab(m).Width(), 760);
    EXPECT_TRUE(m.CAziel()->Visible());
    EXPECT_FALSE(m.TEoverinfo()->Visible());
    EXPECT_TRUE(m.CAquell()->Backdrop().sameAs(a.qbild));
    EXPECT_EQ(inkOf(a.qbild).blue, 0);
}

TEST_F(OptionsWindowTest, OverlaySwitchAtItsCurrentValueDoesNothing) {
    for (bool on : {false, true}) {
        SCOPED_TRACE(on ? "overlay on" : "overlay off");
        WIopt& w = pressOptionen();
        if (w.CBoverlay()->Value() != on)
            pt::click(*w.CBoverlay());
        const std::int64_t width = window().Width();
        const Color marker = RGB(1, 2, 3, 0);
        app().qbild.graphics().Pixel(0, 0, marker);

        w.CBoverlay()->Value(on);
        w.CBoverlay()->raise(Event::Action);
        EXPECT_EQ(app().overlay, on);
        EXPECT_EQ(window().Width(), width);
        EXPECT_EQ(app().qbild.graphics().Pixel(0, 0), marker) << "no reset ran";
    }
}

struct OriginCase {
    const char* name;
    const char* typed;
    std::int64_t stored;
};

// clang-format off
constexpr OriginCase kOriginCases[] = {
    {"a fraction is cut off",                   "12.9",                 12},
    {"a negative one toward zero",              "-3.5",                 -3},
    {"down to zero, without a sign",            "-0.5",                 0},
    {"an exponent",                             "1e3",                  1000},
    {"trailing characters are ignored",         "42px",                 42},
    {"no number reads as zero",                 "abc",                  0},
    {"NaN stores zero",                         "nan",                  0},
    {"infinity stores the largest origin",      "inf",                  kInt64Max},
    {"beyond the range saturates above",        "1e30",                 kInt64Max},
    {"beyond the range saturates below",        "-1e300",               kInt64Min},
    {"2^63 itself is out of range",             "9223372036854775807",  kInt64Max},
    {"the smallest Int64 fits",                 "-9223372036854775808", kInt64Min},
};
// clang-format on

TEST_F(OptionsWindowTest, OriginFieldsStoreTheTruncatedValueAndShowItOnLeaving) {
    WIopt& w = pressOptionen();
    struct Field {
        Ptr<EditField> field;
        std::int64_t App::*origin;
    };
    const Field fields[] = {{w.EFox(), &App::ox}, {w.EFoy(), &App::oy}};
    countRepaints();
    for (const OriginCase& c : kOriginCases)
        for (const Field& f : fields) {
            SCOPED_TRACE(std::string(c.name) + " in " + f.field->Name());
            f.field->Text("");
            pt::typeText(*f.field, c.typed);
            EXPECT_EQ(app().*f.origin, c.stored) << "while typing";
            EXPECT_EQ(f.field->Text(), c.typed);
            pt::focusNext(w);
            EXPECT_EQ(app().*f.origin, c.stored) << "after leaving";
            EXPECT_EQ(f.field->Text(), Str(c.stored));
        }
    pt::processEvents();
    EXPECT_EQ(quellPaints, 0);
    EXPECT_EQ(zielPaints, 0);
}

TEST_F(OptionsWindowTest, ResetButtonWrites150WithoutRepainting) {
    WIopt& w = pressOptionen();
    w.EFox()->Text("");
    pt::typeText(*w.EFox(), "12.5");
    w.EFoy()->Text("");
    pt::typeText(*w.EFoy(), "-40");
    ASSERT_EQ(app().ox, 12);
    ASSERT_EQ(app().oy, -40);
    countRepaints();

    pt::click(*w.PushButton1());
    EXPECT_EQ(w.EFox()->Text(), "150");
    EXPECT_EQ(w.EFoy()->Text(), "150");
    EXPECT_EQ(app().ox, 150);
    EXPECT_EQ(app().oy, 150);
    pt::processEvents();
    EXPECT_EQ(quellPaints, 0);
    EXPECT_EQ(zielPaints, 0);
}

TEST_F(OptionsWindowTest, TemplateAndOverlaySwitchesRedrawAndRewriteTheOrigin) {
    WIopt& w = pressOptionen();
    const Picture owl = snapshot(app().qbild);
    struct Row {
        const char* name;
        Control* control;
        std::int64_t vorlageEule;
        bool sourceIsThePlainOwl;
    };
    const Row rows[] = {
        {"Eule while the owl is chosen", &*w.BevelButton2(), 1, true},
        {"Kauz", &*w.BevelButton3(), 2, false},
        {"Ueberlagerung", &*w.CBoverlay(), 2, false},
    };
    countRepaints();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        app().zbild.graphics().Pixel(0, 0, RGB(255, 0, 0, 0)); // a result that reset discards
        w.EFox()->Text("");
        pt::typeText(*w.EFox(), "12.5"); // the focus stays in the field
        ASSERT_EQ(app().ox, 12);
        quellPaints = 0;

        pt::click(*row.control);
        EXPECT_EQ(app().vorlageEule, row.vorlageEule);
        EXPECT_TRUE(samePixels(app().zbild, app().qbild)) << "the target is the template again";
        EXPECT_EQ(samePixels(app().qbild, owl), row.sourceIsThePlainOwl);
        EXPECT_EQ(w.EFox()->Text(), "12");
        EXPECT_EQ(w.EFoy()->Text(), "150");
        pt::processEvents();
        EXPECT_GT(quellPaints, 0);
    }
}

TEST_F(OptionsWindowTest, ResetWhileOpenCopiesTheOptionsButNotTheDirection) {
    WIopt& w = pressOptionen();
    App& a = app();
    a.achsen(true);
    a.achsenart = 2;
    a.ox = 12;
    a.oy = -3;
    a.berInvers = false;
    a.reset();
    EXPECT_TRUE(w.CBAchsen()->Value());
    EXPECT_EQ(w.EFox()->Text(), "12");
    EXPECT_EQ(w.EFoy()->Text(), "-3");
    EXPECT_FALSE(w.CBoverlay()->Value());
    EXPECT_TRUE(w.RBachsen(1)->Enabled());
    EXPECT_TRUE(w.RBachsen(2)->Enabled());
    EXPECT_TRUE(w.RBachsen(2)->Value());
    EXPECT_TRUE(w.RBber(2)->Value()) << "reset leaves the direction buttons alone";
}

TEST_F(OptionsWindowTest, ResetNeverOpensTheClosedWindow) {
    EXPECT_EQ(openOptionsWindows(), 0) << "the reset at start-up";
    EXPECT_FALSE(app().winoptvis);

    pressOptionen().Close();
    pt::processEvents();
    app().reset();
    pt::processEvents();
    EXPECT_EQ(openOptionsWindows(), 0);
    EXPECT_FALSE(app().winoptvis);
}

TEST_F(OptionsWindowTest, AxesSwitchRepaintsAndKeepsTheKindSelected) {
    WIopt& w = pressOptionen();
    main& m = window();
    App& a = app();
    ASSERT_FALSE(w.RBachsen(1)->Enabled());
    countRepaints();

    pt::click(*w.CBAchsen());
    EXPECT_TRUE(a.achsen());
    EXPECT_TRUE(w.RBachsen(1)->Enabled());
    EXPECT_TRUE(w.RBachsen(2)->Enabled());
    EXPECT_TRUE(w.RBachsen(1)->Value());
    pt::processEvents();
    EXPECT_GT(quellPaints, 0);
    EXPECT_GT(zielPaints, 0);
    const Picture cross = pt::grab(*m.CAquell());
    EXPECT_FALSE(samePixels(cross, a.qbild)) << "shown with axes";
    EXPECT_FALSE(samePixels(pt::grab(*m.CAziel()), a.zbild)) << "shown with axes";

    quellPaints = zielPaints = 0;
    pt::click(*w.RBachsen(2));
    EXPECT_EQ(a.achsenart, 2);
    pt::processEvents();
    EXPECT_GT(quellPaints, 0);
    EXPECT_GT(zielPaints, 0);
    const Picture greyAxes = pt::grab(*m.CAquell());
    EXPECT_FALSE(samePixels(greyAxes, a.qbild));
    EXPECT_FALSE(samePixels(greyAxes, cross)) << "the other kind of axes";

    quellPaints = zielPaints = 0;
    pt::click(*w.CBAchsen());
    EXPECT_FALSE(a.achsen());
    EXPECT_FALSE(w.RBachsen(1)->Enabled());
    EXPECT_FALSE(w.RBachsen(2)->Enabled());
    EXPECT_TRUE(w.RBachsen(2)->Value());
    EXPECT_EQ(a.achsenart, 2);
    pt::processEvents();
    EXPECT_GT(quellPaints, 0);
    EXPECT_GT(zielPaints, 0);
    EXPECT_TRUE(samePixels(pt::grab(*m.CAquell()), a.qbild)) << "shown without axes";
    EXPECT_TRUE(samePixels(pt::grab(*m.CAziel()), a.zbild)) << "shown without axes";
}

TEST_F(OptionsWindowTest, RadioArraysAreSeparateGroupsNamedByTheSendersIndex) {
    WIopt& w = pressOptionen();
    App& a = app();
    pt::click(*w.CBAchsen());
    struct Row {
        const char* name;
        Ptr<RadioButton> button;
        bool berInvers;
        std::int64_t achsenart;
    };
    const Row rows[] = {
        {"mit Matrix", w.RBber(1), false, 1},
        {"x/y-Achsen", w.RBachsen(2), false, 2},
        {"mit inverser Matrix", w.RBber(2), true, 2},
        {"Achsenkreuz", w.RBachsen(1), true, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        pt::click(*row.button);
        EXPECT_EQ(a.berInvers, row.berInvers);
        EXPECT_EQ(a.achsenart, row.achsenart);
        EXPECT_EQ(w.RBber(2)->Value(), row.berInvers);
        EXPECT_EQ(w.RBber(1)->Value(), !row.berInvers);
        EXPECT_EQ(w.RBachsen(row.achsenart)->Value(), true);
        EXPECT_EQ(w.RBachsen(3 - row.achsenart)->Value(), false);
    }
}

TEST_F(OptionsWindowTest, LadenAsksForAPictureFile) {
    WIopt& w = pressOptionen();
    pt::answerNextOpenDialog(std::nullopt);
    pt::click(*w.BevelButton1());
    EXPECT_TRUE(pt::lastOpenDialogFilter().has_value());
    EXPECT_EQ(pt::unscriptedDialogs(), 0);
}

} // namespace
} // namespace planora::test
