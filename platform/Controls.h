#pragma once

#include "platform/Picture.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace planora {

class Window;

enum class ControlKind {
    Canvas,
    EditField,
    PushButton,
    BevelButton,
    CheckBox,
    RadioButton,
    Label,
    StaticText,
    GroupBox,
    ImageWell
};

// The events a control can raise. Events are raised by what the user does; setting a value or
// a text from code raises nothing.
enum class Event { Action, TextChange, LostFocus };

struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;
};

// One row of a window's layout: the property block of one control. Coordinates lie in the
// window's content area, also for the children of a frame.
struct ControlSpec {
    ControlKind kind;
    std::string_view name;
    std::int64_t index = 0;       // member index of a control array, from 1; 0 for none
    std::string_view parent = {}; // the frame the control belongs to; empty: the window
    Bounds rect = {};
    std::string_view text = {}; // caption or text; a carriage return breaks a label's line
    int tab = 0;                // tab order within the parent
    bool value = false;         // check box or radio button state
    bool isDefault = false;     // the push button that the Return key presses
    bool visible = true;
    double fontSize = 0; // in pixels of the "System" font; 0: the system's size
    bool bold = false;
    int alignment = 0;              // 0 the class's default, 1 left, 2 centred, 3 right
    bool focusable = true;          // false: never takes the keyboard focus
    Picture (*picture)() = nullptr; // the image of a picture well, the backdrop of a canvas
};

// A control on a window. Controls are created by their window from its layout table and
// live exactly as long as the window.
class Control {
public:
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    const std::string& Name() const { return name_; }
    std::int64_t Index() const { return index_; }
    ControlKind kind() const { return kind_; }
    Window& window() const { return window_; }

    bool Enabled() const;
    void Enabled(bool enabled);
    bool Visible() const;
    void Visible(bool visible);
    std::int64_t Left() const;
    std::int64_t Top() const;
    std::int64_t Width() const;
    std::int64_t Height() const;

    // Asks for a repaint soon, from the event loop.
    void Invalidate(bool eraseBackground = true);
    bool hasFocus() const;
    void setFocus();

    // The handler of an event; empty when nothing is bound.
    void setHandler(Event event, std::function<void(Control&)> handler);
    bool hasHandler(Event event) const;
    // Raises the event as the user would, through the exception barrier.
    void raise(Event event);

    struct Peer;
    Peer& peer() const { return *peer_; }

protected:
    Control(Window& window, const ControlSpec& spec);

private:
    Window& window_;
    std::string name_;
    std::int64_t index_;
    ControlKind kind_;
    std::unique_ptr<Peer> peer_;
    std::array<std::function<void(Control&)>, 3> handlers_;
};

class Canvas : public Control {
public:
    Canvas(Window& window, const ControlSpec& spec);
    // The canvas shows the picture's current pixels, then what its Paint handler draws.
    // Setting a picture, also the same one again, brings its present content on screen.
    void Backdrop(const Picture& picture);
    const Picture& Backdrop() const { return backdrop_; }

    std::function<void(Canvas&, Graphics&)> Paint;

private:
    Picture backdrop_;
};

class EditField : public Control {
public:
    EditField(Window& window, const ControlSpec& spec);
    std::string Text() const;
    void Text(std::string_view text);
};

class PushButton : public Control {
public:
    PushButton(Window& window, const ControlSpec& spec);
    bool Default() const { return default_; }
    std::string Caption() const;
    // Presses the button as a click would: raises Action when the button is enabled.
    void push();

private:
    bool default_;
};

class BevelButton : public PushButton {
public:
    BevelButton(Window& window, const ControlSpec& spec);
};

class CheckBox : public Control {
public:
    CheckBox(Window& window, const ControlSpec& spec);
    bool Value() const;
    void Value(bool checked);
    std::string Caption() const;
};

// Radio buttons of one window that share a name form one exclusive group: selecting a member
// deselects the other members of that group only.
class RadioButton : public Control {
public:
    RadioButton(Window& window, const ControlSpec& spec);
    bool Value() const;
    void Value(bool selected);
    std::string Caption() const;
};

class Label : public Control {
public:
    Label(Window& window, const ControlSpec& spec);
    std::string Text() const { return text_; }
    void Text(std::string_view text);

private:
    std::string text_;
};

class StaticText : public Label {
public:
    StaticText(Window& window, const ControlSpec& spec);
};

// A frame with a caption, drawn beneath the controls that lie inside it.
class GroupBox : public Control {
public:
    GroupBox(Window& window, const ControlSpec& spec);
    std::string Caption() const;
};

class ImageWell : public Control {
public:
    ImageWell(Window& window, const ControlSpec& spec);
    void Image(const Picture& picture);
    const Picture& Image() const { return image_; }

private:
    Picture image_;
};

} // namespace planora
