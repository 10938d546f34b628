#include "shell/commandline.h"

#include "game/replay_file.h"
#include "game/replay_playback.h"
#include "platform/file_reader.h"

#include <getopt.h>
#include <sys/stat.h>

#include <charconv>
#include <filesystem>

#ifndef QUORIX_VERSION
#define QUORIX_VERSION "unknown"
#endif

namespace {

enum eOption : int {
    kOptionHelp = 1000,
    kOptionVersion,
    kOptionNoLauncher,
    kOptionWindowed,
    kOptionFullScreen,
    kOptionSkin,
    kOptionData,
    kOptionReplay,
    kOptionVerify,
};

const option kOptions[] = {
    {"help", no_argument, nullptr, kOptionHelp},
    {"version", no_argument, nullptr, kOptionVersion},
    {"no-launcher", no_argument, nullptr, kOptionNoLauncher},
    {"windowed", no_argument, nullptr, kOptionWindowed},
    {"fullscreen", no_argument, nullptr, kOptionFullScreen},
    {"skin", required_argument, nullptr, kOptionSkin},
    {"data", required_argument, nullptr, kOptionData},
    {"replay", required_argument, nullptr, kOptionReplay},
    {"verify", no_argument, nullptr, kOptionVerify},
    {nullptr, 0, nullptr, 0},
};

sCommandLine refuse(std::string complaint) {
    sCommandLine refused;
    refused.action = eCommandLineAction::refuse;
    refused.complaint = std::move(complaint);
    return refused;
}

// An option as the player wrote it, without any "=value".
std::string optionAsWritten(const char *argument) {
    const std::string text = argument ? argument : "";
    return text.substr(0, text.find('='));
}

} // namespace

const char *commandLineHelp() {
    return "Usage: quorix [OPTION]...\n"
           "Quorix, a match-three puzzle game. Without options the launcher opens first.\n"
           "\n"
           "  --no-launcher   play at once with the choices stored by the launcher\n"
           "  --windowed      play in a window\n"
           "  --fullscreen    play on the whole screen\n"
           "  --skin N        play with skin N: 0 Classic, 1 For Her, 2 For Him, 3 Simply Pink,\n"
           "                  4 Cool Blue, 5 Fresh Green, 6 Flower Power\n"
           "  --data DIR      read the game's pictures, sounds and music from DIR\n"
           "  --replay FILE   watch a recorded game (a .qrp file) in the play screen; Escape leaves\n"
           "  --verify        with --replay: play it back without a window and print its final score\n"
           "                  and frame count (status 0), or the frame where it stops making sense (1)\n"
           "  --help          show this help and quit\n"
           "  --version       show the version and quit\n"
           "\n"
           "With the launcher, --windowed, --fullscreen and --skin preset its choices.\n"
           "High scores and settings are kept beside the program when it runs from a folder it may\n"
           "write to, else in $XDG_DATA_HOME/quorix and $XDG_CONFIG_HOME/quorix; see quorix(6).\n";
}

sCommandLine parseCommandLine(const std::vector<std::string> &arguments) {
    // getopt_long wants a writable argv with the program's name first.
    std::vector<std::string> words{"quorix"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    sCommandLine commandLine;
    bool showHelp = false;
    bool showVersion = false;
    bool verify = false;
    opterr = 0; // the complaints below are ours
    optind = 0; // start afresh, whatever an earlier call left
    for (;;) {
        const int option = getopt_long(argc, argv.data(), ":", kOptions, nullptr);
        if (option == -1)
            break;
        switch (option) {
        case kOptionHelp:
            showHelp = true;
            break;
        case kOptionVersion:
            showVersion = true;
            break;
        case kOptionNoLauncher:
            commandLine.options.launcher.showDialog = false;
            break;
        case kOptionWindowed:
            commandLine.options.launcher.windowed = true;
            break;
        case kOptionFullScreen:
            commandLine.options.launcher.windowed = false;
            break;
        case kOptionSkin: {
            const std::string value = optarg;
            long skin = -1;
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), skin);
            if (error != std::errc() || end != value.data() + value.size() || skin < 0 || skin >= kSkinCount)
                return refuse("--skin needs a skin number from 0 to 6, not '" + value + "'");
            commandLine.options.launcher.skin = skin;
            break;
        }
        case kOptionData: {
            const std::string value = optarg;
            struct stat info {};
            if (value.empty() || stat(value.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
                return refuse("--data needs a folder, and '" + value + "' is not one");
            std::error_code failed;
            std::string folder = std::filesystem::absolute(value, failed).lexically_normal().string();
            if (failed)
                return refuse("--data: cannot tell where '" + value + "' is");
            while (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            commandLine.options.dataFolder = folder;
            break;
        }
        case kOptionReplay:
            if (!*optarg)
                return refuse("--replay needs a file");
            commandLine.options.replayFile = optarg;
            break;
        case kOptionVerify:
            verify = true;
            break;
        case ':':
            return refuse("option '" + optionAsWritten(argv[optind - 1]) + "' needs a value");
        default:
            if (optopt >= kOptionHelp)
                return refuse("option '" + optionAsWritten(argv[optind - 1]) + "' takes no value");
            // A short option is known by its letter alone: the word may hold several.
            if (optopt != 0)
                return refuse(std::string("unknown option '-") + static_cast<char>(optopt) + "'");
            return refuse("unknown option '" + optionAsWritten(argv[optind - 1]) + "'");
        }
    }
    if (optind < argc)
        return refuse("unexpected argument '" + std::string(argv[optind]) + "'");
    if (verify && commandLine.options.replayFile.empty())
        return refuse("--verify needs --replay FILE");
    if (showHelp)
        commandLine.action = eCommandLineAction::showHelp;
    else if (showVersion)
        commandLine.action = eCommandLineAction::showVersion;
    else if (verify)
        commandLine.action = eCommandLineAction::verifyReplay;
    return commandLine;
}

int answerCommandLine(const sCommandLine &commandLine, std::ostream &out, std::ostream &err) {
    switch (commandLine.action) {
    case eCommandLineAction::showHelp:
        out << commandLineHelp();
        return 0;
    case eCommandLineAction::showVersion:
        out << "quorix " << QUORIX_VERSION << "\n";
        return 0;
    case eCommandLineAction::verifyReplay: {
        std::vector<uint8_t> bytes;
        const std::string &file = commandLine.options.replayFile;
        if (!platform::readRegularFile(file.c_str(), replay::kMaxFileBytes + 1, bytes)) {
            err << "quorix: cannot read the replay '" << file << "'\n";
            return 2;
        }
        std::string answer;
        const bool verified = verifyReplay(bytes, answer);
        out << answer << "\n";
        return verified ? 0 : 1;
    }
    case eCommandLineAction::refuse:
        err << "quorix: " << commandLine.complaint << "\nTry 'quorix --help' for more information.\n";
        return 2;
    case eCommandLineAction::play:
        break;
    }
    return -1;
}
