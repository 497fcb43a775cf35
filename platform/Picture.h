#pragma once

#include "platform/Color.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace planora {

class Graphics;

// A reference-counted picture. Copies of a Picture share one picture object: whoever holds it
// (the model, a canvas backdrop) sees every later drawing into it. A default-constructed
// Picture is Nil; every operation on Nil throws NilObjectException.
//
// Pixels are kept as 32-bit RGB whatever depth is asked for, so no colour is quantised.
class Picture {
public:
    Picture() = default;
    // Throws OutOfBoundsException "Width/Height needs to be in the range 1-32767".
    Picture(std::int64_t width, std::int64_t height, std::int64_t depth = 32);

    // Returns the picture read as a JPEG from the application's resource folder, or Nil when
    // the file is missing or no JPEG.
    static Picture OpenFromApp(std::string_view fileName);

    std::int64_t Width() const;
    std::int64_t Height() const;
    std::int64_t Depth() const;

    // The picture's one drawing context; its state (colour, pen, text size) lasts between
    // calls.
    Graphics& graphics() const;

    explicit operator bool() const { return d_ != nullptr; }
    bool isNil() const { return d_ == nullptr; }
    // True when both name the same picture object (or both are Nil).
    bool sameAs(const Picture& other) const { return d_ == other.d_; }

    // Direct row access for bulk pixel work. A row holds Width() device words; a device word
    // converts to and from Color with colorFromWord and wordFromColor. Rows stay valid until
    // the next drawing operation on this picture. y must lie in 0 .. Height() - 1.
    const std::uint32_t* constRow(std::int64_t y) const;
    std::uint32_t* row(std::int64_t y);
    static constexpr Color colorFromWord(std::uint32_t word) { return word ^ 0xFF000000u; }
    static constexpr std::uint32_t wordFromColor(Color c) { return c ^ 0xFF000000u; }

    struct Data;
    explicit Picture(std::shared_ptr<Data> d) : d_(std::move(d)) {}
    Data& data() const;

private:
    std::shared_ptr<Data> d_;
};

// A drawing context: the one of a picture, or the one that a canvas hands its Paint handler.
// Coordinates are pixels, x to the right and y downwards from the top left. Nothing is
// antialiased, so lines and fills land on whole pixels. Coordinates far outside the drawing
// area are clipped before they reach the toolkit, never wrapped or narrowed.
class Graphics {
public:
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    ~Graphics();

    Color ForeColor() const { return foreColor_; }
    void ForeColor(Color c) { foreColor_ = c; }
    double PenWidth() const { return penWidth_; }
    void PenWidth(double w) { penWidth_ = w; }
    double PenHeight() const { return penHeight_; }
    void PenHeight(double h) { penHeight_ = h; }
    // The text size in pixels; 0 selects the system's size. NaN or infinity counts as 0.
    double TextSize() const { return textSize_; }
    void TextSize(double size);

    std::int64_t Width() const;
    std::int64_t Height() const;

    // Makes the area white (the colour of a fresh sheet).
    void ClearRect(double x, double y, double w, double h);
    void FillRect(double x, double y, double w, double h);

    // Draws p whole at its own size with its top-left corner at (x, y). A Nil p draws nothing.
    void DrawPicture(const Picture& p, double x, double y);
    // Draws the source rectangle (sx, sy, sw, sh) of p scaled into the destination rectangle
    // (x, y, w, h). A Nil p, or an empty rectangle, draws nothing.
    void DrawPicture(const Picture& p, double x, double y, double w, double h, double sx, double sy,
                     double sw, double sh);

    // Throws OutOfBoundsException "x coordinates (x) exceeds graphics width (w)" or the same
    // for y and height. Only a picture's context has pixels; a canvas's has none.
    Color Pixel(std::int64_t x, std::int64_t y) const;
    void Pixel(std::int64_t x, std::int64_t y, Color c);

    // A line swept by the PenWidth x PenHeight pen, whose top-left corner follows the line.
    void DrawLine(double x1, double y1, double x2, double y2);
    // Fills the polygon whose corners are given as x, y pairs.
    void FillPolygon(std::initializer_list<std::int64_t> xy);
    // Draws text without wrapping; (x, y) is the left end of its baseline.
    void DrawString(std::string_view text, double x, double y);

    struct Target;
    explicit Graphics(std::unique_ptr<Target> target);

private:
    std::unique_ptr<Target> target_;
    Color foreColor_ = RGB(0, 0, 0);
    double penWidth_ = 1;
    double penHeight_ = 1;
    double textSize_ = 0;
};

} // namespace planora
