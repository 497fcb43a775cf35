#include "core/App.h"
#include "core/WhiteFill.h"
#include "platform/Dialogs.h"
#include "platform/FolderItem.h"

#include <algorithm>
#include <cmath>

namespace planora {

void App::loadpic() {
    const std::optional<FolderItem> f = GetOpenFolderItem("bmp/jpg/tiff");
    if (!f)
        return;
    berechnet = false;
    // The platform may hand over a very large picture at a reduced scale; it then chooses a
    // size that this fit places on exactly the pixels the full size would cover.
    const Picture pic = f->OpenAsPicture(300, 300);
    if (pic.isNil()) {
        MsgBox("Nicht genu\xCC\x88gend Speicher oder unbekanntes Format! ");
        return;
    }
    const double W = double(pic.Width());
    const double H = double(pic.Height());
    const double s = std::max(1.0, std::max(W / 300.0, H / 300.0));
    const double dw = W / s;
    const double dh = H / s;
    const double x0 = std::trunc((300 - dw) / 2);
    const double y0 = std::trunc((300 - dh) / 2);

    qbild.graphics().ClearRect(0, 0, 300, 300);
    fillWhite(qbild);
    qbild.graphics().DrawPicture(pic, x0, y0, dw, dh, 0, 0, W, H);

    fillWhite(zbild);

    showzbild();
    showqbild();
}

void App::savepic() {
    const Picture p(300, 300, 16);
    p.graphics().DrawPicture(zbild, 0, 0);
    achsen(p.graphics());
    const std::optional<FolderItem> f = GetSaveFolderItem("", "bild");
    if (!f)
        return;
    f->SaveAsPicture(p, 0);
}

} // namespace planora
