#pragma once

#include "platform/Picture.h"

#include <string>

namespace planora {

// A file chosen by the user.
class FolderItem {
public:
    explicit FolderItem(std::string path) : path_(std::move(path)) {}
    const std::string& NativePath() const { return path_; }

    // Returns the file's picture, or Nil when the file cannot be read as a picture.
    Picture OpenAsPicture() const;
    // Writes the picture into the file. Format 0 follows the extension of the file name (png,
    // bmp, jpg/jpeg, tif/tiff); a name without one of these gets ".png" and is saved as PNG.
    // Returns false when writing failed; the user has then been told, and an existing file
    // is left as it was.
    bool SaveAsPicture(const Picture& picture, int format = 0) const;

private:
    std::string path_;
};

} // namespace planora
