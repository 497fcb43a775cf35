#include "core/FileTypes.h"

#include "core/Startup.h"
#include "platform/Application.h"
#include "platform/Testing.h"
#include "support/Program.h"

#include <gtest/gtest.h>

namespace planora::test {
namespace {

TEST(FileTypesBeforeStartUp, BothAreNilAndTheListIsEmpty) {
    FileTypes::forget();
    EXPECT_EQ(FileTypes::Text(), nullptr);
    EXPECT_EQ(FileTypes::BmpJpgTiff(), nullptr);
    EXPECT_TRUE(FileTypes::pAllFileTypes().empty());
    EXPECT_EQ(FileType::registered("bmp/jpg/tiff"), nullptr);
}

TEST(FileTypesBeforeStartUp, TheirStepRegistersThemWithoutAnApplicationObject) {
    planora::testing::resetRuntime();
    FileTypes::forget();
    InitFileTypes();
    EXPECT_TRUE(RegisteredApp().isNil());
    EXPECT_EQ(FileType::registered("text"), FileTypes::Text().get());
    EXPECT_EQ(FileType::registered("bmp/jpg/tiff"), FileTypes::BmpJpgTiff().get());
    FileTypes::forget();
    EXPECT_EQ(FileType::registered("bmp/jpg/tiff"), nullptr);
}

class FileTypesAfterStartUp : public ProgramTest {
protected:
    void SetUp() override {
        FileTypes::forget();
        ProgramTest::SetUp();
    }
};

TEST_F(FileTypesAfterStartUp, HoldsTextThenThePictureTypeWithTheirProperties) {
    const auto& all = FileTypes::pAllFileTypes();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], FileTypes::Text());
    EXPECT_EQ(all[1], FileTypes::BmpJpgTiff());
    EXPECT_EQ(FileTypes::Text(), FileTypes::Text());

    struct Row {
        std::shared_ptr<FileType> type;
        const char *name, *extensions, *macType;
        std::size_t creatorLength;
    };
    const Row rows[] = {
        {FileTypes::Text(), "text", "", "TEXT", 4},
        {FileTypes::BmpJpgTiff(), "bmp/jpg/tiff", ".bmp;.jfif;.jpe;.jpeg;.jpg;.tif;.tiff", "", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_NE(r.type, nullptr);
        EXPECT_EQ(r.type->Name(), r.name);
        EXPECT_EQ(r.type->Extensions(), r.extensions);
        EXPECT_EQ(r.type->MacType(), r.macType);
        EXPECT_EQ(r.type->MacCreator().size(), r.creatorLength);
        EXPECT_EQ(r.type->MimeType(), "");
        EXPECT_TRUE(r.type->Imported());
        EXPECT_EQ(r.type->ConformsTo(), "");
        EXPECT_EQ(r.type->UTI(), "");
        EXPECT_TRUE(r.type->isRegistered());
        EXPECT_EQ(FileType::registered(r.name), r.type.get());
    }
}

TEST(FileTypeRegistration, ASetterWithdrawsItAndConvertingToTextRegistersItOnce) {
    FileType type;
    type.Name("probe");
    EXPECT_FALSE(type.isRegistered());
    EXPECT_EQ(type.toString(), "probe");
    EXPECT_EQ(type.toString(), "probe");
    EXPECT_EQ(FileType::registered("probe"), &type);
    type.Extensions(".a;.b");
    EXPECT_FALSE(type.isRegistered());
    EXPECT_EQ(FileType::registered("probe"), nullptr);
    type.toString();
    EXPECT_EQ(type.extensionList(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(FileType::registered("probe"), &type);
}

} // namespace
} // namespace planora::test
