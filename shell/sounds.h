// The shared sound effects and the current music stream.
#pragma once

class KSound;

extern KSound *snd_click;
extern KSound *snd_good;
extern KSound *snd_lose;
extern KSound *snd_swap;
extern KSound *snd_hint;
extern KSound *snd_nohint;
extern KSound *snd_zap;
extern KSound *snd_bomb;
extern KSound *snd_zapattack;
extern KSound *snd_music;

// Creates and loads the nine effects, in their fixed order.
void loadSounds();
// Deletes the effects and the music stream.
void freeSounds();

// Plays an effect if it exists; a rule that fires before the sounds are loaded stays silent.
void playEffect(KSound *sound);
// Plays an effect unless it is already sounding.
void playEffectOnce(KSound *sound);
