#pragma once

#include "platform/Application.h"
#include "platform/Picture.h"

#include <cstdint>

namespace planora {

// The application object and the model: the three working pictures and every option of the
// program. The windows keep no state; their handlers set these fields and call the operations.
//
// Pixel coordinates run x to the right and y downwards, 0 to 299. The plane's origin lies at
// column ox and row 299 - oy, and its y axis points up:
//
//        column ox
//            |
//   row 0  --+----------- y = 0          plane point (X, Y) = pixel (ox + X, (299 - oy) - Y)
//            |
//   row 299-oy ---+------ the x axis (Y = 0)
//            |
//   row 299 -+----------- oy counts up from here
class App : public Application {
public:
    // The registered application object. Throws NilObjectException before start-up made it.
    static App& instance();

    ~App() override;

    // The fields, all public: the windows read and write them directly.
    Picture qbild;                // source picture, 300 x 300
    Picture zbild;                // target picture, the result of a mapping; what is saved
    bool berechnet = false;       // set by each mapping; nothing reads it
    std::int64_t ox = 0;          // origin column
    std::int64_t oy = 0;          // origin height above the bottom row
    bool berInvers = false;       // true: map backwards through the inverse matrix
    bool overlay = false;         // source and result together in the left canvas
    Picture obild;                // overlay template: the red variant, read by the mapping
    bool winoptvis = false;       // the options window is open
    std::int64_t achsenart = 0;   // 1: thin red cross; any other value: grey axes
    std::int64_t vorlageEule = 0; // 1: the owl pictures; any other value: the little owl

    // The flag achsen: axes are drawn over both canvases and into a saved picture.
    bool achsen() const { return achsen_; }
    void achsen(bool on) { achsen_ = on; }

    // Creates the three pictures, sets every option to its default, writes the identity
    // matrix into the main window's fields and draws the owl template.
    void initproc();
    // Lets the user choose a BMP, JPEG or TIFF file and makes it the source picture, shrunk
    // to fit and centred on white; the target picture becomes white.
    void loadpic();
    // Shows qbild in the left canvas (in overlay mode zbild).
    void showqbild();
    // Shows zbild in the right canvas; does nothing in overlay mode.
    void showzbild();
    // Maps every source pixel forwards through the matrix into zbild.
    void berechnenDIREKT();
    // Fills every target pixel from the source through the inverse matrix.
    void berechnen();
    // Draws the chosen template into the working pictures for the current mode and asks both
    // canvases to repaint. Changes no field.
    void reset();
    // Returns the bitwise AND of both arguments taken as unsigned 64-bit integers.
    double farbadd(double a, double b);
    // Draws the axes into g when the flag achsen is on; leaves g untouched otherwise.
    void achsen(Graphics& g);
    // Lets the user save zbild, with the axes drawn in when they are on.
    void savepic();
    void Constructor() {}

private:
    bool achsen_ = false;
};

} // namespace planora
