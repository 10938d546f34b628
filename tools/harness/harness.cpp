#include "harness.h"

#include "legal_moves.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "framework/KMiscTools.h"
#include "framework/KWindowD3D.h"
#include "frontend/menu.h"
#include "game/board.h"
#include "game/hints.h"
#include "game/playscreen.h"
#include "game/rules.h"
#include "platform/input.h"
#include "shell/app.h"
#include "shell/program.h"

namespace fs = std::filesystem;

namespace e2e {

ProgramFolder::ProgramFolder() {
    char pattern[] = "/tmp/quorix-e2e-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ + "/data");
    // Everything generated is shared read-only through links; written files stay in this folder.
    for (const auto &entry : fs::directory_iterator(QUORIX_DATA_DIR)) {
        const std::string name = entry.path().filename().string();
        if (name == "s60" || name == "s5mn" || name == "smil" || name == "srelx" ||
            name.find(".stt") != std::string::npos || name == "scoreserver.txt")
            continue;
        fs::create_symlink(entry.path(), root_ + "/data/" + name);
    }
}

ProgramFolder::~ProgramFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

bool ProgramFolder::exists(const std::string &name) const {
    return fs::exists(path(name));
}

std::vector<unsigned char> ProgramFolder::read(const std::string &name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ProgramFolder::write(const std::string &name, const std::vector<unsigned char> &bytes) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

void ProgramFolder::unlinkData(const std::string &folder) const {
    const std::string target = path("data/" + folder);
    fs::remove(target);
    fs::create_directories(target);
}

void runInChild(const std::function<void()> &body, int timeLimitSeconds) {
    fflush(stdout);
    fflush(stderr);
    const pid_t child = fork();
    ASSERT_GE(child, 0) << "fork failed";
    if (child == 0) {
        body();
        fflush(stdout);
        fflush(stderr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            FAIL() << "the program ran longer than " << timeLimitSeconds << " s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the program died of signal "
                                   << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the program's run failed (see above)";
}

Director &Director::wait(int frames) {
    steps_.push_back({"wait", [frames](const platform::Frame &, int n) { return n >= frames; }});
    return *this;
}

Director &Director::waitUntil(const std::string &what, Condition condition, int maxFrames) {
    steps_.push_back({what, [this, what, condition, maxFrames](const platform::Frame &, int n) {
                          if (condition())
                              return true;
                          if (n >= maxFrames)
                              fail("timed out waiting for " + what);
                          return false;
                      }});
    return *this;
}

Director &Director::click(int x, int y, int polls, bool rightButton) {
    const auto button = rightButton ? platform::MouseButton::Right : platform::MouseButton::Left;
    steps_.push_back({"click", [x, y, button, polls](const platform::Frame &frame, int n) {
                          if (n == 0) {
                              frame.setMouse(x, y);
                              frame.pressButton(button, polls);
                          }
                          if (n == 2)
                              frame.releaseButton(button);
                          return n >= 3;
                      }});
    return *this;
}

Director &Director::point(int x, int y) {
    return act([x, y](const platform::Frame &frame) { frame.setMouse(x, y); });
}

Director &Director::key(SDL_Keycode key, int polls) {
    steps_.push_back({"key", [key, polls](const platform::Frame &frame, int n) {
                          if (n == 0)
                              frame.pressKey(key, polls);
                          if (n == 2)
                              frame.releaseKey(key);
                          return n >= 2;
                      }});
    return *this;
}

Director &Director::type(const std::string &text) {
    for (char c : text)
        key(c == ' ' ? SDLK_SPACE : static_cast<SDL_Keycode>(c));
    return *this;
}

Director &Director::act(Action action) {
    steps_.push_back({"act", [action](const platform::Frame &frame, int) {
                          action(frame);
                          return true;
                      }});
    return *this;
}

Director &Director::playUntil(const std::string &what, Condition condition, int maxFrames) {
    // A small player: on a still board, click the two cells of a legal move, one press per frame pair.
    struct Player {
        int phase = 0;
        LegalMove move{};
    };
    auto player = std::make_shared<Player>();
    steps_.push_back({what, [this, what, condition, maxFrames, player](const platform::Frame &frame, int n) {
                          if (condition()) {
                              frame.releaseButton(platform::MouseButton::Left);
                              return true;
                          }
                          if (n >= maxFrames) {
                              fail("timed out playing until " + what);
                              return false;
                          }
                          const bool still =
                              !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken();
                          switch (player->phase) {
                          case 0:
                              if (!still)
                                  break;
                              if (const std::vector<LegalMove> moves = legalMoves(); !moves.empty()) {
                                  player->move = moves.front();
                                  frame.setMouse(cellX(player->move.x1), cellY(player->move.y1));
                                  frame.pressButton(platform::MouseButton::Left);
                                  player->phase = 1;
                              }
                              break;
                          case 1:
                              frame.releaseButton(platform::MouseButton::Left);
                              player->phase = 2;
                              break;
                          case 2:
                              frame.setMouse(cellX(player->move.x2), cellY(player->move.y2));
                              frame.pressButton(platform::MouseButton::Left);
                              player->phase = 3;
                              break;
                          default:
                              frame.releaseButton(platform::MouseButton::Left);
                              frame.setMouse(600, 20);
                              player->phase = 0;
                              break;
                          }
                          return false;
                      }});
    return *this;
}

Director &Director::closeWindow() {
    return act([](const platform::Frame &) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    });
}

void Director::fail(const std::string &message) {
    failures_.push_back(message + " (frame " + std::to_string(frames_) + ")");
    current_ = steps_.size();
    if (fenetre)
        fenetre->terminate();
}

void Director::onFrame(const platform::Frame &frame) {
    const auto now = std::chrono::steady_clock::now();
    if (frames_ > 0)
        longestGap_ = std::max(longestGap_, std::chrono::duration<double>(now - lastFrame_).count());
    lastFrame_ = now;
    frames_ = frame.number();
    if (watcher_)
        watcher_(frame);
    if (maxFrames_ > 0 && frames_ > uint64_t(maxFrames_)) {
        fail("the script ran out of frames");
        return;
    }
    if (current_ >= steps_.size())
        return;
    if (steps_[current_].run(frame, framesInStep_)) {
        current_++;
        framesInStep_ = 0;
    } else {
        framesInStep_++;
    }
}

void Director::run(int maxFrames) {
    maxFrames_ = maxFrames;
    // Every game of a run is dealt from a seed of the script's: the n-th game from firstSeed + n.
    static unsigned int nextSeed;
    nextSeed = firstSeed_;
    gGameSeedSource = [] { return nextSeed++; };
    platform::setFrameObserver([this](const platform::Frame &frame) { onFrame(frame); });
    platform::Input::setMouse(600, 20);
    runQuorix();
    platform::setFrameObserver({});
    // The step under way may be the input that ended the program; anything after it never ran.
    if (current_ + 1 < steps_.size() && failures_.empty())
        failures_.push_back("the program ended before the script did, at step " + std::to_string(current_) +
                            " (" + steps_[current_].what + ")");
}

int centreX(const layout::Box &box) {
    return (box.x1 + box.x2) / 2;
}
int centreY(const layout::Box &box) {
    return (box.y1 + box.y2) / 2;
}

bool menuShown() {
    return surf_menu != nullptr && surf_fond == nullptr;
}
bool menuReady() {
    return menuShown() && !gMenuSpinningIn;
}
bool gamePaused() {
    return gGameUnderWay != nullptr && gGameUnderWay->showsPause();
}
bool nameEntryClosed() {
    return ghighscoreProcessed;
}
bool gameRunning() {
    return surf_fond != nullptr && text_numbers != nullptr && !gameOver;
}
bool boardStill() {
    for (const sToken &cell : tokenTable)
        if (cell.fadeSpeed != 0.0f)
            return false;
    return !isThereAnIncomingToken() && !isThereAMovingToken() && !isThereAFadingToken();
}

int cellX(long x) {
    return int(kBoardLeft + kCellSize * x + kCellSize / 2);
}
int cellY(long y) {
    return int(kBoardTop + kCellSize * y + kCellSize / 2);
}

long differingPixels(const Picture &a, const Picture &b, int x1, int y1, int x2, int y2) {
    long count = 0;
    for (int y = y1; y < y2; y++)
        for (int x = x1; x < x2; x++)
            count += rgbAt(a, x, y) != rgbAt(b, x, y);
    return count;
}

} // namespace e2e
