#pragma once

#include <fstream>
#include <string>

namespace planora::test {

// True when one of the toolkit's image-format plugins is mapped into this process.
inline bool anImageFormatPluginIsLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("/imageformats/") != std::string::npos)
            return true;
    return false;
}

} // namespace planora::test
