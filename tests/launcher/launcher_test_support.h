// A throw-away program folder with a data folder, for launcher tests that read and write settings.
#pragma once

#include "framework/KMiscTools.h"
#include "shell/launcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

class ProgramFolder {
public:
    ProgramFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-launcher-XXXXXX").string();
        root_ = mkdtemp(pattern.data()) ? pattern : std::string();
        std::filesystem::create_directories(data());
        KMiscTools::setProgramFolder(root_.c_str());
        // Each launch starts from the program's built-in defaults.
        gSkin = 0;
        isWindowed = true;
        isGamePad = false;
        itemCount = 0;
        gOnlineScores = false;
    }
    ~ProgramFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ProgramFolder(const ProgramFolder &) = delete;
    ProgramFolder &operator=(const ProgramFolder &) = delete;

    std::filesystem::path root() const { return root_; }
    std::filesystem::path data() const { return std::filesystem::path(root_) / "data"; }

    void write(const std::string &name, const Bytes &bytes) const {
        std::ofstream out(data() / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    bool exists(const std::string &name) const { return std::filesystem::exists(data() / name); }
    Bytes read(const std::string &name) const {
        std::ifstream in(data() / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Every name in the data folder, to catch temporary files left behind.
    std::vector<std::string> dataEntries() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(data()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string root_;
};
