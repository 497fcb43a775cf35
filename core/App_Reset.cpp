#include "core/App.h"
#include "core/Resources.h"
#include "core/WhiteFill.h"
#include "platform/Text.h"
#include "ui/WIopt.h"
#include "ui/main.h"

#include <cmath>

namespace planora {

void App::reset() {
    const bool owl = vorlageEule == 1;
    const std::int64_t W = owl ? eulebild().Width() : Steinkauz().Width();
    const std::int64_t H = owl ? eulebild().Height() : Steinkauz().Height();

    // Templates are drawn at their own size, centred; an odd margin is truncated toward zero.
    const double s = 1.0;
    const double x0 = std::trunc((300.0 - double(W) / s) / 2.0);
    const double y0 = std::trunc((300.0 - double(H) / s) / 2.0);
    auto drawTemplate = [&](const Picture& target, const Picture& templ) {
        target.graphics().DrawPicture(templ, x0, y0, double(W) / s, double(H) / s, 0, 0, double(W),
                                      double(H));
    };

    if (overlay) {
        fillWhite(qbild);
        drawTemplate(qbild, owl ? eulebildB() : SteinkauzB());
        zbild.graphics().DrawPicture(qbild, 0, 0);
        fillWhite(obild);
        drawTemplate(obild, owl ? eulebildR() : SteinkauzR());
        showqbild();
    } else {
        const Picture plain = owl ? eulebild() : Steinkauz();
        fillWhite(qbild);
        drawTemplate(qbild, plain);
        fillWhite(zbild);
        drawTemplate(zbild, plain);
        showqbild();
        showzbild();
    }

    // While the options window is open, its controls follow the model. Reaching it while it
    // is closed would open it, so nothing of it is touched then.
    if (winoptvis) {
        WIopt& options = WIopt::instance();
        options.CBAchsen()->Value(achsen());
        options.EFox()->Text(Str(ox));
        options.EFoy()->Text(Str(oy));
        options.CBoverlay()->Value(overlay);
        options.RBachsen(1)->Enabled(achsen());
        options.RBachsen(2)->Enabled(achsen());
        options.RBachsen(achsenart)->Value(true);
    }

    main& w = main::instance();
    w.CAquell()->Invalidate(true);
    w.CAziel()->Invalidate(true);
}

} // namespace planora
