#include "platform/audio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace audio {

namespace {
constexpr uint32_t kMaxBufferBytes = 256u << 20;
constexpr int kCallbackFrames = 1024; // about 23 ms per SDL callback
} // namespace

std::atomic<bool> Device::_pulledByHand{false};

float gainOf(long millibels) {
    if (millibels <= kVolumeMin)
        return 0.0f;
    return std::pow(10.0f, static_cast<float>(millibels) / 2000.0f);
}

bool Format::isPlayable() const {
    if (formatTag != 1 || channels < 1 || channels > 2)
        return false;
    if (bitsPerSample != 8 && bitsPerSample != 16)
        return false;
    if (rate < 100 || rate > 200000)
        return false;
    return blockAlign == channels * bitsPerSample / 8;
}

// ---- Event ----

void Event::signal() {
    {
        std::lock_guard<std::mutex> lock(_mutex);
        _signalled = true;
    }
    _cv.notify_one();
}

bool Event::wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(_mutex);
    ++_waiters;
    bool came =
        _cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return _signalled.load(); });
    if (came)
        _signalled = false; // auto-reset: the wait that sees the signal consumes it
    --_waiters;
    return came;
}

// ---- SoundBuffer ----

SoundBuffer::SoundBuffer(Device &device, const Format &format, uint32_t bytes, bool notify)
    : _device(device), _format(format), _size(bytes), _frames(bytes / format.blockAlign), _canNotify(notify),
      _data(bytes, 0), _step((static_cast<uint64_t>(format.rate) << 32) / kDeviceRate) {}

