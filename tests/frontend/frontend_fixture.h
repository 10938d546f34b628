// Shared by the front-end tests: one headless game window for the whole test program, a temporary
// program folder whose data folder links to the generated data, scripted input, and back-buffer
// read-back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/KSound.h"
#include "framework/KWindowD3D.h"
#include "frontend/gemsets.h"
#include "frontend/menu.h"
#include "game/sheet_layout.h"
#include "platform/frame_observer.h"
#include "platform/input.h"
#include "shell/app.h"
#include "shell/prefs.h"
#include "shell/sounds.h"
#include "support/hit_area.h"
#include "support/picture.h"
#include "support/program_folder.h"

namespace frontendtest {

// The game window (also put in fenetre), created headless on first use and kept for the run.
inline KWindowD3D &window() {
    static KWindowD3D *theWindow = [] {
        auto *created = new KWindowD3D;
        if (!created->createGameWindow(640, 480, 16, true, "Quorix"))
            ADD_FAILURE() << "no headless window: " << SDL_GetError();
        return created;
    }();
    fenetre = theWindow;
    return *theWindow;
}
// Clears the back buffer to black with the default view.
inline void clear() {
    window().setWorldView(0, 0, 0, 1, true);
}

// The finished back buffer, and its pixels that differ or are not black inside an area.
using Screen = support::Picture;
using support::differingPixels;
using support::litPixels;
inline Screen grab() {
    return support::backBuffer();
}

// A program folder for one test: data/<name> may link to, or copy, the generated data's entries.
class ProgramFolder : public support::ProgramFolder {
public:
    // Built with append: GCC 12 warns falsely (array-bounds) on a chain of + here.
    static std::string generated(const std::string &name) {
        return std::string(QUORIX_DATA_DIR).append("/").append(name);
    }
    void linkData(const std::string &name) const {
        std::filesystem::create_symlink(generated(name), path("data/" + name));
    }
    void makeFolder(const std::string &name) const { std::filesystem::create_directories(path(name)); }
    void copyData(const std::string &from, const std::string &to) const {
        std::filesystem::create_directories(std::filesystem::path(path(to)).parent_path());
        std::filesystem::copy_file(generated(from), path(to),
                                   std::filesystem::copy_options::overwrite_existing);
    }
};

// The base of the front-end tests: scripted input with nothing held, the window open and not
// quitting, default preferences, and the menu pictures and gem pictures freed afterwards.
class FrontEndTest : public ::testing::Test {
protected:
    ProgramFolder folder;
    void SetUp() override {
        window()._quit = false;
        platform::Input::setScripted(true);
        platform::Input::releaseAll();
        platform::Input::setMouse(0, 0);
        prefs = kDefaultPrefs;
        oldBt = false;
        gCurrentMenu = 0;
        clear();
    }
    void TearDown() override {
        platform::setFrameObserver({});
        platform::Input::releaseAll();
        KSound::_playObserver = nullptr;
        freeMenuGraphics();
        freeBubbleSet();
        freeSounds();
        window()._quit = false;
    }
};

} // namespace frontendtest
