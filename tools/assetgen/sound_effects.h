// The nine sound effects of the game, synthesised.
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/synth.h"

namespace assetgen {

struct SoundEffect {
    std::string fileName; // inside data/audio; .wav or .ogg
    Samples samples;      // mono, kSampleRate
};

std::vector<SoundEffect> synthesiseEffects();

} // namespace assetgen
