// KSound: sound effects and streamed music.
//
// This is the interface the game calls. Until the audio device layer exists the class behaves as a
// machine without a sound device: every load fails and every play does nothing.
#pragma once

class KSound {
public:
    KSound();
    ~KSound();
    KSound(const KSound &) = delete;
    KSound &operator=(const KSound &) = delete;

    bool loadSample(const char *filename, int volume, bool loop, short bufferCount);
    void playSample();
    bool isPlaying();
    void setVolume(int volume);
    void setPan(long pan);
    static void setGlobalVolumes(int musicVolume, int sfxVolume);

    // Every playSample() call is reported here, with or without a device, so that tests can tell
    // which effect a rule played. Null when nobody listens.
    static void (*_playObserver)(const KSound *sound);
};
