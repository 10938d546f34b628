#include "shell/sounds.h"

#include "framework/KSound.h"

KSound *snd_click = nullptr;
KSound *snd_good = nullptr;
KSound *snd_lose = nullptr;
KSound *snd_swap = nullptr;
KSound *snd_hint = nullptr;
KSound *snd_nohint = nullptr;
KSound *snd_zap = nullptr;
KSound *snd_bomb = nullptr;
KSound *snd_zapattack = nullptr;
KSound *snd_music = nullptr;

void playEffect(KSound *sound) {
    if (sound)
        sound->playSample();
}

void playEffectOnce(KSound *sound) {
    if (sound && !sound->isPlaying())
        sound->playSample();
}
