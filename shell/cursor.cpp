#include "shell/cursor.h"

#include "framework/KGraphicD3D.h"
#include "framework/KInput.h"
#include "framework/KMiscTools.h"
#include "framework/KWindowD3D.h"
#include "game/sheet_layout.h"
#include "platform/image_decoder.h"
#include "platform/pointer.h"
#include "shell/app.h"

#include <vector>

KGraphicD3D *surf_mouse = nullptr;
bool isHidden = false;

void loadMouseCursor() {
    surf_mouse = new KGraphicD3D;
    if (!surf_mouse->loadPicture(KMiscTools::makeFilePath("data/mouse.tga"), true, true))
        return;
    // The same texels the 32-bit picture holds: alpha as stored, opaque where the file has none.
    platform::DecodedImage picture;
    if (!platform::decodeImageFile(KMiscTools::makeFilePath("data/mouse.tga"), "TGA", picture))
        return;
    std::vector<uint32_t> texels = picture.argb;
    if (!picture.hasAlpha)
        for (uint32_t &texel : texels)
            texel |= 0xFF000000u;
    platform::Pointer::setPicture(texels.data(), picture.width, picture.height, layout::kMouseHotSpot.x,
                                  layout::kMouseHotSpot.y);
}

void freeMouseCursor() {
    platform::Pointer::clearPicture();
    delete surf_mouse;
    surf_mouse = nullptr;
}

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
            const short left = static_cast<short>(x - layout::kMouseHotSpot.x);
            const short top = static_cast<short>(y - layout::kMouseHotSpot.y);
            // Shown by the system, the cursor stays out of the frame, which then only changes when
            // something else does; pictures read back from the window still get it here.
            if (platform::Pointer::shownBySystem())
                platform::Pointer::placeInFrame(left, top);
            else
                surf_mouse->blitAlphaRect(0, 0, surf_mouse->fimageWidth, surf_mouse->fimageHeight, left, top,
                                          false, false);
        }
    } else if (isHidden) {
        KInput::showPointer();
        isHidden = false;
    }
}
