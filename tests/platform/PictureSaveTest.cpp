#include "platform/FolderItem.h"
#include "platform/Testing.h"
#include "support/PictureFiles.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// A failed save reports itself in German, leaves the file that was there byte for byte and
// leaves no temporary file behind.
class FailedSave : public PictureFileSave {
protected:
    void SetUp() override {
        PictureFileSave::SetUp();
        folder_ = dir_.path() / "pictures";
        fs::create_directory(folder_);
        target_ = (folder_ / "bild.png").string();
        writeBytes(target_, kOldBytes);
    }
    void expectNothingChanged() {
        EXPECT_EQ(listing(folder_), std::set<std::string>{"bild.png"});
        EXPECT_TRUE(readBytes(target_) == kOldBytes) << "the old file was changed";
    }
    // Saves in a child process that first calls prepare; its exit code tells whether the save
    // failed with the message. 77: prepare could not be done here.
    int saveInChild(const std::function<bool()>& prepare) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (!prepare())
                ::_exit(77);
            const bool saved = FolderItem(target_).SaveAsPicture(noisyPicture(), 0);
            const auto& m = planora::testing::messages();
            ::_exit(!saved && m.size() == 1 && m[0].rfind(kMessageStart, 0) == 0 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static constexpr const char* kOldBytes = "the old picture";
    static constexpr const char* kMessageStart = "Das Bild konnte nicht gespeichert werden";
    fs::path folder_;
    std::string target_;
};

TEST_F(FailedSave, IntoAFolderThatIsGone) {
    const std::string path = (folder_ / "gone" / "bild.png").string();
    EXPECT_FALSE(FolderItem(path).SaveAsPicture(noisyPicture(), 0));
    EXPECT_EQ(planora::testing::messages(),
              std::vector<std::string>{"Das Bild konnte nicht gespeichert werden:\n" + path});
    EXPECT_FALSE(fs::exists(folder_ / "gone"));
    expectNothingChanged();
}

TEST_F(FailedSave, IntoAReadOnlyFolder) {
    // Only the folder forbids the save: the old file itself may be written by anyone.
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod(target_.c_str(), 0666);
    ::chmod(folder_.c_str(), 0555);
    // Root writes anywhere; as root the child gives up its privileges first.
    const int result = saveInChild([] {
        return ::geteuid() != 0 ||
               (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0);
    });
    ::chmod(folder_.c_str(), 0755);
    if (result == 77)
        GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(result, 0);
    expectNothingChanged();
}

TEST_F(FailedSave, ThatRunsOutOfRoomWhileWriting) {
    // Writes beyond the limit fail as on a full disk, without needing one.
    const int result = saveInChild([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16 * 1024, 16 * 1024};
        return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    });
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
    EXPECT_EQ(planora::testing::messages().size(), 1u);
    expectNothingChanged();
    ::umount2(folder_.c_str(), MNT_DETACH);
}

} // namespace
} // namespace planora::test
