// quorix-verify: plays a Quorix replay back through the game's rules and says how it ends. The score
// server runs it for every game sent with its replay; anyone can run it on a downloaded replay.
//
//   quorix-verify FILE   (or - for standard input)
//
// Prints "mode=… difficulty=… seed=… frames=… score=… result=… over=yes|no" and exits 0, or prints
// "frame N: reason" and exits 1; 2 for a wrong command line or a file that cannot be read.
#include "game/replay_file.h"
#include "game/replay_playback.h"
#include "platform/file_reader.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Reads standard input up to one byte more than a replay may hold, so that a larger one is refused.
bool readStandardInput(std::vector<uint8_t> &bytes) {
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = read(0, chunk, sizeof(chunk));
        if (got == 0)
            return true;
        if (got < 0)
            return false;
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > replay::kMaxFileBytes)
            return true;
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(argc == 2 ? stdout : stderr, "usage: quorix-verify FILE\n"
                                                  "Plays a Quorix replay back and prints how the game ends;\n"
                                                  "FILE - reads the replay from standard input.\n");
        return argc == 2 ? 0 : 2;
    }
    std::vector<uint8_t> bytes;
    const bool read = std::strcmp(argv[1], "-") == 0
                          ? readStandardInput(bytes)
                          : platform::readRegularFile(argv[1], replay::kMaxFileBytes + 1, bytes);
    if (!read) {
        std::fprintf(stderr, "quorix-verify: cannot read %s\n", argv[1]);
        return 2;
    }
    std::string answer;
    const bool verified = verifyReplay(bytes, answer);
    std::printf("%s\n", answer.c_str());
    return verified ? 0 : 1;
}
