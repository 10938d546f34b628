#include "framework/KSound.h"

#include "platform/audio.h"
#include "platform/file_reader.h"

#include <SDL.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

void (*KSound::_playObserver)(const KSound *sound) = nullptr;

int KSound::_instanceCount = 0;
audio::Device *KSound::directSoundPtr = nullptr;
std::atomic<long> KSound::_masterSFXvolume{100};
std::atomic<long> KSound::_masterMUSICvolume{100};
long KSound::fechnerTable[101];
long KSound::panningtable[201];
const ov_callbacks KSound::ogg_CallBacks = {&KSound::oggRead, &KSound::oggSeek, &KSound::oggClose,
                                            &KSound::oggTell};

namespace {

// Files larger than this are not sounds (and decoded effects no longer); it also keeps the size
// arithmetic far from overflow.
constexpr long kMaxFileBytes = static_cast<long>(platform::kMaxSoundFileBytes);
// loadFileToRam allocates this much beyond the file, zeroed, so that the in-place reads of
// ParseWavHeader near the end of a file stay inside the allocation.
constexpr long kFileSlack = 1024;
constexpr int kOggRequestBytes = 16384;

// Plain modal message; on stderr when there is no display to show it on.
void showMessage(const char *text, const char *caption) {
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    bool headless = driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (headless || SDL_ShowSimpleMessageBox(0, caption, text, nullptr) != 0)
        std::fprintf(stderr, "%s: %s\n", caption, text);
}

void fillFormatFromVorbis(MORVANEWAVEFORMATEX &format, const vorbis_info &info) {
    format.wFormatTag = 1;
    format.nChannels = static_cast<uint16_t>(info.channels);
    format.nSamplesPerSec = static_cast<uint32_t>(info.rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<uint16_t>(info.channels * 2);
    format.nAvgBytesPerSec = static_cast<uint32_t>(info.channels * info.rate * 2);
    format.cbSize = 0;
}

audio::Format toAudioFormat(const MORVANEWAVEFORMATEX &record) {
    audio::Format format;
    format.formatTag = record.wFormatTag;
    format.channels = record.nChannels;
    format.rate = record.nSamplesPerSec;
    format.blockAlign = record.nBlockAlign;
    format.bitsPerSample = record.wBitsPerSample;
    return format;
}

// ov_read with the only layout we play: 16-bit signed little-endian words.
long readPcm(OggVorbis_File *file, unsigned char *into, unsigned long bytes) {
    int section = 0;
    int request = static_cast<int>(std::min<unsigned long>(bytes, kOggRequestBytes));
    return ov_read(file, reinterpret_cast<char *>(into), request, 0, 2, 1, &section);
}

} // namespace

// ---- object and device ----

KSound::KSound() {
    if (_instanceCount == 0) {
        init();
    } else {
        ++_instanceCount;
        _counted = true;
    }
}

void KSound::init() {
    precalcTable();
    std::unique_ptr<audio::Device> device = audio::Device::open();
    if (!device)
        return; // no device: every load fails and nothing sounds
    directSoundPtr = device.release();
    ++_instanceCount;
    _counted = true;
}

KSound::~KSound() {
    // Only an object that was counted may uncount itself: an object made while no device could be
    // opened must not close a device that a later object opened.
    if (_counted)
        --_instanceCount;
    killThread();
    for (auto &buffer : _directSoundBuffer) {
        if (buffer)
            buffer->stop();
        buffer.reset();
    }
    freeAllocatedData();
    if (_instanceCount < 1 && directSoundPtr) {
        delete directSoundPtr;
        directSoundPtr = nullptr;
    }
}

void KSound::precalcTable() {
    fechnerTable[0] = -10000;
    for (int i = 1; i <= 100; ++i) {
        double value = -100.0 * std::log(i / 100.0) / std::log(0.92);
        fechnerTable[i] = std::max(static_cast<long>(value), -10000L);
    }
    panningtable[0] = -10000;
    panningtable[200] = 10000;
    for (int i = 1; i <= 100; ++i) {
        double value = -100.0 * std::log(i / 100.0) / std::log(0.954999);
        long pan = std::clamp(static_cast<long>(value), -10000L, 10000L);
        panningtable[i] = pan;
        panningtable[200 - i] = -pan;
    }
}

audio::SoundBuffer *KSound::createDSoundBuffer(int index, unsigned long size, bool notify) {
    if (!directSoundPtr || index < 0 || index >= kMaxBuffers || !_waveFormatEx)
        return nullptr;
    if (_directSoundBuffer[index]) {
        _directSoundBuffer[index]->stop();
        _directSoundBuffer[index].reset();
    }
    _directSoundBuffer[index] =
        directSoundPtr->createBuffer(toAudioFormat(*_waveFormatEx), static_cast<uint32_t>(size), notify);
    if (!_directSoundBuffer[index])
        return nullptr;
    _directSoundBuffer[index]->setPosition(1);
    clearSoundBuffer(index, size);
    return _directSoundBuffer[index].get();
}

void KSound::clearSoundBuffer(int index, unsigned long size) {
    audio::SoundBuffer *buffer = _directSoundBuffer[index].get();
    if (!buffer)
        return;
    uint32_t locked = 0;
    uint8_t *memory = buffer->lock(0, static_cast<uint32_t>(size), true, &locked);
    if (!memory)
        return;
    std::memset(memory, 0, locked);
    buffer->unlock(memory);
    buffer->setPosition(1);
}

long KSound::loadFileToRam(const char *filename) {
    if (!filename)
        return 0;
    // Only a regular file of a sound's size: a FIFO or a device in its place must not hold the game.
    FILE *file = platform::openRegularFileStream(filename, platform::kMaxSoundFileBytes);
    if (!file)
        return 0;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    if (size <= 0 || size > kMaxFileBytes) {
        std::fclose(file);
        return -1;
    }
    _wavData.reset();
    _wavData.reset(new (std::nothrow) unsigned char[size + kFileSlack]());
    if (!_wavData) {
        std::fclose(file);
        return -1;
    }
    std::rewind(file);
    size_t read = std::fread(_wavData.get(), 1, static_cast<size_t>(size), file);
    std::fclose(file);
    if (read == 0) {
        _wavData.reset();
        return -1;
    }
    size = static_cast<long>(read); // a file that shrank while we read it: what we got
    _oggPosition = 0;
    _oggFileLen = static_cast<unsigned long>(size);
    return size;
}

long KSound::ParseWavHeader(unsigned char *data, long size) {
    _waveFormatEx = nullptr;
    _wavDataStart = nullptr;
    for (long i = 0; i < size - 5; ++i) {
        if (!_waveFormatEx && std::memcmp(data + i, "fmt ", 4) == 0)
            _waveFormatEx = reinterpret_cast<MORVANEWAVEFORMATEX *>(data + i + 8);
        if (std::memcmp(data + i, "data", 4) == 0) {
            uint32_t declared;
            std::memcpy(&declared, data + i + 4, 4);
            _wavDataStart = data + i + 8;
            _wavLength = flipLong(declared);
            // A declared length beyond the end of the file is cut to the bytes really there.
            unsigned long present = size > i + 8 ? static_cast<unsigned long>(size - (i + 8)) : 0;
            _wavLength = std::min(_wavLength, present);
            return static_cast<long>(_wavLength);
        }
    }
    return -1;
}

void KSound::closeDecoder() {
    if (_oggFile) {
        ov_clear(&_vorbisFile);
        _oggFile = false;
    }
}

void KSound::freeAllocatedData() {
    if (_dsNotify) {
        _dsNotify->setNotifications({});
        _dsNotify = nullptr;
    }
    for (auto &buffer : _directSoundBuffer) {
        if (buffer)
            buffer->stop();
        buffer.reset();
    }
    closeDecoder();
    _wavData.reset();
    _waveFormatEx = nullptr; // it may have pointed into the file image
    _wavDataStart = nullptr;
    _wavLength = 0;
    _oggPosition = 0;
    _oggFileLen = 0;
}

// ---- samples ----

bool KSound::loadSample(const char *filename, int volume, bool loop, short bufferCount) {
    _type = 0;
    _currentBeingPlayed = 0;
    killThread();
    freeAllocatedData();

    _loopState = loop ? 1 : 0;
    _channelVolume = volume;
    _soundBufferCount = std::clamp<short>(bufferCount, 1, kMaxBuffers);
    for (auto &buffer : _directSoundBuffer)
        buffer.reset();
    _ready = true;

    // The file's own name says Ogg Vorbis, whatever the folders that lead to it are called.
    if (filename && platform::fileNameOf(filename).find(".ogg") != std::string_view::npos)
        return loadOggSample(filename);

    long size = loadFileToRam(filename);
    if (size <= 0)
        return false;
    if (ParseWavHeader(_wavData.get(), size) < 1) {
        freeAllocatedData();
        return false;
    }
    for (int i = 0; i < _soundBufferCount; ++i) {
        audio::SoundBuffer *buffer = createDSoundBuffer(i, _wavLength, false);
        if (!buffer) {
            freeAllocatedData();
            return false;
        }
        uint32_t locked = 0;
        uint8_t *memory = buffer->lock(0, static_cast<uint32_t>(_wavLength), true, &locked);
        if (!memory) {
            freeAllocatedData();
            return false;
        }
        std::memcpy(memory, _wavDataStart, std::min<unsigned long>(_wavLength, locked));
        buffer->unlock(memory);
    }
    setPan(0);
    return true; // the file image stays for restoreSample
}

bool KSound::loadOggSample(const char *filename) {
    freeAllocatedData();

    // Measure: decode the whole stream once, only counting bytes.
    FILE *file = platform::openRegularFileStream(filename, platform::kMaxSoundFileBytes);
    if (!file)
        return false;
    OggVorbis_File decoder;
    if (ov_open(file, &decoder, nullptr, 0) < 0) {
        std::fclose(file); // a failed open leaves the file to us
        return false;
    }
    std::unique_ptr<unsigned char[]> scratch(new unsigned char[kOggRequestBytes]);
    unsigned long total = 0;
    long got;
    while ((got = readPcm(&decoder, scratch.get(), kOggRequestBytes)) > 0) {
        total += static_cast<unsigned long>(got);
        if (total > static_cast<unsigned long>(kMaxFileBytes))
            break; // far too long for an effect; buffer creation refuses it below
    }
    ov_clear(&decoder);
    if (total == 0)
        return false;
    _wavLength = total;
    _wavData.reset(new (std::nothrow) unsigned char[total]);
    if (!_wavData) {
        freeAllocatedData();
        return false;
    }
    _wavDataStart = _wavData.get();

    for (int i = 0; i < _soundBufferCount; ++i) {
        file = platform::openRegularFileStream(filename, platform::kMaxSoundFileBytes);
        if (!file) {
            freeAllocatedData();
            return false;
        }
        if (ov_open(file, &decoder, nullptr, 0) < 0) {
            std::fclose(file);
            freeAllocatedData();
            return false;
        }
        vorbis_info *info = ov_info(&decoder, -1);
        if (!info) {
            ov_clear(&decoder);
            freeAllocatedData();
            return false;
        }
        fillFormatFromVorbis(_oggFormatEx, *info);
        _waveFormatEx = &_oggFormatEx;
        audio::SoundBuffer *buffer = createDSoundBuffer(i, _wavLength, false);
        if (!buffer) {
            ov_clear(&decoder);
            freeAllocatedData();
            return false;
        }
        uint32_t locked = 0;
        uint8_t *memory = buffer->lock(0, static_cast<uint32_t>(_wavLength), true, &locked);
        if (!memory) {
            ov_clear(&decoder);
            freeAllocatedData();
            return false;
        }
        unsigned long decoded = 0;
        while (decoded < _wavLength) {
            got = readPcm(&decoder, _wavData.get() + decoded, _wavLength - decoded);
            if (got <= 0)
                break;
            decoded += static_cast<unsigned long>(got);
        }
        ov_clear(&decoder);
        if (decoded == 0) {
            buffer->unlock(memory);
            freeAllocatedData();
            return false;
        }
        std::memcpy(memory, _wavData.get(), std::min<unsigned long>(_wavLength, locked));
        buffer->unlock(memory);
    }
    setPan(0);
    return true;
}

void KSound::playSample() {
    if (_playObserver)
        _playObserver(this);
    if (!_directSoundBuffer[0])
        return;
    ++_currentBeingPlayed;
    if (_currentBeingPlayed >= _soundBufferCount)
        _currentBeingPlayed = 0;
    audio::SoundBuffer *buffer = _directSoundBuffer[_currentBeingPlayed].get();
    if (!buffer)
        return;
    buffer->setPosition(0);
    setVolume(static_cast<int>(_channelVolume)); // master volumes changed since the last play apply now
    if (buffer->play(_loopState == 1) == audio::Result::lost)
        restoreSample(); // this play is lost; the next one sounds
}

bool KSound::isPlaying() {
    if (!_ready || !_directSoundBuffer[0])
        return false;
    for (int i = 0; i < _soundBufferCount; ++i) {
        if (_directSoundBuffer[i] && _directSoundBuffer[i]->status().playing)
            return true;
    }
    return false;
}

void KSound::setVolume(int volume) {
    volume = std::clamp(volume, 0, 100);
    _channelVolume = volume;
    for (int i = 0; i < _soundBufferCount; ++i) {
        if (!_directSoundBuffer[i])
            break;
        long master = _type != 0 ? _masterMUSICvolume.load() : _masterSFXvolume.load();
        long index = std::clamp(master * volume / 100, 0L, 99L);
        _directSoundBuffer[i]->setVolume(fechnerTable[index]);
    }
}

void KSound::setPan(long pan) {
    pan = std::clamp(pan, -100L, 100L);
    for (int i = 0; i < _soundBufferCount; ++i) {
        if (!_directSoundBuffer[i])
            break;
        _directSoundBuffer[i]->setPan(panningtable[pan + 100]);
    }
}

void KSound::setGlobalVolumes(int musicVolume, int sfxVolume) {
    if (musicVolume >= 0)
        _masterMUSICvolume = musicVolume;
    if (sfxVolume >= 0)
        _masterSFXvolume = sfxVolume;
}

void KSound::restoreSample() {
    for (int i = 0; i < _soundBufferCount; ++i) {
        if (!_directSoundBuffer[i] || _directSoundBuffer[i]->restore() != audio::Result::ok)
            break;
    }
    for (int i = 0; i < _soundBufferCount; ++i) {
        audio::SoundBuffer *buffer = _directSoundBuffer[i].get();
        if (!buffer)
            break;
        uint32_t locked = 0;
        uint8_t *memory = buffer->lock(0, buffer->size(), true, &locked);
        if (!memory) {
            _directSoundBuffer[i].reset();
            freeAllocatedData();
            return;
        }
        if (_wavDataStart && _wavLength > 0)
            std::memcpy(memory, _wavDataStart, std::min<unsigned long>(_wavLength, locked));
        buffer->unlock(memory);
    }
}

// ---- streams: the in-memory source ----

size_t KSound::oggRead(void *destination, size_t size, size_t count, void *source) {
    auto *sound = static_cast<KSound *>(source);
    if (!sound || (count != 0 && size > SIZE_MAX / count))
        return static_cast<size_t>(-1);
    size_t wanted = size * count;
    size_t remaining = sound->_oggFileLen - std::min(sound->_oggPosition, sound->_oggFileLen);
    size_t copied = std::min(wanted, remaining);
    if (copied > 0)
        std::memcpy(destination, sound->_wavData.get() + sound->_oggPosition, copied);
    sound->_oggPosition += copied;
    return copied;
}

int KSound::oggSeek(void *source, ogg_int64_t offset, int origin) {
    auto *sound = static_cast<KSound *>(source);
    if (!sound)
        return -1;
    long double base;
    switch (origin) {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = sound->_oggPosition;
        break;
    case SEEK_END:
        base = sound->_oggFileLen;
        break;
    default:
        return -1;
    }
    long double target = std::clamp<long double>(base + offset, 0, sound->_oggFileLen);
    sound->_oggPosition = static_cast<unsigned long>(target);
    return 0;
}

int KSound::oggClose(void *) {
    return 0;
} // the image belongs to the object

long KSound::oggTell(void *source) {
    auto *sound = static_cast<KSound *>(source);
    if (!sound)
        return -1;
    return static_cast<long>(sound->_oggPosition);
}

// ---- streams ----

bool KSound::loadStream(const char *filename) {
    _type = 1;
    killThread();
    freeAllocatedData();
    _soundBufferCount = 1;

    if (loadFileToRam(filename) <= 0)
        return false;
    vorbis_info *info = nullptr;
    if (ov_open_callbacks(this, &_vorbisFile, nullptr, 0, ogg_CallBacks) == 0) {
        _oggFile = true;
        info = ov_info(&_vorbisFile, -1);
    }
    if (!info) {
        freeAllocatedData();
        showMessage("error could not detect ogg file", "error");
        return false;
    }
    fillFormatFromVorbis(_oggFormatEx, *info);
    _oggPosition = 0;
    _waveFormatEx = &_oggFormatEx;
    if (!createDSoundBuffer(0, kStreamBufferBytes, true))
        return false;
    _oggCompleted = false;
    ov_time_seek(&_vorbisFile, 0.0);
    _directSoundBuffer[0]->setPosition(1);
    setPan(0);
    return true;
}

void KSound::playStream(bool loop) {
    killThread();
    audio::SoundBuffer *buffer = _directSoundBuffer[0].get();
    if (!buffer)
        return;
    if (_oggFile)
        ov_time_seek(&_vorbisFile, 0.0);
    buffer->stop();
    // Both halves start silent, as after a load: what an earlier play left in them is not heard.
    clearSoundBuffer(0, kStreamBufferBytes);
    buffer->setPosition(0);
    // Set before the thread starts: its first fill may already reach the end of a short song.
    _oggCompleted = false;
    _loopState = loop ? 1 : 0;
    _terminate = false;

    std::this_thread::yield();
    startNotifiers();
    std::this_thread::yield();

    // The buffer always loops; whether the song repeats is decided by the feeding.
    if (buffer->play(true) == audio::Result::lost)
        restoreSample();
    setVolume(static_cast<int>(_channelVolume));
}

bool KSound::startNotifiers() {
    _ready = false;
    audio::SoundBuffer *buffer = _directSoundBuffer[0].get();
    if (!buffer)
        return false;
    buffer->stop();
    try {
        hThread = std::make_unique<std::thread>(&KSound::doubleBufferThread, this);
    } catch (const std::system_error &) {
        return false;
    }
    while (!_ready)
        std::this_thread::yield();
    // One step above normal priority; refused without the privilege, which only costs latency.
    long id = threadID;
    if (id > 0) {
        errno = 0;
        int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(id));
        if (errno == 0)
            setpriority(PRIO_PROCESS, static_cast<id_t>(id), nice - 1);
    }
    return true;
}

