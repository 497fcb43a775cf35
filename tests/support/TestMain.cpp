#include "platform/Application.h"
#include "platform/Testing.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const auto runtime = planora::testing::startHeadless(argc, argv);
    return RUN_ALL_TESTS();
}
