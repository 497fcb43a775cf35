#pragma once

namespace planora {

// The program's start-up, in order: Main runs EarlyStartup (the file types and the application
// object), then the framework's initialisation, whose callback LateStartup opens the main
// window, then the event loop.
void Main();
void EarlyStartup();
void InitFileTypes();
void NewAppInstance();
void ApplicationAddMenuHandlers();
void LateStartup();
void MakeDefaultView();

} // namespace planora
