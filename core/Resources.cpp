#include "core/Resources.h"

#include <string_view>

namespace planora {

namespace {

// One cache slot per picture: Nil until the first successful load, then the picture for the
// rest of the run.
struct Slots {
    Picture eulebild, eulebildB, eulebildR, Steinkauz, SteinkauzB, SteinkauzR, eulebild32,
        Steinkauz32, Diskette32, LogoPlanora, mathematikbrenvik100px;
};

Slots& slots() {
    static Slots s;
    return s;
}

Picture cached(Picture& slot, std::string_view fileName) {
    if (slot.isNil())
        slot = Picture::OpenFromApp(fileName);
    return slot;
}

} // namespace

// clang-format off
Picture eulebild()               { return cached(slots().eulebild,               "eulebild.jpg"); }
Picture eulebildB()              { return cached(slots().eulebildB,              "eulebildB.jpg"); }
Picture eulebildR()              { return cached(slots().eulebildR,              "eulebildR.jpg"); }
Picture Steinkauz()              { return cached(slots().Steinkauz,              "Steinkauz.jpg"); }
Picture SteinkauzB()             { return cached(slots().SteinkauzB,             "SteinkauzB.jpg"); }
Picture SteinkauzR()             { return cached(slots().SteinkauzR,             "SteinkauzR.jpg"); }
Picture eulebild32()             { return cached(slots().eulebild32,             "eulebild32.jpg"); }
Picture Steinkauz32()            { return cached(slots().Steinkauz32,            "Steinkauz32.jpg"); }
Picture Diskette32()             { return cached(slots().Diskette32,             "Diskette32.jpg"); }
Picture LogoPlanora()            { return cached(slots().LogoPlanora,            "LogoPlanora.jpg"); }
Picture mathematikbrenvik100px() { return cached(slots().mathematikbrenvik100px, "mathematikbrenvik-100px.jpg"); }
// clang-format on

void forgetLoadedResources() {
    slots() = {};
}

} // namespace planora
