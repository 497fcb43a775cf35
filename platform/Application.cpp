#include "platform/Application.h"

#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "platform/qt/QtSupport.h"
#include "platform/qt/State.h"
#include "platform/qt/ToolkitStyle.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <string>

namespace planora {

namespace detail {
RuntimeState& state() {
    static RuntimeState s;
    return s;
}
} // namespace detail

using detail::state;

Application::~Application() = default;

void Application::SetSupportsHiDPI(bool supported) {
    state().supportsHiDPI = supported;
}
bool Application::SupportsHiDPI() {
    return state().supportsHiDPI;
}

void Application::SetVersionData(std::int64_t major, std::int64_t minor, std::int64_t bug,
                                 std::int64_t nonRelease, std::int64_t stageCode,
                                 std::string longVersion, std::string shortVersion,
                                 std::string packageInfo) {
    major_ = major;
    minor_ = minor;
    bug_ = bug;
    nonRelease_ = nonRelease;
    stageCode_ = stageCode;
    longVersion_ = std::move(longVersion);
    shortVersion_ = std::move(shortVersion);
    packageInfo_ = std::move(packageInfo);
}

// Qt registers its own classes and plug-ins when the QApplication is made; nothing is left
// to do for these two steps.
void RuntimeInitExternalClasses() {}
void InitPluginEntrypoints() {}
void DesktopColorPickerClose() {}

void RuntimeRegisterAppObject(std::unique_ptr<Application> app) {
    state().app = std::move(app);
}

Ptr<Application> RegisteredApp() {
    return state().app.get();
}

void RunFrameworkInitialization(void (*callback)()) {
    // The interface is German, Qt's own dialog buttons and file dialogs included.
    static QTranslator qtTranslator;
    if (qtTranslator.isEmpty() &&
        qtTranslator.load(QLocale(QLocale::German), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTranslator);
    // Only the main window's Close (or the quit command) ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    runGuarded(callback);
}

int RuntimeRun() {
    auto& s = state();
    if (s.quitCode)
        return *s.quitCode;
    s.eventLoopRunning = true;
    const int code = QApplication::exec();
    s.eventLoopRunning = false;
    return s.quitCode.value_or(code);
}

void Quit(int exitCode) {
    auto& s = state();
    if (!s.quitCode)
        s.quitCode = exitCode;
    if (s.eventLoopRunning)
        QCoreApplication::exit(*s.quitCode);
}

void UnhandledException(const std::exception& error) {
    std::fprintf(stderr, "planora: unhandled exception: %s\n", error.what());
    MsgBox(std::string("Ein unerwarteter Fehler ist aufgetreten:\n") + error.what());
}

void runGuarded(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        UnhandledException(e);
    } catch (...) {
        UnhandledException(RuntimeException("unknown error"));
    }
}

namespace {
std::unique_ptr<QApplication> g_qapp;
} // namespace

Runtime::Runtime(const char* programPath) {
    if (QApplication::instance())
        return;
    // The program reads no command line. The toolkit would take options such as -platform,
    // -reverse or -qwindowtitle from it, so it is given the program's path alone; its
    // environment variables still apply. It keeps the count and the array for its lifetime.
    static std::string path;
    static char* argv[2] = {};
    static int argc = 1;
    path = programPath != nullptr && *programPath != '\0' ? programPath : "planora";
    argv[0] = path.data();
    argc = 1;
    state().toolkitArguments = {path};
    g_qapp = std::make_unique<QApplication>(argc, argv);
    QApplication::setStyle(detail::makeToolkitStyle());
}

Runtime::~Runtime() {
    exitStep();
    g_qapp.reset();
}

int Runtime::exitStep() {
    // Windows go first: their controls may show pictures that the application object owns.
    Window::discardAll();
    state().app.reset();
    return state().quitCode.value_or(0);
}

} // namespace planora
