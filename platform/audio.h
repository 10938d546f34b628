// The audio layer under KSound: one SDL output device (stereo, signed 16-bit, 44100 Hz) and our own
// mixer of sound buffers. A buffer holds PCM in its own format (8 or 16 bits, mono or stereo, any rate)
// and has a play position, looping, a volume and a pan in hundredths of a decibel, and position
// notifications that signal an auto-reset event when playback reaches an offset.
//
// Every buffer operation may be called from any thread: one device mutex guards the mixer state.
// Buffer memory is never handed out while the mixer reads it: lock() gives a private copy of the
// region and unlock() writes it back.
#pragma once

#include <SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace audio {

constexpr int kDeviceRate = 44100;
constexpr int kDeviceChannels = 2;

// Volume and pan limits, hundredths of a decibel. The minimum is true silence.
constexpr long kVolumeMin = -10000;
constexpr long kVolumeMax = 0;
constexpr long kPanLeft = -10000;
constexpr long kPanRight = 10000;

// Gain of an attenuation in hundredths of a decibel: 10^(mB / 2000); -10000 and below are silent.
float gainOf(long millibels);

struct Format {
    uint16_t formatTag = 1; // 1 = PCM, the only kind we play
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;

    // 8- or 16-bit PCM, one or two channels, 100 .. 200000 Hz, block = channels x bytes per sample.
    bool isPlayable() const;
};

// An auto-reset event: signal() wakes one wait (or the next one), which clears it again.
class Event {
public:
    explicit Event(std::string name) : _name(std::move(name)) {}
    Event(const Event &) = delete;
    Event &operator=(const Event &) = delete;

    void signal();
    // Waits up to timeoutMs for the event; true when it came (and has been reset).
    bool wait(int timeoutMs);

    const std::string &name() const { return _name; }
    bool isSignalled() const { return _signalled.load(); }
    // Number of threads currently blocked in wait().
    int waiters() const { return _waiters.load(); }

private:
    std::string _name;
    std::mutex _mutex;
    std::condition_variable _cv;
    std::atomic<bool> _signalled{false};
    std::atomic<int> _waiters{0};
};

struct Notification {
    uint32_t offset; // bytes from the start of the buffer
    Event *event;    // not owned; must outlive the registration
};

enum class Result { ok, lost, failed };

struct BufferStatus {
    bool playing = false;
    bool looping = false;
};

// Keeps an output device that never blocks to real time. Such a device (ALSA's null device, for one)
// asks for the next piece of sound as soon as it has the last, so the mixer and the music decoder
// would run flat out. A device that keeps its own time is left alone: only a long run of requests that
// follow each other at once starts the pacing.
class RealTimePacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit RealTimePacer(int frameRate) : _frameRate(frameRate) {}
    // A request for this many frames comes at the given time: how long to wait before filling it.
    Clock::duration beforeRequest(Clock::time_point now, int frames);
    bool pacing() const { return _pacing; }

private:
    int _frameRate;
    int _quickRequests = 0;
    bool _pacing = false;
    Clock::time_point _lastRequest{};
    Clock::time_point _origin{};
    uint64_t _framesSinceOrigin = 0;
};

class Device;

class SoundBuffer {
public:
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer &) = delete;
    SoundBuffer &operator=(const SoundBuffer &) = delete;

    uint32_t size() const { return _size; }
    const Format &format() const { return _format; }

    // Starts from the current position. Fails with Result::lost while the memory is lost.
    Result play(bool loop);
    void stop();
    // Byte offset, rounded down to a whole sample frame and limited to the buffer.
    void setPosition(uint32_t byteOffset);
    uint32_t position() const;
    void setVolume(long millibels);
    long volume() const;
    // Negative attenuates the right channel, positive the left, by that many hundredths of a decibel.
    void setPan(long millibels);
    long pan() const;
    BufferStatus status() const;

    // Hands out a copy of bytes [offset, offset + bytes); whole = the whole buffer. Null when the
    // region lies outside the buffer or the memory is lost. Several locks may be outstanding.
    uint8_t *lock(uint32_t offset, uint32_t bytes, bool whole, uint32_t *lockedBytes);
    // Writes a locked copy back into the buffer (unless the memory was lost meanwhile).
    void unlock(uint8_t *locked);

    // Gives the memory back after a loss (its content is silence); Result::ok.
    Result restore();
    // Simulates the platform taking the buffer's memory away: play and lock fail until restore().
    void loseMemory();

    // Only for buffers created with notify = true. An empty list removes all notifications.
    bool setNotifications(const std::vector<Notification> &positions);

private:
    friend class Device;
    SoundBuffer(Device &device, const Format &format, uint32_t bytes, bool notify);

    struct Lock {
        uint32_t offset;
        std::vector<uint8_t> copy;
    };

    // Mixes this buffer into the float accumulator; called with the device mutex held.
    void mixInto(float *accumulator, int frames);
    void fireAt(uint64_t frame) const;
    void fireCrossed(uint64_t fromFrame, uint64_t toFrame) const;
    float sampleAt(uint64_t frame, int channel) const;

    Device &_device;
    Format _format;
    uint32_t _size;
    uint64_t _frames; // whole sample frames in the buffer
    bool _canNotify;
    std::vector<uint8_t> _data;
    bool _lost = false;
    bool _playing = false;
    bool _looping = false;
    uint64_t _position = 0; // 32.32 fixed point, in source frames
    uint64_t _step;         // source frames per output frame, 32.32 fixed point
    long _volume = 0;
    long _pan = 0;
    std::vector<Notification> _notifications;
    std::vector<uint64_t> _notificationFrames; // the frame of each, worked out once: the mixer asks per frame
    std::list<Lock> _locks;
};

class Device {
public:
    // Opens the default output device. Null when SDL has no audio or no device can be opened.
    static std::unique_ptr<Device> open();
    ~Device();
    Device(const Device &) = delete;
    Device &operator=(const Device &) = delete;

    // Null for a format the mixer cannot play or a size of 0 or more than 256 MB.
    std::unique_ptr<SoundBuffer> createBuffer(const Format &format, uint32_t bytes, bool notify);

    // Mixes the next frames of output (stereo, interleaved) into out. This is what the SDL callback
    // runs; tests and benchmarks may call it directly when the device is pulled by hand.
    void mix(int16_t *out, int frames);
    // mix(), then waits (up to two seconds) until every thread woken by a position notification has
    // finished its work and waits again, so that output rendered piece by piece is deterministic.
    void render(int16_t *out, int frames);

    // When set before open(), the SDL device stays paused and only explicit mix()/render() calls
    // advance playback.
    static void setPulledByHand(bool byHand);

    int bufferCount() const;

private:
    friend class SoundBuffer;
    Device() = default;
    static void sdlCallback(void *userdata, Uint8 *stream, int len);
    bool feedersSettled() const;

    mutable std::mutex _mutex;
    SDL_AudioDeviceID _id = 0;
    RealTimePacer _pacer{kDeviceRate};
    std::vector<SoundBuffer *> _buffers;
    std::vector<float> _accumulator;
    static std::atomic<bool> _pulledByHand;
};

} // namespace audio