void KSound::doubleBufferThread(KSound *param) {
    KSound &sound = *param;
    sound.threadID = static_cast<long>(gettid());
    char names[2][32];
    std::snprintf(names[0], sizeof names[0], "ksoundev%d", 0);
    std::snprintf(names[1], sizeof names[1], "ksoundev%d2", 0);

    audio::SoundBuffer *buffer = sound._directSoundBuffer[0].get();
    if (!buffer) {
        sound._ready = true;
        return;
    }
    sound._dsNotify = buffer;
    sound.hEvents[0] = std::make_unique<audio::Event>(names[0]);
    sound.hEvents[1] = std::make_unique<audio::Event>(names[1]);
    audio::Event *firstHalf = sound.hEvents[0].get();
    audio::Event *secondHalf = sound.hEvents[1].get();
    if (!buffer->setNotifications({{0, firstHalf}, {static_cast<uint32_t>(kStreamHalfBytes), secondHalf}})) {
        sound._ready = true;
        return;
    }
    sound._terminate = false;
    sound._ready = true;

    bool firstPass = true;
    long seenMaster = 0;
    for (;;) {
        long master = _masterMUSICvolume;
        if (firstPass || master != seenMaster) {
            sound.setVolume(static_cast<int>(sound._channelVolume));
            seenMaster = master;
            firstPass = false;
        }
        if (firstHalf->wait(50)) {
            sound.fillOggBuffer(1); // playback entered the first half: refill the second
            std::this_thread::yield();
        }
        if (secondHalf->wait(50)) {
            sound.fillOggBuffer(0);
            std::this_thread::yield();
        }
        if (!sound._directSoundBuffer[0] || sound._terminate)
            break;
        std::this_thread::yield();
    }
}

