#include "platform/frame_observer.h"

#include "platform/display.h"

namespace platform {

static FrameObserver observer;
static uint64_t framesPresented = 0;

std::vector<uint32_t> Frame::pixels() const {
    if (cache_.empty() && Display::readBackBuffer(cache_))
        for (uint32_t &p : cache_)
            p |= 0xFF000000u;
    return cache_;
}

uint32_t Frame::pixel(int x, int y) const {
    pixels();
    if (x < 0 || y < 0 || x >= Display::width() || y >= Display::height() || cache_.empty())
        return 0;
    return cache_[static_cast<size_t>(y) * Display::width() + x];
}

bool Frame::savePNG(const char *path) const {
    return Display::saveBackBufferPNG(path);
}

void setFrameObserver(FrameObserver newObserver) {
    observer = std::move(newObserver);
    if (observer)
        Input::setScripted(true);
}

uint64_t notifyFrame() {
    ++framesPresented;
    // The frame is out: a scripted press meant for it lets go before the script sets the next one.
    Input::frameEnded();
    if (observer) {
        Frame frame(framesPresented);
        observer(frame);
    }
    return framesPresented;
}

uint64_t frameCount() {
    return framesPresented;
}

} // namespace platform
