#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace planora {

// A menu entry and, through its children, a menu. A MenuBar is the root of a tree of items.
// Shortcuts are written as "Cmd+O": Cmd stands for the platform's standard modifier (Ctrl on
// Linux and Windows). An item with the text "-" is a separator line.
class MenuItem {
public:
    enum class Role { Normal, Quit, About };

    MenuItem() = default;
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;
    virtual ~MenuItem();

    std::string Name;
    std::string Text;
    std::string Shortcut;
    bool AutoEnabled = true;
    bool Visible = true;

    virtual Role role() const { return Role::Normal; }

    // Appends a child; the item takes ownership.
    void AddMenu(std::unique_ptr<MenuItem> child);
    // Returns the direct child of that name, or nullptr.
    MenuItem* Child(std::string_view name) const;
    // Returns the item of that name anywhere below this one, or nullptr.
    MenuItem* find(std::string_view name) const;
    std::size_t Count() const { return children_.size(); }
    MenuItem& Item(std::size_t i) const { return *children_.at(i); }

private:
    std::vector<std::unique_ptr<MenuItem>> children_;
};

// The application's quit command; the platform gives it its quit role.
class QuitMenuItem : public MenuItem {
public:
    Role role() const override { return Role::Quit; }
};

// An item that the platform places in its application menu, where it has one (macOS).
class AppleMenuItem : public MenuItem {
public:
    Role role() const override { return Role::About; }
};

class MenuBar : public MenuItem {};

} // namespace planora
