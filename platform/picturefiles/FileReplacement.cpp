#include "platform/picturefiles/FileReplacement.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace planora::testing {

namespace {
std::function<int(WriterStep, int)> writerWatcher;
}

void watchFileWriter(std::function<int(WriterStep step, int fd)> watcher) {
    writerWatcher = std::move(watcher);
}

} // namespace planora::testing

namespace planora::detail {

namespace {

// Lets a test see the step about to be taken on fd; true when the step may go on, else errno
// holds the failure that the test asks for.
bool watched(testing::WriterStep step, int fd) {
    if (!testing::writerWatcher)
        return true;
    const int failure = testing::writerWatcher(step, fd);
    errno = failure;
    return failure == 0;
}

// The process's umask. umask() reads it only by setting it, for a moment in which another
// thread would create its files with the wrong mask, so it is read where the kernel shows it.
// Where that cannot be read, the narrowest mask: a file is then private rather than too open.
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0)
            continue;
        char* end = nullptr;
        const unsigned long mask = std::strtoul(line.c_str() + 6, &end, 8);
        if (end != line.c_str() + 6 && mask <= 0777)
            return mode_t(mask);
    }
    return 077;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that writing to path would reach: path itself, or where its symbolic links lead.
struct Target {
    std::string path;
    bool exists = false;
    struct stat status {};
    int error = 0;
};

std::optional<std::string> linkText(const std::string& link, std::size_t size) {
    std::vector<char> text(size + 1);
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), text.data(), text.size());
        if (n < 0)
            return std::nullopt;
        if (std::size_t(n) < text.size())
            return std::string(text.data(), std::size_t(n));
        text.resize(text.size() * 2); // the link changed since lstat
    }
}

// Links are followed by hand rather than by realpath() so that a link whose file does not
// exist yet still names the file to create, as writing through it would.
Target resolve(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        Target t{path};
        if (::lstat(path.c_str(), &t.status) != 0) {
            if (errno != ENOENT)
                t.error = errno;
            return t;
        }
        if (!S_ISLNK(t.status.st_mode)) {
            t.exists = true;
            return t;
        }
        const auto text = linkText(path, std::size_t(t.status.st_size));
        if (!text) {
            t.error = errno;
            return t;
        }
        path = !text->empty() && text->front() == '/' ? *text : folderOf(path) + "/" + *text;
    }
    Target t{path};
    t.error = ELOOP;
    return t;
}

std::optional<NotAFile> kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return std::nullopt;
    if (S_ISDIR(mode))
        return NotAFile::Folder;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return NotAFile::Device;
    if (S_ISFIFO(mode))
        return NotAFile::Pipe;
    if (S_ISSOCK(mode))
        return NotAFile::Socket;
    return NotAFile::Other;
}

std::string temporaryName(const std::string& folder) {
    static std::mt19937_64 random{std::random_device{}()};
    char name[32];
    std::snprintf(name, sizeof name, "/.planora-%016llx.tmp",
                  static_cast<unsigned long long>(random()));
    return folder + name;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

// The temporary file beside the target. Each step does nothing once one has failed, so that
// error() tells the first failure; the file is removed again unless it took the target's place.
class Temporary {
public:
    explicit Temporary(const std::string& folder) {
        // O_EXCL: never write into a file that someone else put there under the same name.
        // 0600: no one else may open it before it has the mode of the file it becomes.
        for (int tries = 0; tries < 100 && fd_ < 0; ++tries) {
            name_ = temporaryName(folder);
            fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd_ < 0 && errno != EEXIST)
                break;
        }
        created_ = fd_ >= 0;
        check(created_);
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        if (fd_ >= 0)
            ::close(fd_);
        if (created_ && !placed_)
            ::unlink(name_.c_str());
    }

    int error() const { return error_; }

    // Gives the file the owner and mode of the file it replaces, or of a new file, before any
    // of its content is written: whoever may read it then may read the file it becomes.
    void takeModeOf(const struct stat* old) {
        if (error_ != 0)
            return;
        if (!old) {
            check(::fchmod(fd_, 0666 & ~currentUmask()) == 0);
            return;
        }
        if (old->st_uid != ::geteuid() || old->st_gid != ::getegid())
            (void)!::fchown(fd_, old->st_uid, old->st_gid); // only root may give a file away
        check(::fchmod(fd_, old->st_mode & 0777) == 0);
    }
    void write(std::string_view bytes) {
        if (error_ == 0)
            check(watched(testing::WriterStep::FirstWrite, fd_) && writeAll(fd_, bytes));
    }
    // The bytes are on the disk once fsync() and close() say so; close() may report a failed
    // write of its own (as on network file systems).
    void close() {
        if (error_ != 0)
            return;
        check(::fsync(fd_) == 0);
        const int fd = std::exchange(fd_, -1);
        const int closed = ::close(fd);
        if (error_ == 0)
            check(closed == 0 || errno == EINTR);
    }
    void placeAt(const std::string& target) {
        if (error_ != 0)
            return;
        placed_ = ::rename(name_.c_str(), target.c_str()) == 0;
        check(placed_);
    }
    bool placed() const { return placed_; }
    // The rename is an entry of the folder, on the disk only once the folder is synced: until
    // then a crash can bring the old file back. A folder that we may write into but not read
    // cannot be opened to be synced, and a file system may not sync folders at all (EINVAL);
    // the save then stands as it does wherever the system writes folders in its own time.
    void syncFolder(const std::string& folder) {
        if (error_ != 0)
            return;
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            if (errno != EACCES && errno != EPERM)
                check(false);
            return;
        }
        int synced = -1;
        if (watched(testing::WriterStep::FolderSync, fd)) {
            do
                synced = ::fsync(fd);
            while (synced != 0 && errno == EINTR);
        }
        const int failure = errno;
        ::close(fd);
        errno = failure;
        check(synced == 0 || failure == EINVAL);
    }

private:
    void check(bool done) {
        if (!done)
            error_ = errno != 0 ? errno : EIO;
    }

    std::string name_;
    int fd_ = -1;
    int error_ = 0;
    bool created_ = false;
    bool placed_ = false;
};

} // namespace

ReplaceResult replaceFile(const std::string& path, std::string_view bytes) {
    const Target target = resolve(path);
    if (target.error != 0)
        return {target.error, std::nullopt};
    if (target.exists) {
        if (const auto kind = kindOf(target.status.st_mode))
            return {0, kind};
        // Renaming over a file needs only the folder's permission, but a file that its owner
        // protected from writing is not ours to replace. Asked as open() would ask, so that
        // root keeps its powers.
        if (::faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
            if (errno == EACCES || errno == EPERM)
                return {0, std::nullopt, true};
            if (errno == EROFS)
                return {EROFS, std::nullopt};
        }
    }
    const std::string folder = folderOf(target.path);
    Temporary file(folder);
    file.takeModeOf(target.exists ? &target.status : nullptr);
    file.write(bytes);
    file.close();
    file.placeAt(target.path);
    file.syncFolder(folder);
    return {file.error(), std::nullopt, false, file.placed()};
}

} // namespace planora::detail
