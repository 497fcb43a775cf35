#include "core/Startup.h"

#include "core/App.h"
#include "core/FileTypes.h"
#include "platform/Application.h"
#include "ui/MenuBar1.h"
#include "ui/main.h"

#include <memory>

namespace planora {

void Main() {
    // Everything that escapes a step, the event loop included, ends here; what follows it is
    // skipped.
    try {
        EarlyStartup();
        RunFrameworkInitialization(&LateStartup);
        RuntimeRun();
    } catch (const std::exception& e) {
        UnhandledException(e);
    }
}

void EarlyStartup() {
    Application::SetSupportsHiDPI(true);
    RuntimeInitExternalClasses();
    InitPluginEntrypoints();
    InitFileTypes();
    NewAppInstance();
    ApplicationAddMenuHandlers();
}

void InitFileTypes() {
    FileTypes::Initialize();
}

void NewAppInstance() {
    auto app = std::make_unique<App>();
    app->Constructor();
    app->SetVersionData(2, 5, 0, 0, 3, "Version 2.0", "v2.0", "");
    app->SanityCheckWDDM();
    app->MenuBar(&MenuBar1::instance());
    RuntimeRegisterAppObject(std::move(app));
    DesktopColorPickerClose();
}

// The application object has no menu handlers of its own.
void ApplicationAddMenuHandlers() {}

void LateStartup() {
    MakeDefaultView();
}

void MakeDefaultView() {
    main::instance();
}

} // namespace planora
