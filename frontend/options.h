// The options page (tune, volumes, gem set, reset of the tables) and the music playlist.
#pragma once

struct sMusic {
    char filename[260]; // without its 4-character extension; empty marks a free entry
};

constexpr int kMaxTunes = 20;
extern sMusic allMusic[kMaxTunes];
extern long gTune; // tunes found, 0..20

void initMusic();
bool addTune(char *filename, bool isFolder);
// Replaces snd_music with a looping stream of the named tune (null: playlist entry 0).
void playSong(char *filename);
// Starts the tune the preferences name, or entry 0 when that index is outside the playlist.
void playCurrentTune();

void detectMusicChange(long mx, long my, bool bt);
void detectVolumeSlide(long mx, long my, bool bt);
void detectVolumeMusicSlide(long mx, long my, bool bt);
void detectBubbleChange(long x, long y, bool bt);
