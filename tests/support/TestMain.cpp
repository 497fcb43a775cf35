#include "platform/Testing.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    planora::testing::startHeadless(argc, argv);
    return RUN_ALL_TESTS();
}
