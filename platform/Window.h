#pragma once

#include "platform/Color.h"
#include "platform/Controls.h"
#include "platform/Ptr.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace planora {

class MenuBar;

// The property block of a window.
struct WindowSpec {
    std::string_view title;
    int width = 0, height = 0; // the content area, without a menu bar shown in the window
    int minWidth = 64, minHeight = 64;
    int maxWidth = 32000, maxHeight = 32000;
    bool hasCloseButton = true;
    bool hasMinimizeButton = true;
    bool hasMaximizeButton = false;
    bool resizeable = false;
    bool visible = true;
    std::optional<Color> backgroundColor = {}; // none: the platform's window colour
};

// A top-level window. Each window class has at most one open instance, found by its class
// name. The instance is built on first access: Layout, CreateControls, AddMenuHandlers, then
// the Open event, then it shows when its layout makes it visible. The lookup finds the
// instance from the start of its construction until it closes; the object itself is deleted
// only after the running event handler returns, so a handler may close its own window.
class Window {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    // Returns the open instance of W, building and opening one when there is none.
    template <class W>
    static W& instance(std::string_view className) {
        if (Window* open = find(className).raw())
            return dynamic_cast<W&>(*open);
        auto owned = std::make_unique<W>();
        W& window = *owned;
        adopt(std::string(className), std::move(owned));
        window.build();
        return window;
    }
    // Returns the open window of that class, or Nil.
    static Ptr<Window> find(std::string_view className);
    // Every open window, in the order they were opened.
    static std::vector<Window*> openWindows();
    // Ends every window at once, without Close events: the run is over.
    static void discardAll();

    const std::string& className() const { return className_; }

    // Shows the window, brings it back when it is minimised, raises it and gives it the
    // keyboard. A window that has never been shown nor moved by code opens where openingPlace
    // puts it.
    void Show();
    // Closes the window as its close box would: raises Close, then the window is gone.
    void Close();
    void Refresh(bool eraseBackground = true);
    bool isVisible() const;

    // The position of the window's outer top left corner, its frame included where the window
    // manager draws one; the size of its content area.
    std::int64_t Left() const;
    std::int64_t Top() const;
    std::int64_t Width() const;
    std::int64_t Height() const;
    void Left(std::int64_t left);
    void Top(std::int64_t top);
    void Width(std::int64_t width);
    std::string Title() const;

    // Shows the menu bar in this window (above the content area where the platform puts
    // menus inside windows).
    void MenuBar(planora::MenuBar& bar);
    planora::MenuBar* MenuBar() const { return menuBar_; }
    // Runs the menu handler registered for the item of that name; returns false when none is.
    bool chooseMenuItem(std::string_view itemName);
    bool hasMenuHandler(std::string_view itemName) const;

    // Returns the control of that name (and member index) as C, or Nil.
    template <class C = Control>
    Ptr<C> control(std::string_view name, std::int64_t index = 0) const {
        return dynamic_cast<C*>(findControl(name, index));
    }
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

    struct Peer;
    Peer& peer() const { return *peer_; }

    // Called by the platform when the user closes, minimises or restores the window.
    void handleClose();
    void handleRestore();

protected:
    Window();

    virtual void Layout() {}
    virtual void CreateControls() {}
    virtual void AddMenuHandlers() {}
    virtual void Event_Open() {}
    virtual void Event_Close() {}
    virtual void Event_Restore() {}

    void apply(const WindowSpec& spec);
    // Creates the controls of a layout table, in its order, and sets the tab order.
    void createControls(std::span<const ControlSpec> table);

    // Binds an event of every control of that name (every member of an array) to a method.
    template <class W, class C>
    void bind(std::string_view name, Event event, void (W::*handler)(C&)) {
        W* self = static_cast<W*>(this);
        for (Control* c : namedControls(name)) {
            if (dynamic_cast<C*>(c) == nullptr)
                throw std::logic_error("bind: " + std::string(name) + " has another class");
            c->setHandler(event, [self, handler](Control& sender) {
                (self->*handler)(static_cast<C&>(sender));
            });
        }
    }
    template <class W>
    void bindPaint(std::string_view name, void (W::*handler)(Canvas&, Graphics&)) {
        W* self = static_cast<W*>(this);
        for (Control* c : namedControls(name)) {
            auto* canvas = dynamic_cast<Canvas*>(c);
            if (canvas == nullptr)
                throw std::logic_error("bindPaint: " + std::string(name) + " is no canvas");
            canvas->Paint = [self, handler](Canvas& s, Graphics& g) { (self->*handler)(s, g); };
        }
    }
    template <class W>
    void addMenuHandler(std::string_view itemName, bool (W::*handler)()) {
        W* self = static_cast<W*>(this);
        menuHandlers_.push_back(
            {std::string(itemName), [self, handler] { return (self->*handler)(); }});
    }

private:
    static void adopt(std::string className, std::unique_ptr<Window> window);
    void build();
    void placeOnScreen();
    Control* findControl(std::string_view name, std::int64_t index) const;
    std::vector<Control*> namedControls(std::string_view name) const;

    std::string className_;
    std::unique_ptr<Peer> peer_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<std::pair<std::string, std::function<bool()>>> menuHandlers_;
    planora::MenuBar* menuBar_ = nullptr;
    bool closing_ = false;
    bool placed_ = false; // shown once, or moved by code
};

} // namespace planora
