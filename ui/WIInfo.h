#pragma once

#include "platform/Controls.h"
#include "platform/Window.h"

namespace planora {

// The about window: logo, name, version, a notice and a banner, closed with "OK".
class WIInfo : public Window {
public:
    // The open info window, built and shown on first access.
    static WIInfo& instance();

    Ptr<PushButton> PushButton1() const { return control<PushButton>("PushButton1"); }
    Ptr<ImageWell> ImageWell1() const { return control<ImageWell>("ImageWell1"); }
    Ptr<Canvas> Canvas1() const { return control<Canvas>("Canvas1"); }
    Ptr<Label> Label1() const { return control<Label>("Label1"); }
    Ptr<Label> Label2() const { return control<Label>("Label2"); }
    Ptr<Label> Label3() const { return control<Label>("Label3"); }

    void PushButton1_Action(PushButton& sender);

protected:
    void Layout() override;
    void CreateControls() override;

private:
    void CreateControls0();
};

} // namespace planora
