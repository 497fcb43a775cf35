#include "platform/picturefiles/Decoders.h"

namespace planora::detail {

QImage decodeJpeg(const OpenFile& file, std::optional<PixelSize> box) {
    const std::optional<JpegFrame> frame = checkJpeg(file);
    if (!frame)
        return {};
    return decodeWithToolkit(file, "jpeg", frame, box);
}

} // namespace planora::detail
