#include "frontend_fixture.h"

#include "framework/KSound.h"
#include "frontend/gemsets.h"
#include "frontend/menu.h"
#include "platform/frame_observer.h"
#include "platform/input.h"
#include "shell/app.h"
#include "shell/sounds.h"

namespace frontendtest {

KWindowD3D &window() {
    static KWindowD3D *theWindow = [] {
        auto *created = new KWindowD3D;
        if (!created->createGameWindow(640, 480, 16, true, "Quorix"))
            ADD_FAILURE() << "no headless window: " << SDL_GetError();
        return created;
    }();
    fenetre = theWindow;
    return *theWindow;
}

void FrontEndTest::SetUp() {
    window()._quit = false;
    platform::Input::setScripted(true);
    platform::Input::releaseAll();
    platform::Input::setMouse(0, 0);
    prefs = kDefaultPrefs;
    oldBt = false;
    gCurrentMenu = 0;
    clear();
}

void FrontEndTest::TearDown() {
    platform::setFrameObserver({});
    platform::Input::releaseAll();
    KSound::_playObserver = nullptr;
    freeMenuGraphics();
    freeBubbleSet();
    freeSounds();
    window()._quit = false;
}

} // namespace frontendtest
