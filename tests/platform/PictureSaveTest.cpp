#include "platform/FolderItem.h"
#include "platform/Testing.h"
#include "platform/picturefiles/FileReplacement.h"
#include "support/PictureFiles.h"
#include "support/Program.h"
#include "support/TempDir.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sched.h>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace planora::test {
namespace {

namespace fs = std::filesystem;

constexpr Color kWhite = RGB(255, 255, 255);
constexpr Color kRed = RGB(255, 0, 0);

std::set<std::string> listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A picture that compresses badly, so that writing it needs room.
Picture noisyPicture() {
    Picture p(300, 300);
    std::uint32_t seed = 12345;
    for (std::int64_t y = 0; y < 300; ++y) {
        std::uint32_t* row = p.row(y);
        for (std::int64_t x = 0; x < 300; ++x) {
            seed = seed * 1664525u + 1013904223u;
            row[x] = Picture::wordFromColor(seed >> 8);
        }
    }
    return p;
}

class PictureFileSave : public ::testing::Test {
protected:
    void SetUp() override { planora::testing::clearMessages(); }
    TempDir dir_;
};

TEST_F(PictureFileSave, TheTypedExtensionChoosesTheFormat) {
    struct Row {
        const char* typed;
        const char* written;
        std::string signature;
    };
    const std::string png = "\x89PNG", bmp = "BM", jpeg = "\xFF\xD8\xFF", tiff = "II*";
    const Row rows[] = {
        {"a.png", "a.png", png},     {"b.PNG", "b.PNG", png},
        {"c.bmp", "c.bmp", bmp},     {"d.jpg", "d.jpg", jpeg},
        {"e.JPEG", "e.JPEG", jpeg},  {"f.tif", "f.tif", tiff},
        {"g.Tiff", "g.Tiff", tiff},  {"bild", "bild.png", png},
        {"h.gif", "h.gif.png", png}, {"archiv.2024", "archiv.2024.png", png},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        const TempDir folder;
        EXPECT_TRUE(FolderItem(folder.file(r.typed)).SaveAsPicture(solidPicture(5, 4, kRed), 0));
        EXPECT_EQ(listing(folder.path()), std::set<std::string>{r.written});
        EXPECT_EQ(readBytes(folder.file(r.written)).substr(0, r.signature.size()), r.signature);
    }
    EXPECT_TRUE(planora::testing::messages().empty());
}

TEST_F(PictureFileSave, LosslessFormatsKeepEveryPixelAndReplaceAnOldFile) {
    Picture p = solidPicture(3, 2, kWhite);
    p.graphics().Pixel(0, 0, kRed);
    p.graphics().Pixel(2, 1, RGB(1, 2, 3));
    for (const char* name : {"p.bmp", "p.tif"}) {
        SCOPED_TRACE(name);
        writeBytes(dir_.file(name), "old");
        ASSERT_TRUE(FolderItem(dir_.file(name)).SaveAsPicture(p, 0));
        const Picture back = FolderItem(dir_.file(name)).OpenAsPicture();
        ASSERT_FALSE(back.isNil());
        ASSERT_EQ(back.Width(), 3);
        ASSERT_EQ(back.Height(), 2);
        for (std::int64_t y = 0; y < 2; ++y)
            for (std::int64_t x = 0; x < 3; ++x)
                EXPECT_EQ(back.graphics().Pixel(x, y), p.graphics().Pixel(x, y));
    }
    EXPECT_EQ(listing(dir_.path()), (std::set<std::string>{"p.bmp", "p.tif"}));
}

// Gives up root for good and goes on as the user nobody; false where that is not allowed.
bool becomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
           ::setresuid(65534, 65534, 65534) == 0;
}

// Runs body in a child process and returns what it returns (-1 when the child did not end by
// itself), so that what body changes of the process stays there.
int inChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string failureMessage(const std::string& path, const std::string& reason) {
    return "Das Bild konnte nicht gespeichert werden:\n" + path + "\n" + reason;
}

