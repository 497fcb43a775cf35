#pragma once

// A test fixture that boots the program through its real start-up, short of the event loop,
// and ends the run afterwards.

#include "core/App.h"
#include "core/Resources.h"
#include "core/Startup.h"
#include "platform/Application.h"
#include "platform/Testing.h"
#include "ui/main.h"

#include <gtest/gtest.h>

namespace planora::test {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        planora::testing::resetRuntime();
        forgetLoadedResources();
        EarlyStartup();
        RunFrameworkInitialization(&LateStartup);
        planora::testing::processEvents();
    }
    void TearDown() override { planora::testing::resetRuntime(); }

    static App& app() { return App::instance(); }
    static main& window() { return main::instance(); }
};

} // namespace planora::test
