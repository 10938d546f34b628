// assetgen: draws and synthesises the game's whole data folder.
//
//   assetgen DATA_DIR          writes every picture, sound, tune and the help page into DATA_DIR
//   assetgen --preview DIR     writes PNG contact sheets of the art for review
//   assetgen --text-boxes FILE lists every box of text drawn on the pictures (picture number, x1 y1
//                              x2 y2 in its pixels, the text), for the art tests
//
// The output is the same, byte for byte, on every run. Only the files listed here are written; the
// game's own files in the data folder (scores, settings) are never touched.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tools/assetgen/contact_sheets.h"
#include "tools/assetgen/file_writers.h"
#include "tools/assetgen/font_sheets.h"
#include "tools/assetgen/gems.h"
#include "tools/assetgen/help_page.h"
#include "tools/assetgen/menu_sheet.h"
#include "tools/assetgen/music.h"
#include "tools/assetgen/ogg_writer.h"
#include "tools/assetgen/paint.h"
#include "tools/assetgen/pictures.h"
#include "tools/assetgen/play_sheet.h"
#include "tools/assetgen/sound_effects.h"

namespace fs = std::filesystem;
using namespace assetgen;

namespace {

constexpr float kEffectQuality = 0.5f;
constexpr float kMusicQuality = 0.4f;

void writeSkins(const fs::path &data) {
    for (int skin = 0; skin < layout::kSkinCount; ++skin) {
        const std::string n = std::to_string(skin);
        const fs::path folder = data / "skins" / n;
        const MenuArt menu = drawMenuArt(skin);
        writeTga(folder / ("menu" + n + ".tga"), menu.sheet);
        writeTga(folder / ("credits" + n + ".tga"), menu.credits);
        writePng(folder / "preview.png", drawLauncherPreview(menu.sheet));
        const PlayArt play = drawPlayArt(skin);
        writeTga(folder / ("ingame" + n + ".tga"), play.sheet);
        writeTga(folder / ("gameover" + n + ".tga"), play.gameOver);
        writeTga(folder / ("entername" + n + ".tga"), play.nameEntry);
        writeBmp(folder / ("enternamer" + n + ".bmp"), play.nameEntryRelax);
        writeTga(folder / ("select" + n + ".tga"), play.selectMark);
    }
}

void writeGemSets(const fs::path &data) {
    for (int set = 0; set < gemSetCount(); ++set) {
        const fs::path folder = data / "gems" / ("set" + std::to_string(set));
        writeText(folder / "name.txt", gemSetName(set));
        for (int colour = 0; colour < kGemColours; ++colour) {
            writeTga(folder / ("gem0" + std::to_string(colour + 1) + ".tga"), gemPicture(set, colour));
        }
    }
}

void writeSinglePictures(const fs::path &data) {
    for (const NamedPicture &overlay : drawBonusOverlays()) {
        writeTga(data / overlay.fileName, overlay.picture);
    }
    writeTga(data / "mouse.tga", drawMouseCursor());
    writeBmp(data / "loading.bmp", drawLoadingPicture());
    writeTga(data / "internet.tga", drawOnlinePicture());
    for (int size : kIconSizes) {
        writePng(data / "icons" / ("quorix-" + std::to_string(size) + ".png"), drawIcon(size));
    }
    int count = 0;
    const FontSheet *sheets = fontSheets(count);
    for (int i = 0; i < count; ++i) {
        writeTga(data / sheets[i].fileName, drawFontSheet(sheets[i]));
    }
}

void writeSounds(const fs::path &data) {
    for (const SoundEffect &effect : synthesiseEffects()) {
        const fs::path path = data / "audio" / effect.fileName;
        if (path.extension() == ".wav") {
            writeWav(path, effect.samples, kSampleRate);
        } else {
            writeOgg(path, effect.samples, 1, kEffectQuality);
        }
    }
}

void writeTunes(const fs::path &data, int first, int step) {
    for (int i = first; i < tuneCount(); i += step) {
        const Tune tune = composeTune(i);
        writeOgg(data / "music" / tune.fileName, tune.stereo, 2, kMusicQuality);
    }
}

int generate(const fs::path &data) {
    // Two threads: this machine has two cores and the music is the slow part.
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            writeTunes(data, 0, 2);
            writeSounds(data);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        writeTunes(data, 1, 2);
        writeSkins(data);
        writeGemSets(data);
        writeSinglePictures(data);
        writeText(data / "help" / "index.html", helpPage());
    } catch (const std::exception &e) {
        worker.join();
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
    worker.join();
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "assetgen: %s\n", e.what());
            return 1;
        }
    }
    return 0;
}

int writeTextBoxes(const fs::path &file) {
    std::vector<TextBox> boxes;
    setTextBoxLog(&boxes);
    for (int skin = 0; skin < layout::kSkinCount; ++skin) {
        drawMenuArt(skin);
        drawPlayArt(skin);
    }
    drawLoadingPicture();
    drawOnlinePicture();
    setTextBoxLog(nullptr);
    FILE *out = std::fopen(file.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", file.c_str());
        return 1;
    }
    for (const TextBox &box : boxes)
        std::fprintf(out, "%d %.2f %.2f %.2f %.2f %s\n", box.picture, box.x1, box.y1, box.x2, box.y2,
                     box.text.c_str());
    return std::fclose(out) == 0 ? 0 : 1;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: assetgen DATA_DIR\n       assetgen --preview DIR\n       assetgen --text-boxes FILE\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--preview") {
        try {
            writeContactSheets(argv[2]);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "assetgen: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--text-boxes") {
        return writeTextBoxes(argv[2]);
    }
    if (argc != 2 || argv[1][0] == '-') {
        return usage();
    }
    return generate(argv[1]);
}
