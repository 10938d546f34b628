#include "game/game_sounds.h"

std::vector<sSoundEvent> gameSounds;

void reportSound(eGameSound sound, bool onlyIfSilent) {
    gameSounds.push_back({sound, onlyIfSilent});
}
