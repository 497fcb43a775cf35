#include "core/App.h"

#include "platform/Exceptions.h"
#include "ui/main.h"

namespace planora {

App& App::instance() {
    auto* app = dynamic_cast<App*>(RegisteredApp().raw());
    if (app == nullptr)
        throw NilObjectException("no application object is registered");
    return *app;
}

App::~App() {
    qbild = {};
    zbild = {};
    obild = {};
}

void App::initproc() {
    berechnet = false;
    overlay = false;
    qbild = Picture(300, 300, 16);
    zbild = Picture(300, 300, 16);
    obild = Picture(300, 300, 16);
    vorlageEule = 1;
    winoptvis = false;
    achsenart = 1;
    ox = 150;
    oy = 150;
    achsen(false);
    main& w = main::instance();
    w.TEMat(1)->Text("1");
    w.TEMat(2)->Text("0");
    w.TEMat(3)->Text("0");
    w.TEMat(4)->Text("1");
    // The template goes in while berInvers still holds its previous value.
    reset();
    berInvers = true;
}

void App::showqbild() {
    main::instance().CAquell()->Backdrop(overlay ? zbild : qbild);
}

void App::showzbild() {
    if (!overlay)
        main::instance().CAziel()->Backdrop(zbild);
}

} // namespace planora
