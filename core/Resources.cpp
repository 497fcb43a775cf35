#include "core/Resources.h"

#include <string_view>

namespace planora {

namespace {

// A cache slot: Nil until the first successful load, then the picture for good.
Picture cached(Picture& slot, std::string_view fileName) {
    if (slot.isNil())
        slot = Picture::OpenFromApp(fileName);
    return slot;
}

} // namespace

#define PLANORA_RESOURCE(accessor, fileName)                                                       \
    Picture accessor() {                                                                           \
        static Picture slot;                                                                       \
        return cached(slot, fileName);                                                             \
    }

PLANORA_RESOURCE(eulebild, "eulebild.jpg")
PLANORA_RESOURCE(eulebildB, "eulebildB.jpg")
PLANORA_RESOURCE(eulebildR, "eulebildR.jpg")
PLANORA_RESOURCE(Steinkauz, "Steinkauz.jpg")
PLANORA_RESOURCE(SteinkauzB, "SteinkauzB.jpg")
PLANORA_RESOURCE(SteinkauzR, "SteinkauzR.jpg")
PLANORA_RESOURCE(eulebild32, "eulebild32.jpg")
PLANORA_RESOURCE(Steinkauz32, "Steinkauz32.jpg")
PLANORA_RESOURCE(Diskette32, "Diskette32.jpg")
PLANORA_RESOURCE(LogoPlanora, "LogoPlanora.jpg")
PLANORA_RESOURCE(mathematikbrenvik100px, "mathematikbrenvik-100px.jpg")

#undef PLANORA_RESOURCE

} // namespace planora
