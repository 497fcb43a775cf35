#pragma once

#include "platform/FileType.h"

#include <memory>
#include <vector>

namespace planora {

// The program's file types, registered with the platform at start-up.
namespace FileTypes {

// "text": registered, otherwise unused.
std::shared_ptr<FileType> Text();
// "bmp/jpg/tiff": the filter of the picture open dialog.
std::shared_ptr<FileType> BmpJpgTiff();
// Every file type, in the order they were made.
const std::vector<std::shared_ptr<FileType>>& pAllFileTypes();
// Creates and registers both types; called once at start-up.
void Initialize();

} // namespace FileTypes

} // namespace planora
