// The game's music: tunes composed from a chord progression, a scale and a few rhythm patterns,
// rendered as seamless loops (every note's tail wraps round to the start of the loop).
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/synth.h"

namespace assetgen {

struct Tune {
    std::string fileName; // inside data/music
    Samples stereo;       // interleaved left/right, kSampleRate
};

int tuneCount();
Tune composeTune(int index);

} // namespace assetgen
