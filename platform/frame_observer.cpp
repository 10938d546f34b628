#include "platform/frame_observer.h"

#include "platform/display.h"

namespace platform {

static FrameObserver observer;
static uint64_t framesEnded = 0;

std::vector<uint32_t> Frame::pixels() const {
    if (cache_.empty() && !Display::readShownPicture(cache_))
        cache_.clear();
    return cache_;
}

uint32_t Frame::pixel(int x, int y) const {
    pixels();
    if (x < 0 || y < 0 || x >= Display::width() || y >= Display::height() || cache_.empty())
        return 0;
    return cache_[static_cast<size_t>(y) * Display::width() + x];
}

bool Frame::savePNG(const char *path) const {
    pixels();
    return savePicturePNG(cache_, Display::width(), Display::height(), path);
}

void setFrameObserver(FrameObserver newObserver) {
    observer = std::move(newObserver);
    if (observer)
        Input::setScripted(true);
}

uint64_t notifyFrame(bool drawn) {
    ++framesEnded;
    // The frame is out: a scripted press meant for it lets go before the script sets the next one.
    Input::frameEnded();
    if (observer) {
        Frame frame(framesEnded, drawn);
        observer(frame);
    }
    return framesEnded;
}

uint64_t frameCount() {
    return framesEnded;
}

} // namespace platform
