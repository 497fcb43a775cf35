#pragma once

// The writer behind FolderItem::SaveAsPicture: a file is written in one step, next to the file
// it replaces, and takes that file's place only once all of it is on the disk; then the folder
// is synced, so that the new file stays in place through a crash.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace planora::detail {

// What stands at a path where a regular file was expected.
enum class NotAFile { Folder, Device, Pipe, Socket, Other };

struct ReplaceResult {
    int error = 0;                   // the errno of the step that failed, 0 if none did
    std::optional<NotAFile> refused; // the target is not a regular file and was left alone
    bool writeProtected = false;     // the target is a file that we may not write, left alone
    bool placed = false; // the new file has taken the target's place; error may tell of a
                         // step after that
    bool ok() const { return error == 0 && !refused && !writeProtected; }
};

// Writes bytes as the whole content of the file at path. A symbolic link is followed and stays;
// the file it leads to is replaced, keeping its permission bits (and its owner where we may
// give it away). A file that does not exist yet is created with the permissions that the
// process's umask leaves of 0666. The content goes into a file that is created private and has
// its final owner and permissions before its first byte. A target that exists and is not a
// regular file, directly or through links, is refused, and so is a file that the process may
// not write (root may), even where its folder would let it be replaced. Whatever fails, the old
// file stays as it was and no temporary file is left behind.
ReplaceResult replaceFile(const std::string& path, std::string_view bytes);

} // namespace planora::detail

namespace planora::testing {

// The steps of replaceFile that a test may watch, with the file descriptor each concerns.
enum class WriterStep {
    FirstWrite, // the temporary file, with its final owner and mode, before its first byte
    FolderSync, // the target's folder, opened once the new file has its place, before its sync
};
// From now on replaceFile calls watcher just before each step. A watcher that returns an errno
// value makes that step fail with it; 0 lets the step go on. An empty watcher stops watching.
void watchFileWriter(std::function<int(WriterStep step, int fd)> watcher);

} // namespace planora::testing
