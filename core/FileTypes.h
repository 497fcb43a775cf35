#pragma once

#include "platform/FileType.h"

#include <memory>
#include <vector>

namespace planora {

// The program's file types, registered with the platform at start-up.
namespace FileTypes {

// "text": registered, otherwise unused. Nil before Initialize.
std::shared_ptr<FileType> Text();
// "bmp/jpg/tiff": the filter of the picture open dialog. Nil before Initialize.
std::shared_ptr<FileType> BmpJpgTiff();
// Every file type, in the order they were made: empty before Initialize, then "text" and
// "bmp/jpg/tiff".
const std::vector<std::shared_ptr<FileType>>& pAllFileTypes();
// Creates both types, sets their properties and registers them; called once at start-up,
// before the application object exists.
void Initialize();

// Drops both types, withdrawing their registration, and empties the list, as before start-up.
// For tests that start the program anew in one process.
void forget();

} // namespace FileTypes

} // namespace planora