// A failed save reports itself in German with its reason, leaves the file that was there byte
// for byte and leaves no temporary file behind.
class FailedSave : public PictureFileSave {
protected:
    void SetUp() override {
        PictureFileSave::SetUp();
        folder_ = dir_.path() / "pictures";
        target_ = (folder_ / "bild.png").string();
        makeFolder();
    }
    // The folder with the old file in it, and nothing else in the test's folder.
    void makeFolder() {
        for (const auto& entry : fs::directory_iterator(dir_.path()))
            fs::remove_all(entry.path());
        fs::create_directory(folder_);
        writeBytes(target_, kOldBytes);
        planora::testing::clearMessages();
    }
    void expectNothingChanged() {
        EXPECT_EQ(listing(folder_), std::set<std::string>{"bild.png"});
        EXPECT_TRUE(readBytes(target_) == kOldBytes) << "the old file was changed";
    }
    // Saves in a child process that first calls prepare; its exit code tells whether the save
    // failed with the message that names reason. 77: prepare could not be done here.
    int saveInChild(const std::function<bool()>& prepare, const std::string& reason) {
        return saveInChild(prepare, target_, reason);
    }
    // The same for a save to path.
    int saveInChild(const std::function<bool()>& prepare, const std::string& path,
                    const std::string& reason) {
        return inChild([&] {
            if (!prepare())
                return 77;
            const bool saved = FolderItem(path).SaveAsPicture(noisyPicture(), 0);
            const auto& m = planora::testing::messages();
            const bool told = m.size() == 1 && m[0] == failureMessage(path, reason);
            if (!told)
                for (const std::string& text : m)
                    std::fprintf(stderr, "message: %s\n", text.c_str());
            return !saved && told ? 0 : 1;
        });
    }
    // The program goes on: the same picture saves at once into a folder that takes it.
    void expectTheNextSaveWorks() {
        const std::string elsewhere = dir_.file("elsewhere.png");
        EXPECT_TRUE(FolderItem(elsewhere).SaveAsPicture(noisyPicture(), 0));
        EXPECT_EQ(readBytes(elsewhere).substr(0, 4), "\x89PNG");
    }

    static constexpr const char* kOldBytes = "the old picture";
    fs::path folder_;
    std::string target_;
};