void KSound::fillOggBuffer(unsigned long part) {
    audio::SoundBuffer *buffer = _directSoundBuffer[0].get();
    if (!buffer || part > 1)
        return;
    uint32_t locked = 0;
    uint8_t *half = buffer->lock(static_cast<uint32_t>(part * kStreamHalfBytes),
                                 static_cast<uint32_t>(kStreamHalfBytes), false, &locked);
    if (!half) {
        buffer->restore(); // this half is refilled at its next signal
        return;
    }
    std::memset(half, 0, locked);

    std::lock_guard<std::recursive_mutex> decoderLock(_decoderMutex);
    long result = 0;
    if (!_oggCompleted) {
        unsigned long filled = 0;
        while (!_terminate && filled < locked) {
            result = _oggFile ? readPcm(&_vorbisFile, half + filled, locked - filled) : -1;
            if (result <= 0) {
                // The end of the song, or a decoding fault.
                if (_loopState == 1) {
                    ov_time_seek(&_vorbisFile, 0.0); // the rest of this half stays silent
                    _oggCompleted = false;
                } else {
                    stopStream();
                    _oggCompleted = true;
                }
                break;
            }
            filled += static_cast<unsigned long>(result);
        }
    }
    if (result < 0)
        std::memset(half, 0, locked); // drop what a faulty decode produced
    buffer->unlock(half);
    if (_oggCompleted)
        stopStream();
}

void KSound::stopStream() {
    audio::SoundBuffer *buffer = _directSoundBuffer[0].get();
    if (!buffer)
        return;
    buffer->stop();
    clearSoundBuffer(0, kStreamBufferBytes);
    {
        std::lock_guard<std::recursive_mutex> decoderLock(_decoderMutex);
        if (_oggFile)
            ov_time_seek(&_vorbisFile, 0.0);
    }
    buffer->setPosition(1);
}

void KSound::killThread() {
    _ready = false;
    _terminate = true;
    if (_directSoundBuffer[0]) {
        _directSoundBuffer[0]->stop();
        _directSoundBuffer[0]->setPosition(1);
    }
    if (hThread) {
        hThread->join(); // it looks at _terminate at least once per pass
        hThread.reset();
        if (_dsNotify) {
            _dsNotify->setNotifications({});
            _dsNotify = nullptr;
        }
        hEvents[0].reset();
        hEvents[1].reset();
        threadID = 0;
    }
    std::this_thread::yield();
}
