#pragma once

#include "platform/Controls.h"
#include "platform/Window.h"

namespace planora {

// The options window: mapping direction, overlay, origin, axes and template picture. Every
// control acts on the model at once; the window keeps no state of its own.
class WIopt : public Window {
public:
    // The open options window, built and opened on first access (it never shows itself on a
    // later access: callers that want it in front call Show).
    static WIopt& instance();

    Ptr<GroupBox> GroupBox4() const { return control<GroupBox>("GroupBox4"); }
    Ptr<ImageWell> ImageWell1() const { return control<ImageWell>("ImageWell1"); }
    Ptr<ImageWell> ImageWell2() const { return control<ImageWell>("ImageWell2"); }
    Ptr<ImageWell> ImageWell3() const { return control<ImageWell>("ImageWell3"); }
    Ptr<BevelButton> BevelButton1() const { return control<BevelButton>("BevelButton1"); }
    Ptr<BevelButton> BevelButton2() const { return control<BevelButton>("BevelButton2"); }
    Ptr<BevelButton> BevelButton3() const { return control<BevelButton>("BevelButton3"); }
    // Member 1 ("mit Matrix") or 2 ("mit inverser Matrix"); Nil for any other index.
    Ptr<RadioButton> RBber(std::int64_t index) const {
        return control<RadioButton>("RBber", index);
    }
    Ptr<CheckBox> CBoverlay() const { return control<CheckBox>("CBoverlay"); }
    Ptr<EditField> EFox() const { return control<EditField>("EFox"); }
    Ptr<EditField> EFoy() const { return control<EditField>("EFoy"); }
    Ptr<CheckBox> CBAchsen() const { return control<CheckBox>("CBAchsen"); }
    // Member 1 ("Achsenkreuz") or 2 ("x/y-Achsen"); Nil for any other index.
    Ptr<RadioButton> RBachsen(std::int64_t index) const {
        return control<RadioButton>("RBachsen", index);
    }
    Ptr<GroupBox> GroupBox1() const { return control<GroupBox>("GroupBox1"); }
    Ptr<StaticText> StaticText1() const { return control<StaticText>("StaticText1"); }
    Ptr<StaticText> StaticText2() const { return control<StaticText>("StaticText2"); }
    Ptr<StaticText> StaticText3() const { return control<StaticText>("StaticText3"); }
    Ptr<GroupBox> GroupBox2() const { return control<GroupBox>("GroupBox2"); }
    Ptr<PushButton> PushButton1() const { return control<PushButton>("PushButton1"); }
    Ptr<GroupBox> GroupBox3() const { return control<GroupBox>("GroupBox3"); }

    void BevelButton1_Action(BevelButton& sender);
    void BevelButton2_Action(BevelButton& sender);
    void BevelButton3_Action(BevelButton& sender);
    void RBber_Action(RadioButton& sender);
    void CBoverlay_Action(CheckBox& sender);
    void EFox_LostFocus(EditField& sender);
    void EFox_TextChange(EditField& sender);
    void EFoy_TextChange(EditField& sender);
    void EFoy_LostFocus(EditField& sender);
    void CBAchsen_Action(CheckBox& sender);
    void RBachsen_Action(RadioButton& sender);
    void PushButton1_Action(PushButton& sender);

protected:
    void Layout() override;
    void CreateControls() override;
    void Event_Close() override;
    void Event_Open() override;

private:
    void CreateControls0();
};

} // namespace planora
