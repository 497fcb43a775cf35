#pragma once

#include "platform/FolderItem.h"

#include <optional>
#include <string_view>

namespace planora {

// Asks the user for a file to open, offering the registered file type named by filter (every
// file when the filter is empty). Returns nothing when the user cancels.
std::optional<FolderItem> GetOpenFolderItem(std::string_view filter);
// Asks the user where to save, proposing defaultName. Returns nothing when the user cancels.
std::optional<FolderItem> GetSaveFolderItem(std::string_view filter, std::string_view defaultName);
// Shows text in a modal message box and returns when the user dismisses it.
void MsgBox(std::string_view text);

} // namespace planora