// Every name below the folder, folders and links included, as paths relative to it.
std::set<std::string> tree(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

TEST_F(FailedSave, IntoAFolderThatIsNotThere) {
    struct Row {
        const char* name;
        // Makes the case in the test's folder and returns the path that is saved to.
        std::function<std::string(const fs::path& folder)> make;
    };
    const Row rows[] = {
        {"a folder that is gone", [](const fs::path& f) { return (f / "gone/bild.png").string(); }},
        {"a folder removed while the dialog was open",
         [](const fs::path& f) {
             fs::remove_all(f / "pictures");
             return (f / "pictures/bild.png").string();
         }},
        {"a file where the folder should be",
         [](const fs::path& f) { return (f / "pictures/bild.png/neu.png").string(); }},
        {"a link to a file in a folder that is not there",
         [](const fs::path& f) {
             fs::create_symlink(f / "gone/neu.png", f / "pictures/link.png");
             return (f / "pictures/link.png").string();
         }},
        {"a link into a folder that is not there, written as a relative path",
         [](const fs::path& f) {
             fs::create_symlink("../gone/deeper/neu.png", f / "pictures/link.png");
             return (f / "pictures/link.png").string();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        makeFolder();
        const std::string path = row.make(dir_.path());
        const auto before = tree(dir_.path());
        EXPECT_FALSE(FolderItem(path).SaveAsPicture(noisyPicture(), 0));
        EXPECT_EQ(planora::testing::messages(),
                  std::vector<std::string>{failureMessage(path, "Der Ordner existiert nicht")});
        EXPECT_EQ(tree(dir_.path()), before);
        expectTheNextSaveWorks();
    }
}

TEST_F(FailedSave, IntoAReadOnlyFolder) {
    // Only the folder forbids the save: the old file itself may be written by anyone.
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(target_.c_str(), 0666);
    ::chmod(folder_.c_str(), 0555);
    // Root writes anywhere; as root the child gives up its privileges first.
    const int result = saveInChild([] { return ::geteuid() != 0 || becomeNobody(); },
                                   "Keine Schreibberechtigung für diesen Ordner");
    ::chmod(folder_.c_str(), 0755);
    if (result == 77)
        GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(result, 0);
    expectNothingChanged();
}

TEST_F(FailedSave, OverAFileThatTheUserMayNotWrite) {
    // The folder would let the user replace the file: only the file itself says no.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to save as another user";
    ::chmod(dir_.path().c_str(), 0755);
    ASSERT_EQ(::chown(folder_.c_str(), 65534, 65534), 0);
    const struct {
        const char* name;
        uid_t owner;
    } rows[] = {{"the user's own file", 65534}, {"another user's file", 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeBytes(target_, kOldBytes);
        ASSERT_EQ(::chown(target_.c_str(), row.owner, row.owner), 0);
        ::chmod(target_.c_str(), 0444);
        EXPECT_EQ(saveInChild(becomeNobody, "Die Datei ist schreibgeschützt"), 0);
        expectNothingChanged();
        struct stat status {};
        ::stat(target_.c_str(), &status);
        EXPECT_EQ(status.st_mode & 07777, 0444u);
        EXPECT_EQ(status.st_uid, row.owner);
    }
}

TEST_F(FailedSave, OnAReadOnlyFileSystem) {
    // In a mount namespace of the child's own, the folder becomes a file system that holds the
    // old file and is then made read-only.
    const auto readOnlyFolder = [this] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") != 0)
            return false;
        writeBytes(target_, kOldBytes);
        return ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    };
    for (const std::string& path : {target_, (folder_ / "neu.png").string()}) {
        SCOPED_TRACE(path);
        const int result =
            saveInChild(readOnlyFolder, path, "Der Datenträger ist schreibgeschützt");
        if (result == 77)
            GTEST_SKIP() << "cannot mount a file system here";
        EXPECT_EQ(result, 0);
        expectNothingChanged();
    }
}

TEST_F(FailedSave, BeyondTheFileSizeLimit) {
    // Writes beyond the limit fail as on a full disk, without needing one.
    const int result = saveInChild(
        [] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{16 * 1024, 16 * 1024};
            return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        "Die Datei wäre größer, als es hier erlaubt ist");
    ASSERT_NE(result, 77);
    EXPECT_EQ(result, 0);
    expectNothingChanged();
}

TEST_F(FailedSave, OnAFullDisk) {
    // The folder becomes a tiny file system that holds the old file and little more.
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a file system here";
    writeBytes(target_, kOldBytes);
    EXPECT_FALSE(FolderItem(target_).SaveAsPicture(noisyPicture(), 0));
    EXPECT_EQ(planora::testing::messages(),
              std::vector<std::string>{
                  failureMessage(target_, "Kein Speicherplatz mehr auf dem Datenträger")});
    expectNothingChanged();
    ::umount2(folder_.c_str(), MNT_DETACH);
    expectTheNextSaveWorks();
}

// --- Targets that are not plain files ----------------------------------------------------

// What lstat() says stands at each name of a folder.
std::map<std::string, mode_t> kinds(const fs::path& folder) {
    std::map<std::string, mode_t> found;
    for (const std::string& name : listing(folder)) {
        struct stat status {};
        ::lstat((folder / name).c_str(), &status);
        found[name] = status.st_mode & S_IFMT;
    }
    return found;
}

bool makeSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || path.size() >= sizeof address.sun_path)
        return false;
    path.copy(address.sun_path, path.size());
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

struct NotAPlainFile {
    const char* name;
    // Makes what stands at "bild.png" in the folder; false where this system refuses.
    bool (*make)(const fs::path& folder);
    const char* reason;
    friend void PrintTo(const NotAPlainFile& n, std::ostream* os) { *os << n.name; }
};

constexpr const char* kIsFolder =
    "Unter diesem Namen gibt es schon einen Ordner; ersetzt wird nur eine gewöhnliche Datei";
constexpr const char* kIsDevice =
    "Unter diesem Namen gibt es schon ein Gerät; ersetzt wird nur eine gewöhnliche Datei";
constexpr const char* kIsPipe = "Unter diesem Namen gibt es schon eine benannte Pipe; ersetzt "
                                "wird nur eine gewöhnliche Datei";
constexpr const char* kIsSocket =
    "Unter diesem Namen gibt es schon einen Socket; ersetzt wird nur eine gewöhnliche Datei";

// A character device with the numbers of /dev/null, made in the test's own folder.
bool makeDevice(const fs::path& path) {
    return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

const NotAPlainFile kNotPlainFiles[] = {
    {"folder", [](const fs::path& f) { return fs::create_directory(f / "bild.png"); }, kIsFolder},
    {"pipe", [](const fs::path& f) { return ::mkfifo((f / "bild.png").c_str(), 0644) == 0; },
     kIsPipe},
    {"socket", [](const fs::path& f) { return makeSocket((f / "bild.png").string()); }, kIsSocket},
    {"pipeThroughALink",
     [](const fs::path& f) {
         fs::create_symlink("pipe", f / "bild.png");
         return ::mkfifo((f / "pipe").c_str(), 0644) == 0;
     },
     kIsPipe},
    {"folderThroughALink",
     [](const fs::path& f) {
         fs::create_symlink(f / "sub", f / "bild.png");
         return fs::create_directory(f / "sub");
     },
     kIsFolder},
    {"device", [](const fs::path& f) { return makeDevice(f / "bild.png"); }, kIsDevice},
    {"deviceThroughTwoLinks",
     [](const fs::path& f) {
         fs::create_symlink("device", f / "link");
         fs::create_symlink(f / "link", f / "bild.png");
         return makeDevice(f / "device");
     },
     kIsDevice},
};

class RefusedTarget : public PictureFileSave,
                      public ::testing::WithParamInterface<NotAPlainFile> {};

TEST_P(RefusedTarget, IsLeftAsItWasAndTheMessageSaysWhy) {
    const NotAPlainFile& row = GetParam();
    if (!row.make(dir_.path()))
        GTEST_SKIP() << "this system refuses to make a " << row.name;
    const auto before = kinds(dir_.path());
    const std::string path = dir_.file("bild.png");
    EXPECT_FALSE(FolderItem(path).SaveAsPicture(solidPicture(5, 4, kRed), 0));
    EXPECT_EQ(planora::testing::messages(),
              std::vector<std::string>{failureMessage(path, row.reason)});
    EXPECT_EQ(kinds(dir_.path()), before);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RefusedTarget, ::testing::ValuesIn(kNotPlainFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Links and permissions -----------------------------------------------------------------

mode_t modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

TEST_F(PictureFileSave, ALinkStaysAndTheFileItLeadsToIsReplacedKeepingItsMode) {
    fs::create_directory(dir_.path() / "real");
    const std::string real = dir_.file("real/bild.png");
    writeBytes(real, "old");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink("real/bild.png", dir_.path() / "near.png");
    fs::create_symlink(dir_.path() / "near.png", dir_.path() / "far.png");
    for (const char* name : {"near.png", "far.png"}) {
        SCOPED_TRACE(name);
        writeBytes(real, "old");
        ASSERT_TRUE(FolderItem(dir_.file(name)).SaveAsPicture(solidPicture(5, 4, kRed), 0));
        EXPECT_TRUE(fs::is_symlink(dir_.path() / name));
        EXPECT_EQ(readBytes(real).substr(0, 4), "\x89PNG");
        EXPECT_EQ(modeOf(real), 0640u);
    }
    EXPECT_EQ(listing(dir_.path()), (std::set<std::string>{"far.png", "near.png", "real"}));
    EXPECT_EQ(listing(dir_.path() / "real"), std::set<std::string>{"bild.png"});
    EXPECT_TRUE(planora::testing::messages().empty());
}

TEST_F(PictureFileSave, ALinkToAFileNotYetThereCreatesThatFile) {
    fs::create_symlink("new.png", dir_.path() / "bild.png");
    ASSERT_TRUE(FolderItem(dir_.file("bild.png")).SaveAsPicture(solidPicture(5, 4, kRed), 0));
    EXPECT_TRUE(fs::is_symlink(dir_.path() / "bild.png"));
    EXPECT_EQ(readBytes(dir_.file("new.png")).substr(0, 4), "\x89PNG");
}

TEST_F(PictureFileSave, AReplacedFileKeepsItsModeAndOwnerAndANewOneFollowsTheUmask) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* name;
        mode_t mode;
    } kept[] = {{"kept.png", 0604}, {"protected.png", 0444}};
    // Root replaces a write-protected file as it may write to it; anyone else is refused.
    const std::size_t keptFiles = root ? 2 : 1;
    const std::string fresh = dir_.file("fresh.png");
    for (std::size_t i = 0; i < keptFiles; ++i) {
        const std::string path = dir_.file(kept[i].name);
        writeBytes(path, "old");
        ::chmod(path.c_str(), kept[i].mode);
        if (root) {
            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        }
    }
    const mode_t oldMask = ::umask(027);
    for (std::size_t i = 0; i < keptFiles; ++i)
        EXPECT_TRUE(FolderItem(dir_.file(kept[i].name)).SaveAsPicture(solidPicture(5, 4, kRed)));
    EXPECT_TRUE(FolderItem(fresh).SaveAsPicture(solidPicture(5, 4, kRed), 0));
    ::umask(oldMask);
    EXPECT_EQ(modeOf(fresh), 0640u);
    for (std::size_t i = 0; i < keptFiles; ++i) {
        SCOPED_TRACE(kept[i].name);
        const std::string path = dir_.file(kept[i].name);
        EXPECT_EQ(readBytes(path).substr(0, 4), "\x89PNG");
        EXPECT_EQ(modeOf(path), kept[i].mode);
        if (root) {
            struct stat status {};
            ::stat(path.c_str(), &status);
            EXPECT_EQ(status.st_uid, 65534u);
            EXPECT_EQ(status.st_gid, 65534u);
        }
    }
}

// --- What the writer does, step by step --------------------------------------------------

using planora::testing::WriterStep;

// Saves with a watcher on the writer's steps, which the test stops watching at its end.
class WatchedSave : public PictureFileSave {
protected:
    void TearDown() override { planora::testing::watchFileWriter(nullptr); }
};

// The file that is being written is never more open than the file it becomes: it has that
// file's mode, and its owner where root saves, before the picture's first byte goes in.
TEST_F(WatchedSave, TheNewFileHasItsFinalModeAndOwnerBeforeItsFirstByte) {
    const bool root = ::geteuid() == 0;
    const uid_t replacedOwner = root ? 65534 : ::geteuid();
    struct Row {
        const char* name;
        std::optional<mode_t> replaced; // the mode of the file replaced, none for a new file
        mode_t umask;
        mode_t mode;
    };
    const Row rows[] = {
        {"a private file", 0600, 022, 0600},
        {"a file the group may read", 0640, 0, 0640},
        {"a file anyone may write", 0666, 077, 0666},
        {"a new file", std::nullopt, 022, 0644},
        {"a new file under a narrow umask", std::nullopt, 077, 0600},
        {"a new file under an open umask", std::nullopt, 0, 0666},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir_.file("bild.png");
        fs::remove(path);
        if (row.replaced) {
            writeBytes(path, "old");
            ::chmod(path.c_str(), *row.replaced);
            if (root) {
                ASSERT_EQ(::chown(path.c_str(), replacedOwner, replacedOwner), 0);
            }
        }
        std::vector<struct stat> seen;
        planora::testing::watchFileWriter([&seen](WriterStep step, int fd) {
            if (step == WriterStep::FirstWrite) {
                struct stat status {};
                ::fstat(fd, &status);
                seen.push_back(status);
            }
            return 0;
        });
        const mode_t oldMask = ::umask(row.umask);
        EXPECT_TRUE(FolderItem(path).SaveAsPicture(solidPicture(5, 4, kRed), 0));
        ::umask(oldMask);
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].st_size, 0) << "the file was written before the watcher saw it";
        EXPECT_EQ(seen[0].st_mode & 07777, row.mode);
        EXPECT_EQ(seen[0].st_uid, row.replaced ? replacedOwner : ::geteuid());
        EXPECT_EQ(modeOf(path), row.mode);
        EXPECT_EQ(readBytes(path).substr(0, 4), "\x89PNG");
    }
}

// What a watcher saw when the writer was about to sync a folder.
struct FolderSyncSeen {
    dev_t device;
    ino_t inode;
    std::string target;            // the first bytes of the target at that moment
    std::set<std::string> listing; // what the folder held
};

// The folder is synced once the new file has taken the target's place: the folder that holds
// the file written, also where a link in another folder leads there.
TEST_F(WatchedSave, TheFolderOfTheNewFileIsSyncedOnceTheFileIsInPlace) {
    fs::create_directory(dir_.path() / "real");
    fs::create_symlink("real/linked.png", dir_.path() / "link.png");
    const struct {
        const char* saved;
        const char* written;
    } rows[] = {{"bild.png", "bild.png"},
                {"real/bild.png", "real/bild.png"},
                {"link.png", "real/linked.png"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.saved);
        const fs::path written = dir_.path() / row.written;
        writeBytes(written.string(), "old");
        std::vector<WriterStep> steps;
        std::vector<FolderSyncSeen> syncs;
        planora::testing::watchFileWriter([&](WriterStep step, int fd) {
            steps.push_back(step);
            if (step == WriterStep::FolderSync) {
                struct stat status {};
                ::fstat(fd, &status);
                syncs.push_back({status.st_dev, status.st_ino,
                                 readBytes(written.string()).substr(0, 4),
                                 listing(written.parent_path())});
            }
            return 0;
        });
        ASSERT_TRUE(FolderItem(dir_.file(row.saved)).SaveAsPicture(solidPicture(5, 4, kRed)));
        EXPECT_EQ(steps, (std::vector<WriterStep>{WriterStep::FirstWrite, WriterStep::FolderSync}));
        ASSERT_EQ(syncs.size(), 1u);
        struct stat folder {};
        ::stat(written.parent_path().c_str(), &folder);
        EXPECT_EQ(syncs[0].device, folder.st_dev);
        EXPECT_EQ(syncs[0].inode, folder.st_ino) << "another folder was synced";
        EXPECT_EQ(syncs[0].target, "\x89PNG") << "synced before the new file was in place";
        EXPECT_EQ(syncs[0].listing, listing(written.parent_path()))
            << "the temporary file was still there";
    }
    EXPECT_TRUE(planora::testing::messages().empty());
}

TEST_F(WatchedSave, AFailedFolderSyncIsReportedAndTheNewPictureStays) {
    const std::string path = dir_.file("bild.png");
    writeBytes(path, "old");
    planora::testing::watchFileWriter(
        [](WriterStep step, int) { return step == WriterStep::FolderSync ? EIO : 0; });
    EXPECT_FALSE(FolderItem(path).SaveAsPicture(solidPicture(5, 4, kRed), 0));
    EXPECT_EQ(planora::testing::messages(),
              std::vector<std::string>{failureMessage(
                  path, "Das Bild steht schon in der Datei, ist aber nicht sicher auf dem "
                        "Datenträger. Das System meldet: " +
                            std::string(std::strerror(EIO)))});
    EXPECT_EQ(readBytes(path).substr(0, 4), "\x89PNG");
    EXPECT_EQ(listing(dir_.path()), std::set<std::string>{"bild.png"});
}

// A folder that the user may write into but not read cannot be opened to be synced. Saving
// there works as before, only without the sync.
TEST_F(WatchedSave, IntoAFolderThatTheUserMayNotReadWithoutItsSync) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to save as another user";
    const fs::path folder = dir_.path() / "drop";
    fs::create_directory(folder);
    ::chmod(dir_.path().c_str(), 0755);
    ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    ::chmod(folder.c_str(), 0300);
    const std::string path = (folder / "bild.png").string();
    const int result = inChild([&] {
        if (!becomeNobody())
            return 77;
        int syncs = 0;
        planora::testing::watchFileWriter([&syncs](WriterStep step, int) {
            syncs += step == WriterStep::FolderSync;
            return 0;
        });
        const bool saved = FolderItem(path).SaveAsPicture(solidPicture(5, 4, kRed), 0);
        return saved && planora::testing::messages().empty() && syncs == 0 ? 0 : 1;
    });
    ::chmod(folder.c_str(), 0700);
    ASSERT_NE(result, 77) << "cannot drop privileges here";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readBytes(path).substr(0, 4), "\x89PNG");
    EXPECT_EQ(listing(folder), std::set<std::string>{"bild.png"});
}

