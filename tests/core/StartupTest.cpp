#include "core/FileTypes.h"
#include "platform/FileType.h"
#include "support/Program.h"

namespace planora::test {
namespace {

using StartupTest = ProgramTest;

TEST_F(StartupTest, OpensTheMainWindowWithTheIdentityMatrix) {
    main& w = window();
    EXPECT_EQ(w.Title(), "Planora");
    EXPECT_EQ(w.Width(), 760);
    EXPECT_EQ(w.Height(), 330);
    EXPECT_TRUE(w.isVisible());
    const char* expected[] = {"1", "0", "0", "1"};
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(w.TEMat(i)->Text(), expected[i - 1]) << "TEMat(" << i << ")";
}

} // namespace
} // namespace planora::test
