#include "game/replay_playback.h"

#include "game/rules.h"
#include "game/sheet_layout.h"

#include <algorithm>

namespace {

// Holding the pointer to the picture changes nothing only while nothing that answers to it touches
// the picture's edge.
constexpr bool insideThePicture(int x1, int y1, int x2, int y2) {
    return x1 > 0 && y1 > 0 && x2 < replay::kPictureWidth - 1 && y2 < replay::kPictureHeight - 1;
}
static_assert(insideThePicture(layout::kBoardArea.x1, layout::kBoardArea.y1, layout::kBoardArea.x2,
                               layout::kBoardArea.y2));
static_assert(std::all_of(std::begin(layout::kPlayButtons), std::end(layout::kPlayButtons),
                          [](const auto &b) {
                              return insideThePicture(b.area.x1, b.area.y1, b.area.x2, b.area.y2);
                          }));

// Which of the buttons under the board the pointer is over, -1 for none.
int buttonUnder(int x, int y) {
    for (int i = 0; i < 3; ++i)
        if (x >= hotspots[i].x1 && x <= hotspots[i].x2 && y >= hotspots[i].y1 && y <= hotspots[i].y2)
            return i;
    return -1;
}

} // namespace

replay::FrameRecord recordOf(const FrameInput &input, bool worthAPlace) {
    replay::FrameRecord record;
    record.mouseX = static_cast<int16_t>(std::clamp<int>(input.mouseX, 0, replay::kPictureWidth - 1));
    record.mouseY = static_cast<int16_t>(std::clamp<int>(input.mouseY, 0, replay::kPictureHeight - 1));
    record.leftButton = input.leftButton;
    record.keyP = input.keyP;
    record.keyF1 = input.keyF1;
    record.keyEscape = input.keyEscape;
    record.worthAPlace = worthAPlace;
    return record;
}

FrameInput inputOf(const replay::FrameRecord &record) {
    FrameInput input;
    input.mouseX = record.mouseX;
    input.mouseY = record.mouseY;
    input.leftButton = record.leftButton;
    input.keyP = record.keyP;
    input.keyF1 = record.keyF1;
    input.keyEscape = record.keyEscape;
    return input;
}

void ReplayRecorder::begin(const GameSetup &setup) {
    replay_ = {};
    replay_.header.gameMode = static_cast<uint8_t>(setup.gameMode);
    replay_.header.difficulty = static_cast<uint8_t>(setup.difficulty);
    replay_.header.unitScore = static_cast<uint16_t>(setup.unitScore);
    replay_.header.randomSeed = setup.randomSeed;
    recording_ = true;
    buttonWasDown_ = false;
}

void ReplayRecorder::add(const FrameInput &input, bool worthAPlace) {
    // A game left running for over an hour keeps its first hour.
    if (!recording_ || replay_.frames.size() >= replay::kMaxFrames)
        return;
    replay::FrameRecord record = recordOf(input, worthAPlace);
    const bool buttonInPlay = record.leftButton || buttonWasDown_;
    buttonWasDown_ = record.leftButton;
    if (!buttonInPlay && !replay_.frames.empty()) {
        const replay::FrameRecord &last = replay_.frames.back();
        if (buttonUnder(record.mouseX, record.mouseY) == buttonUnder(last.mouseX, last.mouseY)) {
            record.mouseX = last.mouseX;
            record.mouseY = last.mouseY;
        }
    }
    replay_.frames.push_back(record);
}

replay::Replay ReplayRecorder::finish() const {
    replay::Replay done = replay_;
    done.header.finalScore = score;
    done.header.result = static_cast<int32_t>(_realScore);
    return done;
}

ReplayPlayer::ReplayPlayer(const replay::Replay &replay)
    : replay_(replay), engine_([this] { return played_ > 0 && replay_.frames[played_ - 1].worthAPlace; }) {
    const replay::Header &header = replay.header;
    engine_.begin(GameSetup{header.gameMode, header.difficulty, header.unitScore, header.randomSeed});
}

bool ReplayPlayer::step() {
    if (played_ >= replay_.frames.size() || engine_.phase() == ePlayPhase::left)
        return false;
    // The judge above reads the frame being played.
    ++played_;
    engine_.step(inputOf(replay_.frames[played_ - 1]));
    return true;
}

PlaybackOutcome playBack(const replay::Replay &replay) {
    PlaybackOutcome outcome;
    ReplayPlayer player(replay);
    while (player.step()) {
    }
    outcome.frames = player.framesPlayed();
    outcome.score = score;
    outcome.result = _realScore;
    outcome.gameOver = gameOver;
    auto fail = [&](uint32_t frame, std::string reason) {
        outcome.frame = frame;
        outcome.reason = std::move(reason);
        return outcome;
    };
    if (player.framesPlayed() < replay.frames.size())
        return fail(player.framesPlayed() + 1, "the game was left in the frame before");
    if (score != replay.header.finalScore || _realScore != replay.header.result)
        return fail(player.framesPlayed(), "the game ends with " + std::to_string(score) +
                                               " points and a result of " + std::to_string(_realScore) +
                                               ", the replay says " +
                                               std::to_string(replay.header.finalScore) + " and " +
                                               std::to_string(replay.header.result));
    outcome.sound = true;
    return outcome;
}

std::string describeOutcome(const replay::Replay &replay, const PlaybackOutcome &outcome) {
    const replay::Header &header = replay.header;
    return "mode=" + std::to_string(header.gameMode) + " difficulty=" + std::to_string(header.difficulty) +
           " seed=" + std::to_string(header.randomSeed) + " frames=" + std::to_string(outcome.frames) +
           " score=" + std::to_string(outcome.score) + " result=" + std::to_string(outcome.result) +
           " over=" + (outcome.gameOver ? "yes" : "no");
}

bool verifyReplay(std::span<const uint8_t> bytes, std::string &answer) {
    replay::Replay game;
    std::string why;
    if (!replay::decode(bytes, game, why)) {
        answer = why.rfind("frame ", 0) == 0 ? why : "frame 0: " + why;
        return false;
    }
    const PlaybackOutcome outcome = playBack(game);
    if (!outcome.sound) {
        answer = "frame " + std::to_string(outcome.frame) + ": " + outcome.reason;
        return false;
    }
    answer = describeOutcome(game, outcome);
    return true;
}
