// KSound: sound effects and streamed music.
//
// An object holds either a sample (a short effect, loaded whole from a WAV or Ogg Vorbis file into up
// to nine sound buffers played in rotation, so that quick repeats overlap) or a music stream (an Ogg
// Vorbis file kept compressed in memory and decoded into a 32 KB looping buffer by a feeding thread,
// one 16 KB half at a time). All objects share one output device: the first object opens it, the last
// one closes it. Volumes are 0..100, scaled by the effects or the music master volume and turned into
// hundredths of a decibel through fechnerTable.
#pragma once

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace audio {
class Device;
class SoundBuffer;
class Event;
} // namespace audio

// The wave-format record. A WAV file's "fmt " chunk is read in place through it, so its layout is
// fixed: 18 little-endian bytes, no padding (and no alignment: it may sit at any byte of a file).
#pragma pack(push, 1)
struct MORVANEWAVEFORMATEX {
    uint16_t wFormatTag;      // 1 = PCM
    uint16_t nChannels;       // number of channels
    uint32_t nSamplesPerSec;  // sample rate, Hz
    uint32_t nAvgBytesPerSec; // rate x block size
    uint16_t nBlockAlign;     // bytes per sample frame
    uint16_t wBitsPerSample;  // bits per sample
    uint16_t cbSize;          // size of extra format bytes
};
#pragma pack(pop)
static_assert(sizeof(MORVANEWAVEFORMATEX) == 18);

class KSound {
public:
    static constexpr int kMaxBuffers = 9;
    static constexpr unsigned long kStreamBufferBytes = 32768;
    static constexpr unsigned long kStreamHalfBytes = kStreamBufferBytes / 2;

    KSound();
    ~KSound();
    KSound(const KSound &) = delete;
    KSound &operator=(const KSound &) = delete;

    // Samples. A name containing ".ogg" (lower case) is decoded as Ogg Vorbis, anything else is WAV.
    bool loadSample(const char *filename, int volume, bool loop, short bufferCount);
    void playSample();
    bool isPlaying();
    void setVolume(int volume);
    void setPan(long pan);
    static void setGlobalVolumes(int musicVolume, int sfxVolume);

    // Streams.
    bool loadStream(const char *filename);
    void playStream(bool loop);
    void stopStream();
    static void doubleBufferThread(KSound *param);
    void fillOggBuffer(unsigned long part);

    // Every playSample() call is reported here, with or without a device, so that tests can tell
    // which effect a rule played. Null when nobody listens.
    static void (*_playObserver)(const KSound *sound);

    // Sample state.
    short _soundBufferCount = 1;
    std::atomic<long> _channelVolume{80};
    std::atomic<long> _loopState{0};
    char _type = 0; // 0 sample (effects master), 1 stream (music master)
    long _currentBeingPlayed = 0;
    MORVANEWAVEFORMATEX *_waveFormatEx = nullptr;
    unsigned char *_wavDataStart = nullptr;
    unsigned long _wavLength = 0;
    std::unique_ptr<audio::SoundBuffer> _directSoundBuffer[kMaxBuffers];
    std::atomic<bool> _ready{false};
    std::unique_ptr<unsigned char[]> _wavData; // the WAV file image, decoded Ogg PCM, or a compressed stream

    // Stream state.
    MORVANEWAVEFORMATEX _oggFormatEx{};
    OggVorbis_File _vorbisFile{};
    bool _oggFile = false;
    audio::SoundBuffer *_dsNotify = nullptr; // buffer 0 while its notifications are registered
    std::unique_ptr<audio::Event> hEvents[2];
    std::unique_ptr<std::thread> hThread;
    std::atomic<long> threadID{0}; // kernel id of the feeding thread
    std::atomic<bool> _terminate{false};
    std::atomic<bool> _oggCompleted{false};
    unsigned long _oggPosition = 0;
    unsigned long _oggFileLen = 0;

    // Shared by all objects.
    static int _instanceCount;
    static audio::Device *directSoundPtr;
    static std::atomic<long> _masterSFXvolume;
    static std::atomic<long> _masterMUSICvolume;
    static long fechnerTable[101];
    static long panningtable[201];
    static const ov_callbacks ogg_CallBacks;

private:
    void init();
    static void precalcTable();
    audio::SoundBuffer *createDSoundBuffer(int index, unsigned long size, bool notify);
    void clearSoundBuffer(int index, unsigned long size);
    long loadFileToRam(const char *filename);
    long ParseWavHeader(unsigned char *data, long size);
    static unsigned long flipLong(unsigned long value) { return value; }
    bool loadOggSample(const char *filename);
    void restoreSample();
    void freeAllocatedData();
    bool startNotifiers();
    void killThread();
    void closeDecoder();

    // Whether this object was counted in _instanceCount (it found the device started).
    bool _counted = false;
    // The decoder is used by the feeding thread; stopStream() may also come from the game's thread.
    std::recursive_mutex _decoderMutex;

    // The in-memory source the stream decoder reads from.
    static size_t oggRead(void *destination, size_t size, size_t count, void *source);
    static int oggSeek(void *source, ogg_int64_t offset, int origin);
    static int oggClose(void *source);
    static long oggTell(void *source);
};
