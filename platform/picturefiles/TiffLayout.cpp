#include "platform/picturefiles/TiffLayout.h"

#include <algorithm>

namespace planora::detail {

std::optional<TiffLayout> tiffLayout(TIFF* tiff) {
    TiffLayout l;
    std::uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) || !sidesAcceptable(width, height))
        return std::nullopt;
    l.width = width;
    l.height = height;
    std::uint16_t orientation = ORIENTATION_TOPLEFT, planar = PLANARCONFIG_CONTIG, spp = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &spp);
    // An orientation outside the eight is read as the usual one, as other viewers do.
    l.orientation = orientation >= 1 && orientation <= 8 ? orientation : ORIENTATION_TOPLEFT;
    l.planes = planar == PLANARCONFIG_SEPARATE ? std::max<std::int64_t>(1, spp) : 1;
    std::uint16_t hor = 1, ver = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_YCBCRSUBSAMPLING, &hor, &ver);
    l.verticalSubsampling = std::clamp<std::int64_t>(ver, 1, 4);
    l.horizontalSubsampling = hor;
    std::uint16_t extras = 0;
    const std::uint16_t* extraKinds = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extras, &extraKinds);
    l.extraSamples = extras;
    l.firstExtraSample = extras > 0 && extraKinds != nullptr ? extraKinds[0] : 0;
    l.samplesPerPixel = spp;
    l.photometric = PHOTOMETRIC_MINISBLACK;
    l.bitsPerSample = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &l.photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &l.compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &l.bitsPerSample);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    l.rowBytes = std::int64_t(TIFFScanlineSize64(tiff));
    l.tiled = TIFFIsTiled(tiff) != 0;
    if (l.tiled) {
        std::uint32_t tw = 0, th = 0;
        if (!TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tw) ||
            !TIFFGetField(tiff, TIFFTAG_TILELENGTH, &th) || tw == 0 || th == 0)
            return std::nullopt;
        l.blockWidth = tw;
        l.blockHeight = th;
        l.blockBytes = std::int64_t(TIFFTileSize64(tiff));
        // libtiff's 16-bit grey steps over the rest of a partial tile's row by too few
        // bytes, so the picture is decoded as wide as its tiles go.
        if (l.bitsPerSample == 16 &&
            (l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE))
            l.stride = (l.width + l.blockWidth - 1) / l.blockWidth * l.blockWidth;
    } else {
        std::uint32_t rows = 0;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rows);
        l.blockWidth = l.width;
        l.blockHeight = std::clamp<std::int64_t>(rows, 1, l.height);
        l.blockBytes = std::int64_t(TIFFStripSize64(tiff));
    }
    l.blocks = l.tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    if (l.stride == 0)
        l.stride = l.width;
    if (l.rowBytes <= 0 || l.blockBytes <= 0 || l.stride > kMaxSide)
        return std::nullopt;
    return l;
}

void wholeTiles(TIFF* tiff, const TiffLayout& layout) {
    if (layout.stride != layout.width)
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(layout.stride));
}

} // namespace planora::detail
