#include "platform/picturefiles/Decoders.h"

namespace planora::detail {

QImage decodeBmp(const OpenFile& file, std::optional<PixelSize> box) {
    if (!checkBmp(file))
        return {};
    return decodeWithToolkit(file, "bmp", std::nullopt, box);
}

} // namespace planora::detail
