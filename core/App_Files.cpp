#include "core/App.h"

namespace planora {

// Placeholders until loading and saving are built.
void App::loadpic() {}
void App::savepic() {}

} // namespace planora
