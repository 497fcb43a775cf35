#pragma once

#include "platform/Picture.h"

#include <cstdint>
#include <string>

namespace planora {

// A file chosen by the user.
class FolderItem {
public:
    explicit FolderItem(std::string path) : path_(std::move(path)) {}
    const std::string& NativePath() const { return path_; }

    // Returns the file's picture, or Nil when the file cannot be read as a picture. Only a
    // regular file is read, and only as what its first bytes say it is: BMP, JPEG or TIFF,
    // whatever its name. Nil also for a file cut short, and for one that claims more pixels
    // than it can hold or than we can afford to decode. Pixels that a file leaves unset take
    // one fixed colour; transparent parts lie on white. The picture is turned as the file
    // asks (a camera's orientation); a very large one comes back at a reduced scale.
    Picture OpenAsPicture() const;
    // The same for a picture that is about to be shrunk by one factor until it fits a box of
    // boxWidth x boxHeight pixels and centred, its offsets truncated toward zero. A picture
    // more than four times the box comes back decoded at a reduced scale, two to four times
    // the box, at a size whose fit covers exactly the pixels that the full size's fit covers.
    Picture OpenAsPicture(std::int64_t boxWidth, std::int64_t boxHeight) const;

    // The file that SaveAsPicture writes: this one when its extension, in any letter case,
    // names a format we write (png, bmp, jpg or jpeg, tif or tiff), else this name with ".png"
    // appended.
    std::string picturePath() const;
    // Writes the picture into picturePath(), in the format its extension names, in one step:
    // the file is replaced only once the whole picture is on the disk, so a failed save
    // leaves an existing file as it was. A symbolic link stays and the file it leads to is
    // replaced, keeping its permissions. A target that exists and is not a regular file (a
    // folder, a device, a pipe), directly or through links, is refused and left alone, as is
    // a file that the user may not write.
    // Returns false when the picture was not saved; a message box has then told the user
    // which file it was and why. That includes a picture that took the file's place but whose
    // folder the disk failed to sync, so that a crash could still bring the old file back.
    bool SaveAsPicture(const Picture& picture, int format = 0) const;

private:
    std::string path_;
};

} // namespace planora
