#pragma once

// The platform's process-wide state, shared by its .cpp files.

#include "platform/Application.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace planora::detail {

struct ScriptedDialogs {
    bool enabled = false; // tests: no modal dialog ever opens
    std::deque<std::optional<std::string>> openAnswers, saveAnswers;
    std::optional<std::string> lastOpenFilter;
    std::optional<std::string> lastSaveFilter, lastSaveName;
    int unscripted = 0;
    std::vector<std::string> messages;
};

struct RuntimeState {
    std::unique_ptr<Application> app;
    std::optional<int> quitCode;
    bool eventLoopRunning = false;
    bool supportsHiDPI = false;
    std::optional<std::string> resourceFolder;
    int resourceLoads = 0;
    ScriptedDialogs dialogs;
    std::vector<std::string> toolkitArguments; // the command line the toolkit was given
};

RuntimeState& state();

} // namespace planora::detail
