// The command line: each option, values out of range, unknown options, and what the program answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "shell/commandline.h"

namespace {

// The options a command line asks for, in a few words.
std::string described(const sLaunchOptions &options) {
    const auto &[dialog, windowed, skin] = options.launcher;
    return std::string(dialog ? "dialog" : "no dialog") +
           (windowed ? (*windowed ? ", windowed" : ", full screen") : "") +
           (skin ? ", skin " + std::to_string(*skin) : "") +
           (options.dataFolder.empty() ? "" : ", data " + options.dataFolder);
}

} // namespace

TEST(CommandLine, EachOptionBadValuesAndUnknownOptions) {
    const std::string tmp = std::filesystem::temp_directory_path().lexically_normal().string();
    const std::string here = std::filesystem::current_path().string();
    const struct {
        std::vector<std::string> arguments;
        int exitStatus;       // -1: the game is played
        std::string expected; // the options played with, or what is printed (0 on stdout, 2 on stderr)
    } cases[] = {
        {{}, -1, "dialog"},
        {{"--fullscreen", "--windowed"}, -1, "dialog, windowed"},
        {{"--skin", "0"}, -1, "dialog, skin 0"},
        {{"--skin=6", "--no-launcher", "--fullscreen"}, -1, "no dialog, full screen, skin 6"},
        {{"--data", tmp}, -1, "dialog, data " + tmp},
        {{"--data=."}, -1, "dialog, data " + here},
        {{"--help"}, 0, "Usage: quorix [OPTION]..."},
        {{"--version"}, 0, "quorix " QUORIX_VERSION "\n"},
        {{"--skin", "7"}, 2, "quorix: --skin needs a skin number from 0 to 6, not '7'\n"},
        {{"--skin", "3x"}, 2, "not '3x'"},
        {{"--skin"}, 2, "quorix: option '--skin' needs a value\n"},
        {{"--data", "/no/such/folder"}, 2, "--data needs a folder, and '/no/such/folder' is not one"},
        {{"--frobnicate"}, 2, "quorix: unknown option '--frobnicate'\nTry 'quorix --help'"},
        {{"--version=2"}, 2, "quorix: option '--version' takes no value"},
        {{"level2"}, 2, "quorix: unexpected argument 'level2'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const sCommandLine commandLine = parseCommandLine(c.arguments);
        std::ostringstream out, err;
        EXPECT_EQ(answerCommandLine(commandLine, out, err), c.exitStatus);
        // Errors go to stderr alone, help and version to stdout alone.
        EXPECT_EQ((c.exitStatus == 2 ? out : err).str(), "");
        const std::string shown =
            c.exitStatus == -1 ? described(commandLine.options) : (c.exitStatus == 2 ? err : out).str();
        EXPECT_TRUE(c.exitStatus == -1 ? shown == c.expected : shown.find(c.expected) != std::string::npos)
            << shown;
    }
}
