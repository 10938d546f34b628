// What the end-to-end tests share: the program run from its launcher under a script, in a program
// folder of its own, and the rows of the high-score tables it writes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "framework/KMiscTools.h"
#include "harness.h"

namespace e2e {

// Runs the program in a child process under the script that `script` gives the director (which may
// also set the child's test hooks), reports the director's failures and then runs `after` in the child.
inline void playScript(const std::string &programFolder, const std::function<void(Director &)> &script,
                       int maxFrames, const std::function<void(const Director &)> &after = {}) {
    runInChild([&] {
        KMiscTools::setProgramFolder(programFolder.c_str());
        Director director;
        script(director);
        director.run(maxFrames);
        for (const std::string &failure : director.failures())
            ADD_FAILURE() << failure;
        if (after)
            after(director);
    });
}

// One row of a high-score table file: rows of 36 bytes, a name of up to 32 bytes, then the value.
struct TableRow {
    std::string name;
    uint32_t value = 0;
};
inline TableRow tableRow(const std::vector<unsigned char> &table, int row) {
    if (table.size() < 36u * (row + 1))
        return {"(the file is too short)", 0};
    const char *at = reinterpret_cast<const char *>(table.data()) + 36 * row;
    TableRow result{std::string(at, strnlen(at, 32))};
    std::memcpy(&result.value, at + 32, 4);
    return result;
}

// The Play button of the set-up page.
inline Director &clickPlay(Director &director) {
    return director.click(489, 364).waitUntil("the game", gameRunning, 200);
}

} // namespace e2e
