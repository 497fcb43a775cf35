#include "core/App.h"

namespace planora {

// Placeholder until the axes are built.
void App::achsen(Graphics&) {}

} // namespace planora
