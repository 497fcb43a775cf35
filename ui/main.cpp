#include "ui/main.h"

#include "core/App.h"
#include "platform/Application.h"
#include "ui/MenuBar1.h"
#include "ui/WIInfo.h"
#include "ui/WIopt.h"

namespace planora {

namespace {

// clang-format off
constexpr WindowSpec kWindow = {
    .title = "Planora",
    .width = 760, .height = 330,
    .minWidth = 64, .minHeight = 64, .maxWidth = 32000, .maxHeight = 32000,
    .hasCloseButton = true, .hasMinimizeButton = true, .hasMaximizeButton = false,
    .resizeable = false,
    .visible = true,
};

// The legend: "Original: Blau", a carriage return, "Transformation: Rot".
constexpr std::string_view kLegend = "Original: Blau\rTransformation: Rot";

constexpr ControlSpec kControls[] = {
    {.kind = ControlKind::Canvas,     .name = "CAquell",               .rect = {140,  20, 300, 300},                                 .tab = 0,  .focusable = false},
    {.kind = ControlKind::EditField,  .name = "TEMat",     .index = 1, .rect = {  8,  20,  60,  40}, .text = "-8.8",                 .tab = 1,  .fontSize = 24, .alignment = 2},
    {.kind = ControlKind::EditField,  .name = "TEMat",     .index = 2, .rect = { 70,  20,  60,  40}, .text = "0",                    .tab = 2,  .fontSize = 24, .alignment = 2},
    {.kind = ControlKind::EditField,  .name = "TEMat",     .index = 3, .rect = {  8,  62,  60,  40}, .text = "0",                    .tab = 3,  .fontSize = 24, .alignment = 2},
    {.kind = ControlKind::EditField,  .name = "TEMat",     .index = 4, .rect = { 70,  62,  60,  40}, .text = "1",                    .tab = 4,  .fontSize = 24, .alignment = 2},
    {.kind = ControlKind::PushButton, .name = "PushButton2",           .rect = {  8, 137, 122,  20}, .text = "Transformieren",       .tab = 5,  .isDefault = true, .fontSize = 12},
    {.kind = ControlKind::PushButton, .name = "PushButton3",           .rect = { 32, 297,  81,  20}, .text = "Optionen",             .tab = 6,  .fontSize = 12},
    {.kind = ControlKind::Canvas,     .name = "CAziel",                .rect = {450,  20, 300, 300},                                 .tab = 7,  .focusable = false},
    {.kind = ControlKind::Label,      .name = "Label1",                .rect = {  8,  97, 100,  20}, .text = "Eingabe mit Punkt!",   .tab = 10, .fontSize = 9},
    {.kind = ControlKind::Label,      .name = "TEoverinfo",            .rect = { 13, 169, 100,  26}, .text = kLegend,                .tab = 11, .visible = false, .fontSize = 9},
};
// clang-format on

} // namespace

main& main::instance() {
    return Window::instance<main>("main.main");
}

void main::Layout() {
    Window::MenuBar(MenuBar1::instance());
    apply(kWindow);
}

void main::CreateControls() {
    CreateControls0();
}

void main::CreateControls0() {
    createControls(kControls);
    bindPaint("CAquell", &main::CAquell_Paint);
    bind("PushButton2", Event::Action, &main::PushButton2_Action); // "Transformieren"
    bind("PushButton3", Event::Action, &main::PushButton3_Action); // "Optionen"
    bindPaint("CAziel", &main::CAziel_Paint);
}

void main::AddMenuHandlers() {
    addMenuHandler("FiLoad", &main::FiLoad_Action);     // "Bild laden"
    addMenuHandler("FIsave", &main::FIsave_Action);     // "Bild speichern"
    addMenuHandler("Ueber", &main::Ueber_Action);       // "Über Planora..."
    addMenuHandler("FileQuit", &main::FileQuit_Action); // "Quit"
}

void main::Event_Open() {
    App::instance().initproc();
}

void main::Event_Close() {
    Quit(0);
}

void main::Event_Restore() {
    main::instance().Refresh(true);
}

void main::CAquell_Paint(Canvas&, Graphics& g) {
    App::instance().achsen(g);
}

void main::CAziel_Paint(Canvas&, Graphics& g) {
    App::instance().achsen(g);
}

void main::PushButton2_Action(PushButton&) {
    App& app = App::instance();
    if (app.berInvers)
        app.berechnen();
    else
        app.berechnenDIREKT();
    app.showqbild();
    app.showzbild();
}

void main::PushButton3_Action(PushButton&) {
    WIopt::instance().Show();
}

bool main::FiLoad_Action() {
    App::instance().loadpic();
    App::instance().showqbild();
    return false;
}

bool main::FIsave_Action() {
    App::instance().savepic();
    return false;
}

bool main::Ueber_Action() {
    WIInfo::instance().Show();
    return false;
}

bool main::FileQuit_Action() {
    Quit(0);
    return false;
}

} // namespace planora
