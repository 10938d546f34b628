// A throw-away program folder for launcher tests that read and write settings: the names are those
// of its data folder, and each launch starts from the program's built-in defaults.
#pragma once

#include "shell/launcher.h"
#include "support/program_folder.h"

#include <string>
#include <vector>

using Bytes = support::Bytes;

class ProgramFolder : public support::ProgramFolder {
public:
    ProgramFolder() {
        gSkin = 0;
        isWindowed = true;
        isGamePad = false;
        itemCount = 0;
        gOnlineScores = false;
    }
    void write(const std::string &name, const Bytes &bytes) const {
        support::ProgramFolder::write("data/" + name, bytes);
    }
    Bytes read(const std::string &name) const { return support::ProgramFolder::read("data/" + name); }
    // Every name in the data folder, to catch temporary files left behind.
    std::vector<std::string> dataEntries() const { return entries("data"); }
};
