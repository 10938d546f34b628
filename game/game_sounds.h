// The sounds the rules ask for. The rules only name them; the play screen plays them after each frame's
// step, so that the rules run without a sound device (in tests and when a game is checked).
#pragma once

#include <cstdint>
#include <vector>

enum class eGameSound : uint8_t { click, good, swap, hint, nohint, zap, bomb, zapAttack };

struct sSoundEvent {
    eGameSound sound;
    bool onlyIfSilent; // not played again while it still sounds
};

// The sounds asked for since the list was last cleared, in order. The frame step clears it as it starts.
extern std::vector<sSoundEvent> gameSounds;

void reportSound(eGameSound sound, bool onlyIfSilent = false);
