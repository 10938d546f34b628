#include "shell/sounds.h"

#include "framework/KMiscTools.h"
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

namespace {
struct SharedEffect {
    KSound **sound;
    const char *file;
};
// The nine effects in their load order.
const SharedEffect kSharedEffects[] = {
    {&snd_click, "data/audio/click.wav"},      {&snd_good, "data/audio/good.ogg"},
    {&snd_lose, "data/audio/gameover.ogg"},    {&snd_swap, "data/audio/swap.ogg"},
    {&snd_hint, "data/audio/hint.ogg"},        {&snd_nohint, "data/audio/nohint.wav"},
    {&snd_zap, "data/audio/thunder.ogg"},      {&snd_bomb, "data/audio/bomb.ogg"},
    {&snd_zapattack, "data/audio/lifeup.ogg"},
};
} // namespace

void loadSounds() {
    for (const SharedEffect &effect : kSharedEffects) {
        *effect.sound = new KSound;
        (*effect.sound)->loadSample(KMiscTools::makeFilePath(effect.file), 100, false, 1);
    }
}

void freeSounds() {
    for (KSound **sound : {&snd_click, &snd_good, &snd_lose, &snd_swap, &snd_hint, &snd_nohint, &snd_zap,
                           &snd_bomb, &snd_zapattack, &snd_music}) {
        delete *sound;
        *sound = nullptr;
    }
}
