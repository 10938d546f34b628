// Shared by the front-end tests: one headless game window for the whole test program, a temporary
// program folder whose data folder links to the generated data, scripted input, and back-buffer
// read-back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/KWindowD3D.h"
#include "shell/prefs.h"
#include "support/picture.h"
#include "support/program_folder.h"

namespace frontendtest {

// The game window (also put in fenetre), created headless on first use and kept for the run.
KWindowD3D &window();

// The finished back buffer.
using Screen = support::Picture;
inline Screen grab() {
    return support::backBuffer();
}
// Clears the back buffer to black with the default view.
void clear();
// Pixels that differ between two pictures inside [x1, x2) x [y1, y2).
inline int differences(const Screen &a, const Screen &b, int x1, int y1, int x2, int y2) {
    return support::differingPixels(a, b, {x1, y1, x2, y2});
}
// Pixels that are not black inside [x1, x2) x [y1, y2).
inline int litPixels(const Screen &screen, int x1, int y1, int x2, int y2) {
    return support::litPixels(screen, {x1, y1, x2, y2});
}

// A program folder for one test: data/ holds links to the generated data entries that are asked for.
class ProgramFolder : public support::ProgramFolder {
public:
    // Links data/<name> to the generated data's entry of that name.
    void linkData(const std::string &name) const;
    void makeFolder(const std::string &name) const;
    // Copies a generated file to a name of the test folder.
    void copyData(const std::string &from, const std::string &to) const;
    static std::string generated(const std::string &name);
};

// The base of the front-end tests: scripted input with nothing held, the window open and not
// quitting, default preferences, and the menu pictures and gem pictures freed afterwards.
class FrontEndTest : public ::testing::Test {
protected:
    ProgramFolder folder;
    void SetUp() override;
    void TearDown() override;
};

} // namespace frontendtest