SoundBuffer::~SoundBuffer() {
    std::lock_guard<std::mutex> lock(_device._mutex);
    auto &list = _device._buffers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

Result SoundBuffer::play(bool loop) {
    std::lock_guard<std::mutex> lock(_device._mutex);
    if (_lost)
        return Result::lost;
    _playing = true;
    _looping = loop;
    // Starting exactly on a notification offset counts as reaching it.
    fireAt(_position >> 32);
    return Result::ok;
}

void SoundBuffer::stop() {
    std::lock_guard<std::mutex> lock(_device._mutex);
    _playing = false;
}

void SoundBuffer::setPosition(uint32_t byteOffset) {
    std::lock_guard<std::mutex> lock(_device._mutex);
    uint64_t frame = byteOffset / _format.blockAlign;
    if (frame >= _frames)
        frame = 0;
    _position = frame << 32;
}

uint32_t SoundBuffer::position() const {
    std::lock_guard<std::mutex> lock(_device._mutex);
    return static_cast<uint32_t>((_position >> 32) * _format.blockAlign);
}

void SoundBuffer::setVolume(long millibels) {
    std::lock_guard<std::mutex> lock(_device._mutex);
    _volume = std::clamp(millibels, kVolumeMin, kVolumeMax);
}

long SoundBuffer::volume() const {
    std::lock_guard<std::mutex> lock(_device._mutex);
    return _volume;
}

void SoundBuffer::setPan(long millibels) {
    std::lock_guard<std::mutex> lock(_device._mutex);
    _pan = std::clamp(millibels, kPanLeft, kPanRight);
}

long SoundBuffer::pan() const {
    std::lock_guard<std::mutex> lock(_device._mutex);
    return _pan;
}

BufferStatus SoundBuffer::status() const {
    std::lock_guard<std::mutex> lock(_device._mutex);
    return {_playing, _playing && _looping};
}

uint8_t *SoundBuffer::lock(uint32_t offset, uint32_t bytes, bool whole, uint32_t *lockedBytes) {
    std::lock_guard<std::mutex> lock(_device._mutex);
    if (lockedBytes)
        *lockedBytes = 0;
    if (whole) {
        offset = 0;
        bytes = _size;
    }
    if (_lost || bytes == 0 || offset > _size || bytes > _size - offset)
        return nullptr;
    Lock &copy = _locks.emplace_back();
    copy.offset = offset;
    copy.copy.assign(_data.begin() + offset, _data.begin() + offset + bytes);
    if (lockedBytes)
        *lockedBytes = bytes;
    return copy.copy.data();
}

void SoundBuffer::unlock(uint8_t *locked) {
    std::lock_guard<std::mutex> lock(_device._mutex);
    auto it = std::find_if(_locks.begin(), _locks.end(),
                           [locked](const Lock &l) { return l.copy.data() == locked; });
    if (it == _locks.end())
        return;
    if (!_lost)
        std::memcpy(_data.data() + it->offset, it->copy.data(), it->copy.size());
    _locks.erase(it);
}

Result SoundBuffer::restore() {
    std::lock_guard<std::mutex> lock(_device._mutex);
    if (_lost) {
        _lost = false;
        std::fill(_data.begin(), _data.end(), _format.bitsPerSample == 8 ? 0x80 : 0);
    }
    return Result::ok;
}

void SoundBuffer::loseMemory() {
    std::lock_guard<std::mutex> lock(_device._mutex);
    _lost = true;
    _playing = false;
}

bool SoundBuffer::setNotifications(const std::vector<Notification> &positions) {
    std::lock_guard<std::mutex> lock(_device._mutex);
    if (!_canNotify && !positions.empty())
        return false;
    for (const Notification &n : positions)
        if (!n.event || n.offset >= _size)
            return false;
    _notifications = positions;
    _notificationFrames.clear();
    for (const Notification &n : positions)
        _notificationFrames.push_back(n.offset / _format.blockAlign);
    return true;
}

void SoundBuffer::fireAt(uint64_t frame) const {
    for (size_t i = 0; i < _notifications.size(); ++i)
        if (_notificationFrames[i] == frame)
            _notifications[i].event->signal();
}

// Signals every notification whose frame lies in (fromFrame, toFrame].
void SoundBuffer::fireCrossed(uint64_t fromFrame, uint64_t toFrame) const {
    for (size_t i = 0; i < _notifications.size(); ++i)
        if (_notificationFrames[i] > fromFrame && _notificationFrames[i] <= toFrame)
            _notifications[i].event->signal();
}

inline float SoundBuffer::sampleAt(uint64_t frame, int channel) const {
    size_t at = frame * _format.blockAlign;
    if (_format.bitsPerSample == 8)
        return (static_cast<int>(_data[at + channel]) - 128) * (1.0f / 128.0f);
    at += channel * 2u;
    int16_t value = static_cast<int16_t>(_data[at] | (_data[at + 1] << 8));
    return value * (1.0f / 32768.0f);
}

void SoundBuffer::mixInto(float *accumulator, int frames) {
    if (!_playing || _lost || _frames == 0)
        return;
    const float gain = gainOf(_volume);
    const float gainLeft = gain * (_pan > 0 ? gainOf(-_pan) : 1.0f);
    const float gainRight = gain * (_pan < 0 ? gainOf(_pan) : 1.0f);
    const int right = _format.channels == 2 ? 1 : 0;
    const uint64_t end = _frames << 32;
    constexpr uint64_t kOneFrame = uint64_t{1} << 32;

    for (int f = 0; f < frames;) {
        if (_step == kOneFrame && (_position & 0xffffffffu) == 0) {
            // At the device's own rate each output frame is the next source frame: mix the run up to
            // the end of the buffer in one go, with the same sums and the same signals as frame by
            // frame (the mix holds the device lock, so nobody sees a signal before the run is mixed).
            const uint64_t index = _position >> 32;
            const int run =
                static_cast<int>(std::min<uint64_t>(static_cast<uint64_t>(frames - f), _frames - index));
            if (gain > 0.0f) {
                float *out = accumulator + 2 * f;
                for (int k = 0; k < run; ++k) {
                    out[2 * k] += sampleAt(index + k, 0) * gainLeft;
                    out[2 * k + 1] += sampleAt(index + k, right) * gainRight;
                }
            }
            f += run;
            const uint64_t reached = index + static_cast<uint64_t>(run);
            if (reached < _frames) {
                fireCrossed(index, reached);
                _position = reached << 32;
                continue;
            }
            fireCrossed(index, _frames - 1);
            if (!_looping) {
                _playing = false;
                _position = 0;
                return;
            }
            _position = 0;
            fireAt(0);
            continue;
        }
        const uint64_t index = _position >> 32;
        // Linear interpolation towards the next frame; the frame after the last is the first one
        // when looping, else the last frame is held.
        const uint64_t next = index + 1 < _frames ? index + 1 : (_looping ? 0 : index);
        const float frac = static_cast<float>(_position & 0xffffffffu) * (1.0f / 4294967296.0f);
        if (gain > 0.0f && frac == 0.0f) {
            // Exactly on a frame: the same sum from half the reads.
            accumulator[2 * f] += sampleAt(index, 0) * gainLeft;
            accumulator[2 * f + 1] += sampleAt(index, right) * gainRight;
        } else if (gain > 0.0f) {
            const float l0 = sampleAt(index, 0), l1 = sampleAt(next, 0);
            const float r0 = sampleAt(index, right), r1 = sampleAt(next, right);
            accumulator[2 * f] += (l0 + (l1 - l0) * frac) * gainLeft;
            accumulator[2 * f + 1] += (r0 + (r1 - r0) * frac) * gainRight;
        }
        ++f;
        uint64_t newPosition = _position + _step;
        const uint64_t newIndex = newPosition >> 32;
        if (newIndex != index) {
            if (newPosition >= end) {
                fireCrossed(index, _frames - 1);
                if (!_looping) {
                    _playing = false;
                    _position = 0;
                    return;
                }
                newPosition %= end;
                // Wrapping round reaches offset 0 and everything up to the new frame.
                fireAt(0);
                fireCrossed(0, newPosition >> 32);
            } else {
                fireCrossed(index, newIndex);
            }
        }
        _position = newPosition;
    }
}

// ---- RealTimePacer ----

RealTimePacer::Clock::duration RealTimePacer::beforeRequest(Clock::time_point now, int frames) {
    using std::chrono::nanoseconds;
    const auto framesToTime = [this](uint64_t count) {
        return std::chrono::duration_cast<Clock::duration>(
            nanoseconds(count * 1'000'000'000ull / _frameRate));
    };
    if (frames <= 0)
        return Clock::duration::zero();
    if (!_pacing) {
        // A device that plays what it is given asks again about one piece of sound later; one that
        // asks again within an eighth of that, sixteen times running, is not playing anything.
        constexpr int kQuickRequestsBeforePacing = 16;
        const bool quick =
            _lastRequest != Clock::time_point{} && now - _lastRequest < framesToTime(frames) / 8;
        _quickRequests = quick ? _quickRequests + 1 : 0;
        _lastRequest = now;
        if (_quickRequests < kQuickRequestsBeforePacing)
            return Clock::duration::zero();
        _pacing = true;
        _origin = now;
        _framesSinceOrigin = 0;
    }
    const Clock::time_point due = _origin + framesToTime(_framesSinceOrigin);
    _framesSinceOrigin += static_cast<uint64_t>(frames);
    if (due > now)
        return due - now;
    if (now - due > std::chrono::seconds(1)) {
        // Far behind (the machine stalled): carry on from now instead of rushing to catch up.
        _origin = now;
        _framesSinceOrigin = static_cast<uint64_t>(frames);
    }
    return Clock::duration::zero();
}

// ---- Device ----

std::unique_ptr<Device> Device::open() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return nullptr;
    std::unique_ptr<Device> device(new Device());
    SDL_AudioSpec want{};
    want.freq = kDeviceRate;
    want.format = AUDIO_S16SYS;
    want.channels = kDeviceChannels;
    want.samples = kCallbackFrames;
    want.callback = &Device::sdlCallback;
    want.userdata = device.get();
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts our fixed output format to whatever the hardware wants.
    device->_id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    // On failure the device's destructor gives the audio subsystem back, once: a second quit would
    // also take away the event subsystem that the window relies on for its mouse buttons.
    if (device->_id == 0)
        return nullptr;
    if (!_pulledByHand)
        SDL_PauseAudioDevice(device->_id, 0);
    return device;
}

Device::~Device() {
    // Closing waits for a running callback, so no mix runs after this.
    if (_id != 0)
        SDL_CloseAudioDevice(_id);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Device::setPulledByHand(bool byHand) {
    _pulledByHand = byHand;
}

int Device::bufferCount() const {
    std::lock_guard<std::mutex> lock(_mutex);
    return static_cast<int>(_buffers.size());
}

std::unique_ptr<SoundBuffer> Device::createBuffer(const Format &format, uint32_t bytes, bool notify) {
    if (!format.isPlayable() || bytes == 0 || bytes > kMaxBufferBytes)
        return nullptr;
    std::unique_ptr<SoundBuffer> buffer(new SoundBuffer(*this, format, bytes, notify));
    std::lock_guard<std::mutex> lock(_mutex);
    _buffers.push_back(buffer.get());
    return buffer;
}

void Device::mix(int16_t *out, int frames) {
    if (frames <= 0)
        return;
    std::lock_guard<std::mutex> lock(_mutex);
    _accumulator.assign(static_cast<size_t>(frames) * kDeviceChannels, 0.0f);
    for (SoundBuffer *buffer : _buffers)
        buffer->mixInto(_accumulator.data(), frames);
    for (size_t i = 0; i < _accumulator.size(); ++i) {
        long value = std::lrint(_accumulator[i] * 32768.0f);
        out[i] = static_cast<int16_t>(std::clamp(value, -32768L, 32767L));
    }
}

void Device::sdlCallback(void *userdata, Uint8 *stream, int len) {
    auto *device = static_cast<Device *>(userdata);
    const int frames = len / (2 * kDeviceChannels);
    const auto wait = device->_pacer.beforeRequest(RealTimePacer::Clock::now(), frames);
    if (wait > RealTimePacer::Clock::duration::zero())
        std::this_thread::sleep_for(wait);
    device->mix(reinterpret_cast<int16_t *>(stream), frames);
}

// Settled: no notification event is pending and each notifying buffer has a thread waiting on one of
// its events again.
bool Device::feedersSettled() const {
    std::lock_guard<std::mutex> lock(_mutex);
    for (const SoundBuffer *buffer : _buffers) {
        if (buffer->_notifications.empty())
            continue;
        bool waiting = false;
        for (const Notification &n : buffer->_notifications) {
            if (n.event->isSignalled())
                return false;
            waiting = waiting || n.event->waiters() > 0;
        }
        if (!waiting)
            return false;
    }
    return true;
}

void Device::render(int16_t *out, int frames) {
    mix(out, frames);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!feedersSettled() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
}

} // namespace audio
