#include "platform/Benchmarking.h"

#include "platform/qt/QtSupport.h"

#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <tiffio.h>
#include <vector>

namespace planora::benchmarking {

Picture decodeWhole(const std::string& path) {
    QImageReader reader(toQString(path));
    return pictureFromImage(reader.read());
}

Picture decodeScaled(const std::string& path, std::int64_t width, std::int64_t height) {
    QImageReader reader(toQString(path));
    reader.setScaledSize(QSize(int(width), int(height)));
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

namespace {

bool writeRgbTiff(const Picture& picture, const std::string& path, std::uint16_t compression) {
    const QImage image = imageOf(picture).convertToFormat(QImage::Format_RGB888);
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr)
        return false;
    const auto rowBytes = std::uint32_t(3 * image.width());
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(image.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(image.height()));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, std::max<std::uint32_t>(1, 65536 / rowBytes));
    bool ok = true;
    for (int y = 0; ok && y < image.height(); ++y) {
        std::vector<unsigned char> row(image.constScanLine(y), image.constScanLine(y) + rowBytes);
        ok = TIFFWriteScanline(tiff, row.data(), std::uint32_t(y), 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

} // namespace

bool writeTiff(const Picture& picture, const std::string& path) {
    return writeRgbTiff(picture, path, COMPRESSION_NONE);
}

bool writeTiffLzw(const Picture& picture, const std::string& path) {
    return writeRgbTiff(picture, path, COMPRESSION_LZW);
}

} // namespace planora::benchmarking
