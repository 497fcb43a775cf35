#pragma once

// A seam for tests of the real open dialog, which otherwise never opens under test.

#include <string>
#include <string_view>
#include <vector>

namespace planora::testing {

// The names of the files (not folders) that the open dialog lists in folder when it offers
// the registered file type named by filter (every file when the filter is empty), sorted.
// Opens the dialog without waiting for the user and closes it again.
std::vector<std::string> openDialogListing(const std::string& folder, std::string_view filter);

} // namespace planora::testing
