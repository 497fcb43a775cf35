#pragma once

#include "platform/Picture.h"

namespace planora {

// The pictures shipped with the program. Each accessor reads its file on first use and keeps
// the picture for the rest of the run, returning the same object at every call; a load that
// fails returns Nil and is tried again at the next call.
Picture eulebild();               // the owl template
Picture eulebildB();              // the owl in blue
Picture eulebildR();              // the owl in red
Picture Steinkauz();              // the little-owl template
Picture SteinkauzB();             // the little owl in blue
Picture SteinkauzR();             // the little owl in red
Picture eulebild32();             // small owl icon
Picture Steinkauz32();            // small little-owl icon
Picture Diskette32();             // small disk icon
Picture LogoPlanora();            // the program's logo
Picture mathematikbrenvik100px(); // banner of the info window

// Empties every cache slot, as at the start of a run. For tests that start the program anew
// in one process.
void forgetLoadedResources();

} // namespace planora
