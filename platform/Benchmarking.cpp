#include "platform/Benchmarking.h"

#include "platform/qt/QtSupport.h"

#include <QImageReader>
#include <QImageWriter>

namespace planora::benchmarking {

Picture decodeWhole(const std::string& path) {
    QImageReader reader(toQString(path));
    return pictureFromImage(reader.read());
}

bool writeJpeg(const Picture& picture, const std::string& path, int quality) {
    QImageWriter writer(toQString(path), "jpeg");
    writer.setQuality(quality);
    return writer.write(imageOf(picture));
}

bool writeBmp(const Picture& picture, const std::string& path) {
    return QImageWriter(toQString(path), "bmp").write(imageOf(picture));
}

} // namespace planora::benchmarking