// --- The real save dialog ----------------------------------------------------------------

using planora::testing::FrontDialog;
using planora::testing::messages;

// The program saving through the toolkit's real dialog.
class SaveDialog : public ProgramTest {
protected:
    // Saves through the real dialog, opened in the test's folder unless told to open where it
    // opens by itself: types name over the proposed one unless name is empty, presses Return,
    // answers a question that comes up with answer, then cancels the dialog if it is still
    // open. Returns every dialog seen in front, in order.
    std::vector<FrontDialog> save(const std::string& name, const std::string& answer,
                                  bool inTheTestsFolder = true) {
        using namespace planora::testing;
        auto seen = std::make_shared<std::vector<FrontDialog>>();
        auto look = [seen] {
            const auto front = frontDialog();
            if (front)
                seen->push_back(*front);
            return front;
        };
        runNextSaveDialog({
                              [look, name] {
                                  look();
                                  if (!name.empty()) {
                                      pressKeyInFrontDialog("Ctrl+A");
                                      typeInFrontDialog(name);
                                  }
                                  pressKeyInFrontDialog("Return");
                              },
                              [look, answer] {
                                  const auto front = look();
                                  if (front && !front->fileDialog) {
                                      EXPECT_TRUE(clickInFrontDialog(answer));
                                  }
                              },
                              [look] {
                                  const auto front = look();
                                  if (front && front->fileDialog)
                                      pressKeyInFrontDialog("Escape");
                              },
                          },
                          inTheTestsFolder ? std::optional<std::string>(dir_.path().string())
                                           : std::nullopt);
        app().savepic();
        return *seen;
    }

