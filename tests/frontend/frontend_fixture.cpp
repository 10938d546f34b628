#include "frontend_fixture.h"

#include <filesystem>

#include "framework/KSound.h"
#include "frontend/gemsets.h"
#include "frontend/menu.h"
#include "platform/display.h"
#include "platform/frame_observer.h"
#include "platform/input.h"
#include "shell/app.h"
#include "shell/sounds.h"

namespace fs = std::filesystem;

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

void clear() {
    window().setWorldView(0, 0, 0, 1, true);
}

std::string ProgramFolder::generated(const std::string &name) {
    return std::string(QUORIX_DATA_DIR) + "/" + name;
}

void ProgramFolder::linkData(const std::string &name) const {
    fs::create_symlink(generated(name), path("data/" + name));
}

void ProgramFolder::makeFolder(const std::string &name) const {
    fs::create_directories(path(name));
}

void ProgramFolder::copyData(const std::string &from, const std::string &to) const {
    fs::copy_file(generated(from), path(to), fs::copy_options::overwrite_existing);
}

void FrontEndTest::SetUp() {
    KWindowD3D &w = window();
    w._quit = false;
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
