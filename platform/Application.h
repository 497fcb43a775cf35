#pragma once

#include "platform/Ptr.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace planora {

class MenuBar;

// The framework's application object: version data and the application's menu bar. The
// program derives its own application class from it and registers one instance at start-up.
class Application {
public:
    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    virtual ~Application();

    static void SetSupportsHiDPI(bool supported);
    static bool SupportsHiDPI();

    void SetVersionData(std::int64_t major, std::int64_t minor, std::int64_t bug,
                        std::int64_t nonRelease, std::int64_t stageCode, std::string longVersion,
                        std::string shortVersion, std::string packageInfo);
    std::int64_t MajorVersion() const { return major_; }
    std::int64_t MinorVersion() const { return minor_; }
    std::int64_t BugVersion() const { return bug_; }
    std::int64_t NonReleaseVersion() const { return nonRelease_; }
    std::int64_t StageCode() const { return stageCode_; }
    const std::string& LongVersion() const { return longVersion_; }
    const std::string& ShortVersion() const { return shortVersion_; }
    const std::string& PackageInfo() const { return packageInfo_; }

    // The display-driver check of other platforms; nothing to do here.
    void SanityCheckWDDM() {}

    void MenuBar(planora::MenuBar* bar) { menuBar_ = bar; }
    planora::MenuBar* MenuBar() const { return menuBar_; }

private:
    std::int64_t major_ = 0, minor_ = 0, bug_ = 0, nonRelease_ = 0, stageCode_ = 0;
    std::string longVersion_, shortVersion_, packageInfo_;
    planora::MenuBar* menuBar_ = nullptr;
};

// The framework's part of start-up.
void RuntimeInitExternalClasses();
void InitPluginEntrypoints();
// Registers the application object; the framework keeps it until the end of the run.
void RuntimeRegisterAppObject(std::unique_ptr<Application> app);
// The registered application object, or Nil before registration.
Ptr<Application> RegisteredApp();
// Closes the colour picker when one is open; this platform has none open at start.
void DesktopColorPickerClose();
// Initialises the toolkit (translations, quit rules) and then calls callback once.
void RunFrameworkInitialization(void (*callback)());
// Runs the event loop until Quit; returns the exit code given to Quit.
int RuntimeRun();
// Ends the application with the exit code: the event loop returns, or, when it is not
// running yet, will return at once.
void Quit(int exitCode = 0);
// The default handler for an error that nobody handled: tells the user and goes on.
void UnhandledException(const std::exception& error);
// The exception barrier: runs f and hands anything that escapes it to UnhandledException.
// Every call from the toolkit into program code passes through it.
void runGuarded(const std::function<void()>& f);

// The process around the program: creates the toolkit at entry and, at the end, closes the
// windows, releases the application object and yields the exit code. The toolkit is given the
// program's path and no other command-line argument.
class Runtime {
public:
    explicit Runtime(const char* programPath);
    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;
    ~Runtime();
    // Runs the finalisers and returns the process's exit code.
    int exitStep();
};

} // namespace planora
