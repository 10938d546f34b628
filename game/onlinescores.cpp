#include "game/onlinescores.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/KGraphicD3D.h"
#include "framework/KWeb.h"
#include "framework/KWindowD3D.h"
#include "frontend/highscores.h"
#include "game/playscreen.h"
#include "game/replay_file.h"
#include "game/rules.h"
#include "shell/app.h"
#include "shell/files.h"
#include "shell/launcher.h"
#include "shell/paths.h"
#include "shell/replays.h"

bool previousState = false;

namespace {

constexpr const char *kDefaultServer = "http://127.0.0.1:7717";
constexpr float kInternetPictureBlend = 0.8f;

// The request goes into a buffer of 260 characters.
constexpr size_t kUrlSize = 260;

std::string serverAddress;

// Formats a request into the buffer. One that does not fit would be cut into a wrong score or a
// submission without its game: it is refused, said once on stderr, and nothing is sent.
bool formatRequest(char (&url)[kUrlSize], const char *format, ...) __attribute__((format(printf, 2, 3)));
bool formatRequest(char (&url)[kUrlSize], const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(url, sizeof(url), format, arguments);
    va_end(arguments);
    if (length >= 0 && static_cast<size_t>(length) < sizeof(url))
        return true;
    static bool said = false;
    if (!said)
        std::fprintf(stderr,
                     "Quorix: the score server address \"%s\" is too long for a request of %zu characters; "
                     "no score is sent.\n",
                     scoreServerAddress(), sizeof(url) - 1);
    said = true;
    return false;
}

// The picture in the bottom-right corner while the game waits for the server, shown at once.
void showWaitingPicture(float inset) {
    if (!surf_internet || !fenetre)
        return;
    const float width = surf_internet->fimageWidth;
    const float height = surf_internet->fimageHeight;
    surf_internet->blitAlphaRectFx(inset, inset, width - inset, height - 2 * inset,
                                   static_cast<short>(640 - width), static_cast<short>(480 - height), 0.0f,
                                   1.0f, kInternetPictureBlend, false, false);
    fenetre->flipBackBuffer(true, true);
}

} // namespace

const char *scoreServerAddress() {
    // Read once per run: the first line of scoreserver.txt, without a trailing slash. The player's own
    // copy wins over the one that came with the game.
    if (serverAddress.empty()) {
        for (const std::string &path : scoreServerSettingPaths()) {
            char text[512] = {};
            if (readRecordFile(path.c_str(), text, sizeof(text) - 1) <= 0)
                continue;
            serverAddress.assign(text, std::strcspn(text, "\r\n \t"));
            while (!serverAddress.empty() && serverAddress.back() == '/')
                serverAddress.pop_back();
            if (!serverAddress.empty())
                break;
        }
        if (serverAddress.empty())
            serverAddress = kDefaultServer;
    }
    return serverAddress.c_str();
}

bool isOnlineScore(char *) {
    if (_gameMode == kModeRelax)
        return false;
    if (_onlineProcessed)
        return previousState;
    if (!gOnlineScores)
        return false;
    _onlineProcessed = true;
    previousState = false;

    char url[kUrlSize];
    const std::string game = KWeb::encodeQueryValue(gameDescription);
    if (!formatRequest(url, "%s/universe/%s.php?gamename=%s&submtdscore=%ld", scoreServerAddress(),
                       _gameMode == kModeMillion ? "ishighscoredesc" : "ishighscore", game.c_str(),
                       _realScore))
        return false;
    showWaitingPicture(0.0f);

    KWeb web;
    const char *answer = web.callURL(url, false);
    if (!answer || !std::strstr(answer, "yes"))
        return false;
    previousState = true;
    return true;
}

void submitOnlineScore(char *name, char *) {
    if (_gameMode == kModeRelax || !gOnlineScores)
        return;
    const char *sent = (name && name[0]) ? name : "chicken";
    // Names are percent-encoded: a space or an ampersand must not break the request.
    const std::string encodedName = KWeb::encodeQueryValue(sent);
    const std::string game = KWeb::encodeQueryValue(gameDescription);
    char url[kUrlSize];
    if (!formatRequest(url, "%s/universe/%s.php?name=%s&score=%ld&computer=M&gamename=%s",
                       scoreServerAddress(),
                       _gameMode == kModeMillion ? "scoresubmitterdesc" : "scoresubmitter",
                       encodedName.c_str(), _realScore, game.c_str()))
        return;
    showWaitingPicture(4.0f);
    KWeb web;
    // A server that could not be reached for the result is not tried again for its proof.
    if (!web.callURL(url, false))
        return;

    // The game itself goes too, so that the server can play it back and mark the row as proved. A
    // server without replays refuses it, and the row above stays as it always was.
    if (!formatRequest(url, "%s/universe/replay?name=%s&score=%ld&computer=M&gamename=%s",
                       scoreServerAddress(), encodedName.c_str(), _realScore, game.c_str()))
        return;
    const std::vector<uint8_t> replay = replay::encode(recordingSoFar());
    if (replay.size() <= replay::kMaxFileBytes)
        web.postToURL(url, std::string_view(reinterpret_cast<const char *>(replay.data()), replay.size()));
}

void transferHighScore(char *name) {
    submitOnlineScore(name, gameDescription);
    insertHighScore(_gameMode, gameDifficulty, static_cast<uint32_t>(_realScore), name);
    // The row can be watched again: its game, up to this step, goes beside the tables.
    keepRowReplay(_gameMode, gameDifficulty, static_cast<uint32_t>(_realScore), name, recordingSoFar());
    // A result that earned a place is on disk at once, not only at an orderly shutdown.
    saveHighScores();
}
