#include "core/App.h"

namespace planora {

// Placeholders until the mapping is built.
void App::berechnenDIREKT() {
    berechnet = true;
}
void App::berechnen() {
    berechnet = true;
}
double App::farbadd(double, double) {
    return 0;
}

} // namespace planora
