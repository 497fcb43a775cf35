#include "platform/Menus.h"

namespace planora {

MenuItem::~MenuItem() = default;

void MenuItem::AddMenu(std::unique_ptr<MenuItem> child) {
    children_.push_back(std::move(child));
}

MenuItem* MenuItem::Child(std::string_view name) const {
    for (const auto& child : children_)
        if (child->Name == name)
            return child.get();
    return nullptr;
}

MenuItem* MenuItem::find(std::string_view name) const {
    for (const auto& child : children_) {
        if (child->Name == name)
            return child.get();
        if (MenuItem* below = child->find(name))
            return below;
    }
    return nullptr;
}

} // namespace planora
