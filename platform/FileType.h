#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace planora {

// A file type that the file dialogs offer by its name. Setting a property withdraws the
// type's registration; converting it to text registers it (once) and yields its name.
class FileType {
public:
    FileType() = default;
    // A type is registered by its address, so it is neither copied nor moved.
    FileType(const FileType&) = delete;
    FileType& operator=(const FileType&) = delete;
    // A type that goes away withdraws its registration.
    ~FileType() { withdraw(); }

    std::string Name() const { return name_; }
    void Name(std::string_view v) {
        withdraw();
        name_ = v;
    }
    std::string Extensions() const { return extensions_; }
    void Extensions(std::string_view v) {
        withdraw();
        extensions_ = v;
    }
    std::string MacType() const { return macType_; }
    void MacType(std::string_view v) {
        withdraw();
        macType_ = v;
    }
    std::string MacCreator() const { return macCreator_; }
    void MacCreator(std::string_view v) {
        withdraw();
        macCreator_ = v;
    }
    std::string MimeType() const { return mimeType_; }
    void MimeType(std::string_view v) {
        withdraw();
        mimeType_ = v;
    }
    bool Imported() const { return imported_; }
    void Imported(bool v) {
        withdraw();
        imported_ = v;
    }
    std::string ConformsTo() const { return conformsTo_; }
    void ConformsTo(std::string_view v) {
        withdraw();
        conformsTo_ = v;
    }
    std::string UTI() const { return uti_; }

    // Registers the type when it is not registered and returns its name.
    std::string toString();
    bool isRegistered() const { return registered_; }

    // The extensions as a list, without their dots.
    std::vector<std::string> extensionList() const;

    // The registered type of that name, or nullptr.
    static const FileType* registered(std::string_view name);

private:
    void withdraw();

    std::string name_, extensions_, macType_, macCreator_, mimeType_, conformsTo_, uti_;
    bool imported_ = false;
    bool registered_ = false;
};

} // namespace planora
