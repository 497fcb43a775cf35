#include "ui/WIopt.h"

#include "core/App.h"
#include "core/Resources.h"
#include "platform/Text.h"
#include "ui/main.h"

namespace planora {

namespace {

// clang-format off
constexpr WindowSpec kWindow = {
    .title = "Optionen",
    .width = 350, .height = 210,
    .minWidth = 64, .minHeight = 64, .maxWidth = 32000, .maxHeight = 32000,
    .hasCloseButton = true, .hasMinimizeButton = true, .hasMaximizeButton = false,
    .resizeable = false,
    .visible = true,
};

// The frames "Transformieren", "Ursprung" and "Achsen" come after the controls that lie inside
// them and are not their parents; only the children of "Bild" and the button "Reset" are.
constexpr ControlSpec kControls[] = {
    {.kind = ControlKind::GroupBox,    .name = "GroupBox4",                                       .rect = {182,  14, 157, 91}, .text = "Bild",                .tab = 0,                  .fontSize = 12},
    {.kind = ControlKind::ImageWell,   .name = "ImageWell1",               .parent = "GroupBox4", .rect = {194,  40,  35, 35},                                .tab = 0,                                                      .picture = &eulebild32},
    {.kind = ControlKind::ImageWell,   .name = "ImageWell2",               .parent = "GroupBox4", .rect = {244,  40,  35, 35},                                .tab = 1,                                                      .picture = &Steinkauz32},
    {.kind = ControlKind::ImageWell,   .name = "ImageWell3",               .parent = "GroupBox4", .rect = {294,  40,  35, 35},                                .tab = 2,                                                      .picture = &Diskette32},
    {.kind = ControlKind::BevelButton, .name = "BevelButton1",             .parent = "GroupBox4", .rect = {292,  78,  40, 18}, .text = "Laden",               .tab = 3,                  .fontSize = 9,  .focusable = false},
    {.kind = ControlKind::BevelButton, .name = "BevelButton2",             .parent = "GroupBox4", .rect = {192,  78,  40, 18}, .text = "Eule",                .tab = 4,                  .fontSize = 9,  .focusable = false},
    {.kind = ControlKind::BevelButton, .name = "BevelButton3",             .parent = "GroupBox4", .rect = {242,  78,  40, 18}, .text = "Kauz",                .tab = 5,                  .fontSize = 9,  .focusable = false},
    {.kind = ControlKind::RadioButton, .name = "RBber",        .index = 1,                        .rect = { 20,  31,  80, 20}, .text = "mit Matrix",          .tab = 1,  .value = false, .fontSize = 12},
    {.kind = ControlKind::RadioButton, .name = "RBber",        .index = 2,                        .rect = { 20,  55, 134, 20}, .text = "mit inverser Matrix", .tab = 2,  .value = true,  .fontSize = 12},
    {.kind = ControlKind::CheckBox,    .name = "CBoverlay",                                       .rect = { 21,  80, 113, 20}, .text = "Überlagerung",        .tab = 3,  .value = false, .fontSize = 12},
    {.kind = ControlKind::EditField,   .name = "EFox",                                            .rect = { 42, 140,  43, 22}, .text = "",                    .tab = 4,                  .fontSize = 12},
    {.kind = ControlKind::EditField,   .name = "EFoy",                                            .rect = { 96, 140,  40, 22}, .text = "",                    .tab = 5,                  .fontSize = 12},
    {.kind = ControlKind::CheckBox,    .name = "CBAchsen",                                        .rect = {198, 128, 100, 20}, .text = "zeichnen",            .tab = 6,  .value = false, .fontSize = 12},
    {.kind = ControlKind::RadioButton, .name = "RBachsen",     .index = 1,                        .rect = {198, 150, 125, 20}, .text = "Achsenkreuz",         .tab = 7,  .value = false, .fontSize = 12},
    {.kind = ControlKind::RadioButton, .name = "RBachsen",     .index = 2,                        .rect = {198, 174, 125, 20}, .text = "x/y-Achsen",          .tab = 8,  .value = false, .fontSize = 12},
    {.kind = ControlKind::GroupBox,    .name = "GroupBox1",                                       .rect = { 13,  14, 157, 91}, .text = "Transformieren",      .tab = 9,                  .fontSize = 12},
    {.kind = ControlKind::StaticText,  .name = "StaticText1",                                     .rect = { 35, 140,  10, 20}, .text = "(",                   .tab = 10},
    {.kind = ControlKind::StaticText,  .name = "StaticText2",                                     .rect = { 87, 140,   8, 20}, .text = "|",                   .tab = 11},
    {.kind = ControlKind::StaticText,  .name = "StaticText3",                                     .rect = {139, 140,   9, 20}, .text = ")",                   .tab = 12},
    {.kind = ControlKind::GroupBox,    .name = "GroupBox2",                                       .rect = { 13, 110, 157, 89}, .text = "Ursprung",            .tab = 13,                 .fontSize = 12},
    {.kind = ControlKind::PushButton,  .name = "PushButton1",              .parent = "GroupBox2", .rect = { 53, 171,  69, 20}, .text = "Reset",               .tab = 0,                  .fontSize = 12},
    {.kind = ControlKind::GroupBox,    .name = "GroupBox3",                                       .rect = {182, 110, 157, 89}, .text = "Achsen",              .tab = 14,                 .fontSize = 12},
};
// clang-format on

// An origin field's value: the text read as a number, truncated toward zero. No range is
// enforced; a text that reads as NaN gives 0 and one beyond the Int64 range (infinities
// included) the nearest end of that range, so that every text stores a defined origin.
std::int64_t originFrom(const std::string& text) {
    return saturatingTruncToInt64(Val(text));
}

} // namespace

WIopt& WIopt::instance() {
    return Window::instance<WIopt>("WIopt.WIopt");
}

void WIopt::Layout() {
    apply(kWindow);
}

void WIopt::CreateControls() {
    CreateControls0();
}

void WIopt::CreateControls0() {
    createControls(kControls);
    bind("BevelButton1", Event::Action, &WIopt::BevelButton1_Action); // "Laden"
    bind("BevelButton2", Event::Action, &WIopt::BevelButton2_Action); // "Eule"
    bind("BevelButton3", Event::Action, &WIopt::BevelButton3_Action); // "Kauz"
    bind("RBber", Event::Action, &WIopt::RBber_Action);
    bind("CBoverlay", Event::Action, &WIopt::CBoverlay_Action);
    bind("EFox", Event::LostFocus, &WIopt::EFox_LostFocus);
    bind("EFox", Event::TextChange, &WIopt::EFox_TextChange);
    bind("EFoy", Event::TextChange, &WIopt::EFoy_TextChange);
    bind("EFoy", Event::LostFocus, &WIopt::EFoy_LostFocus);
    bind("CBAchsen", Event::Action, &WIopt::CBAchsen_Action);
    bind("RBachsen", Event::Action, &WIopt::RBachsen_Action);
    bind("PushButton1", Event::Action, &WIopt::PushButton1_Action); // "Reset"
}

// The handlers reach this window's controls through the window itself rather than through
// the class accessor: it is the same window, and a late event of a window that is closing can
// then never build a new one.

void WIopt::BevelButton1_Action(BevelButton&) {
    App::instance().loadpic();
}

void WIopt::BevelButton2_Action(BevelButton&) {
    App& app = App::instance();
    app.vorlageEule = 1;
    app.reset();
}

void WIopt::BevelButton3_Action(BevelButton&) {
    App& app = App::instance();
    app.vorlageEule = 2;
    app.reset();
}

void WIopt::RBber_Action(RadioButton&) {
    App::instance().berInvers = RBber(2)->Value();
}

void WIopt::CBoverlay_Action(CheckBox&) {
    App& app = App::instance();
    const bool v = CBoverlay()->Value();
    if (v == app.overlay)
        return;
    main& w = main::instance();
    if (v) {
        app.overlay = true;
        w.Width(450);
        w.CAziel()->Visible(false);
        w.TEoverinfo()->Visible(true);
        RBber(1)->Enabled(false);
        RBber(2)->Value(true);
        app.berInvers = true;
    } else {
        app.overlay = false;
        w.Width(760);
        w.CAziel()->Visible(true);
        w.TEoverinfo()->Visible(false);
        RBber(1)->Enabled(true);
    }
    app.reset();
}

void WIopt::EFox_LostFocus(EditField&) {
    App& app = App::instance();
    app.ox = originFrom(EFox()->Text());
    EFox()->Text(Str(app.ox));
}

void WIopt::EFox_TextChange(EditField&) {
    App::instance().ox = originFrom(EFox()->Text());
}

void WIopt::EFoy_TextChange(EditField&) {
    App::instance().oy = originFrom(EFoy()->Text());
}

void WIopt::EFoy_LostFocus(EditField&) {
    App& app = App::instance();
    app.oy = originFrom(EFoy()->Text());
    EFoy()->Text(Str(app.oy));
}

void WIopt::CBAchsen_Action(CheckBox&) {
    App& app = App::instance();
    app.achsen(CBAchsen()->Value());
    RBachsen(1)->Enabled(app.achsen());
    RBachsen(2)->Enabled(app.achsen());
    RBachsen(app.achsenart)->Value(true);
    if (app.achsen()) {
        main& w = main::instance();
        w.CAquell()->Invalidate(true);
        w.CAziel()->Invalidate(true);
    } else {
        app.showqbild();
        app.showzbild();
    }
}

void WIopt::RBachsen_Action(RadioButton& sender) {
    App& app = App::instance();
    app.achsenart = sender.Index();
    app.showqbild();
    app.showzbild();
    main& w = main::instance();
    w.CAquell()->Invalidate(true);
    w.CAziel()->Invalidate(true);
}

void WIopt::PushButton1_Action(PushButton&) {
    App& app = App::instance();
    EFox()->Text(Str(150.0));
    EFoy()->Text(Str(150.0));
    app.oy = 150;
    app.ox = 150;
}

void WIopt::Event_Open() {
    App& app = App::instance();
    app.winoptvis = true;
    Left(10);
    Top(380);
    CBAchsen()->Value(app.achsen());
    EFox()->Text(Str(app.ox));
    EFoy()->Text(Str(app.oy));
    CBoverlay()->Value(app.overlay);
    RBber(1)->Enabled(!app.overlay);
    RBber(1)->Value(!app.berInvers);
    RBber(2)->Value(app.berInvers);
    RBachsen(1)->Enabled(app.achsen());
    RBachsen(2)->Enabled(app.achsen());
    RBachsen(app.achsenart)->Value(true);
}

void WIopt::Event_Close() {
    App::instance().winoptvis = false;
}

} // namespace planora
