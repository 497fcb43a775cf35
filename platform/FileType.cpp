#include "platform/FileType.h"

#include <algorithm>

namespace planora {

namespace {
// Never destroyed: a type held by a static of its own withdraws itself at exit, possibly after
// the end of anything created later than it.
std::vector<const FileType*>& registeredTypes() {
    static auto* types = new std::vector<const FileType*>;
    return *types;
}
} // namespace

std::string FileType::toString() {
    if (!registered_) {
        registered_ = true;
        registeredTypes().push_back(this);
    }
    return name_;
}

void FileType::withdraw() {
    if (!registered_)
        return;
    registered_ = false;
    auto& types = registeredTypes();
    types.erase(std::remove(types.begin(), types.end(), this), types.end());
}

std::vector<std::string> FileType::extensionList() const {
    std::vector<std::string> list;
    std::string_view rest = extensions_;
    while (!rest.empty()) {
        const auto end = rest.find(';');
        std::string_view one = rest.substr(0, end);
        if (!one.empty() && one.front() == '.')
            one.remove_prefix(1);
        if (!one.empty())
            list.emplace_back(one);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return list;
}

const FileType* FileType::registered(std::string_view name) {
    for (const FileType* type : registeredTypes())
        if (type->name_ == name)
            return type;
    return nullptr;
}

} // namespace planora
