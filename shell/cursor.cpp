#include "shell/cursor.h"

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KWindowD3D.h"
#include "game/sheet_layout.h"
#include "shell/app.h"

KGraphicD3D *surf_mouse = nullptr;
bool isHidden = false;

void displayMouseCursor() {
    const long x = KInput::getMouseX();
    const long y = KInput::getMouseY();
    // Both edges included: the cursor still shows at x 640 and y 480.
    if (x >= 0 && x <= layout::kScreenWidth && y >= 0 && y <= layout::kScreenHeight) {
        if (!isHidden) {
            KInput::hidePointer();
            isHidden = true;
        }
        if (fenetre)
            fenetre->setDefaultWorldView();
        if (surf_mouse) {
            surf_mouse->blitAlphaRect(0, 0, surf_mouse->fimageWidth, surf_mouse->fimageHeight,
                                      static_cast<short>(x - layout::kMouseHotSpot.x),
                                      static_cast<short>(y - layout::kMouseHotSpot.y), false, false);
        }
    } else if (isHidden) {
        KInput::showPointer();
        isHidden = false;
    }
}
