#include "platform/picturefiles/Decoders.h"

namespace planora::detail {

QImage decodeTiff(const OpenFile& file, std::optional<PixelSize> box) {
    return decodeWithToolkit(file, "tiff", std::nullopt, box);
}

} // namespace planora::detail
