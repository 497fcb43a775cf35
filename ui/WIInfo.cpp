#include "ui/WIInfo.h"

#include "core/Resources.h"

namespace planora {

namespace {

// clang-format off
constexpr WindowSpec kWindow = {
    .title = "Info",
    .width = 238, .height = 321,
    .minWidth = 64, .minHeight = 64, .maxWidth = 32000, .maxHeight = 32000,
    .hasCloseButton = true, .hasMinimizeButton = true, .hasMaximizeButton = false,
    .resizeable = false,
    .visible = true,
    .backgroundColor = RGB(255, 255, 255, 0),
};

constexpr ControlSpec kControls[] = {
    {.kind = ControlKind::PushButton, .name = "PushButton1", .rect = { 85, 281,  69,  20}, .text = "OK",                            .tab = 0, .isDefault = true, .fontSize = 12},
    {.kind = ControlKind::ImageWell,  .name = "ImageWell1",  .rect = { 39,  58, 160, 160},                                          .tab = 3, .picture = &LogoPlanora},
    {.kind = ControlKind::Canvas,     .name = "Canvas1",     .rect = {  0,   0, 100,  50},                                          .tab = 5, .focusable = false, .picture = &mathematikbrenvik100px},
    {.kind = ControlKind::Label,      .name = "Label1",      .rect = { 57, 301, 174,  20}, .text = "Lineare Abbildungen der Ebene", .tab = 6, .fontSize = 9, .alignment = 3},
    {.kind = ControlKind::Label,      .name = "Label2",      .rect = { 69, 254, 100,  20}, .text = "Version 2.5",                   .tab = 7, .alignment = 2},
    {.kind = ControlKind::Label,      .name = "Label3",      .rect = { 69, 230, 100,  20}, .text = "Planora",                       .tab = 8, .fontSize = 16, .bold = true, .alignment = 2},
};
// clang-format on

} // namespace

WIInfo& WIInfo::instance() {
    return Window::instance<WIInfo>("WIInfo.WIInfo");
}

void WIInfo::Layout() {
    apply(kWindow);
}

void WIInfo::CreateControls() {
    CreateControls0();
}

void WIInfo::CreateControls0() {
    createControls(kControls);
    bind("PushButton1", Event::Action, &WIInfo::PushButton1_Action); // "OK"
}

void WIInfo::PushButton1_Action(PushButton&) {
    WIInfo::instance().Close();
}

} // namespace planora