    std::string png(const std::string& name) const {
        return readBytes(dir_.file(name)).substr(0, 4);
    }

    TempDir dir_;
};

std::string toolkitQuestion(const std::string& name) {
    return "Die Datei " + name + " existiert bereits.\nSoll sie überschrieben werden?";
}
std::string ownQuestion(const std::string& name) {
    return "Das Bild wird als " + name + " gespeichert.\n" + toolkitQuestion(name);
}

TEST_F(SaveDialog, ProposesBildAndAsksBeforeReplacingBildPng) {
    writeBytes(dir_.file("bild.png"), "the user's picture");
    const auto seen = save("", "Nein");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen[0].fileDialog);
    EXPECT_EQ(seen[0].text, "bild");
    EXPECT_EQ(seen[1].text, toolkitQuestion("bild.png"));
    EXPECT_EQ(seen[1].buttons, (std::vector<std::string>{"Ja", "Nein"}));
    EXPECT_TRUE(seen[2].fileDialog) << "after Nein the user chooses again";
    EXPECT_TRUE(seen[2].active) << "and the keyboard reaches the dialog again";
    EXPECT_EQ(readBytes(dir_.file("bild.png")), "the user's picture");
    EXPECT_EQ(listing(dir_.path()), std::set<std::string>{"bild.png"});
    EXPECT_TRUE(messages().empty());
}

