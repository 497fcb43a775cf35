#include "core/FileTypes.h"

namespace planora::FileTypes {

// Placeholder until the file types are built.
std::shared_ptr<FileType> Text() {
    return nullptr;
}
std::shared_ptr<FileType> BmpJpgTiff() {
    return nullptr;
}
const std::vector<std::shared_ptr<FileType>>& pAllFileTypes() {
    static std::vector<std::shared_ptr<FileType>> all;
    return all;
}
void Initialize() {}

} // namespace planora::FileTypes
