#include "framework/KSound.h"

void (*KSound::_playObserver)(const KSound *sound) = nullptr;

KSound::KSound() = default;
KSound::~KSound() = default;

bool KSound::loadSample(const char *, int, bool, short) { return false; }

void KSound::playSample() {
    if (_playObserver)
        _playObserver(this);
}

bool KSound::isPlaying() { return false; }
void KSound::setVolume(int) {}
void KSound::setPan(long) {}
void KSound::setGlobalVolumes(int, int) {}