TEST_F(SaveDialog, AcceptingTheProposedNameTwiceAsksTheSecondTime) {
    const auto first = save("", "Nein");
    EXPECT_EQ(first.size(), 1u) << "no question about a file that is not there";
    ASSERT_EQ(png("bild.png"), "\x89PNG");
    writeBytes(dir_.file("bild.png"), "\x89PNG the first save");
    // As for the user, the second dialog opens where the first one saved.
    const auto second = save("", "Ja", false);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[1].text, toolkitQuestion("bild.png"));
    EXPECT_NE(readBytes(dir_.file("bild.png")), "\x89PNG the first save");
    EXPECT_EQ(png("bild.png"), "\x89PNG");
    EXPECT_EQ(listing(dir_.path()), std::set<std::string>{"bild.png"});
}

// What is asked and written for a typed name whose file the writer names differently, and
// for files that only look like the one written.
TEST_F(SaveDialog, AsksAboutTheFileThatIsWrittenAndOnlyAboutIt) {
    struct Row {
        const char* name;
        std::vector<std::string> existing;
        const char* typed;
        const char* answer;
        std::string question; // empty: none comes up
        std::set<std::string> replaced;
    };
    const Row rows[] = {
        {"a file named bild is not bild.png", {"bild"}, "", "Ja", "", {}},
        {"the written name is asked about",
         {"notiz.txt.png"},
         "notiz.txt",
         "Nein",
         ownQuestion("notiz.txt.png"),
         {}},
        {"and replaced when the user agrees",
         {"notiz.txt.png"},
         "notiz.txt",
         "Ja",
         ownQuestion("notiz.txt.png"),
         {"notiz.txt.png"}},
        {"the typed file, left alone, is not asked about",
         {"notiz.txt"},
         "notiz.txt",
         "Ja",
         "",
         {}},
        {"a picture extension is written as typed",
         {"foto.JPG"},
         "foto.JPG",
         "Ja",
         toolkitQuestion("foto.JPG"),
         {"foto.JPG"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        for (const auto& entry : fs::directory_iterator(dir_.path()))
            fs::remove_all(entry.path());
        for (const std::string& file : r.existing)
            writeBytes(dir_.file(file), "old");
        const auto seen = save(r.typed, r.answer);
        ASSERT_FALSE(seen.empty());
        const bool asked = seen.size() > 1 && !seen[1].fileDialog;
        EXPECT_EQ(asked ? seen[1].text : "", r.question);
        if (asked && std::string(r.answer) == "Nein") {
            ASSERT_EQ(seen.size(), 3u);
            EXPECT_TRUE(seen[2].active) << "the keyboard reaches the dialog again";
        }
        for (const std::string& file : r.existing)
            EXPECT_EQ(readBytes(dir_.file(file)) == "old", r.replaced.count(file) == 0) << file;
        EXPECT_TRUE(messages().empty());
    }
}

} // namespace
} // namespace planora::test
