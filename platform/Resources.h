#pragma once

#include <string>
#include <string_view>

namespace planora {

// The folder of the application's resource files: "resources" beside the executable in the
// build tree, else the installed data folder. Tests may point it elsewhere (platform/Testing.h).
std::string resourceFolder();
// The path of the named resource file; the name is used exactly, letter case included.
std::string resourcePath(std::string_view fileName);

} // namespace planora
