#include "tools/assetgen/file_writers.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

namespace assetgen {

namespace {

void putLe16(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xff));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xff));
}

void putLe32(std::vector<uint8_t> &out, uint32_t v) {
    putLe16(out, v & 0xffff);
    putLe16(out, v >> 16);
}

void putTag(std::vector<uint8_t> &out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

constexpr uint8_t kTgaTrueColour = 2;
constexpr uint8_t kTgaTopLeftWith8AlphaBits = 0x28;

} // namespace

void writeBytes(const std::filesystem::path &path, const std::vector<uint8_t> &bytes) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void writeText(const std::filesystem::path &path, const std::string &text) {
    writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void writeTga(const std::filesystem::path &path, const Canvas &canvas) {
    std::vector<uint8_t> out;
    out.reserve(18 + static_cast<size_t>(canvas.width()) * canvas.height() * 4);
    out.push_back(0); // no image id
    out.push_back(0); // no colour map
    out.push_back(kTgaTrueColour);
    out.insert(out.end(), 5, 0); // colour map fields: no colour map
    putLe16(out, 0);             // x origin
    putLe16(out, 0);             // y origin
    putLe16(out, static_cast<uint32_t>(canvas.width()));
    putLe16(out, static_cast<uint32_t>(canvas.height()));
    out.push_back(32);
    out.push_back(kTgaTopLeftWith8AlphaBits);
    for (const Rgba &p : canvas.straightPixels()) {
        out.insert(out.end(), {p.b, p.g, p.r, p.a});
    }
    writeBytes(path, out);
}

void writeBmp(const std::filesystem::path &path, const Canvas &canvas) {
    const uint32_t rowBytes = (static_cast<uint32_t>(canvas.width()) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * static_cast<uint32_t>(canvas.height());
    constexpr uint32_t kHeaderBytes = 14 + 40;
    std::vector<uint8_t> out;
    out.reserve(kHeaderBytes + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    putLe32(out, kHeaderBytes + pixelBytes);
    putLe32(out, 0);
    putLe32(out, kHeaderBytes);
    putLe32(out, 40);
    putLe32(out, static_cast<uint32_t>(canvas.width()));
    putLe32(out, static_cast<uint32_t>(canvas.height())); // positive: rows stored bottom-up
    putLe16(out, 1);
    putLe16(out, 24);
    putLe32(out, 0); // no compression
    putLe32(out, pixelBytes);
    putLe32(out, 2835); // 72 dpi
    putLe32(out, 2835);
    putLe32(out, 0);
    putLe32(out, 0);
    const std::vector<Rgba> pixels = canvas.straightPixels();
    for (int y = canvas.height() - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        for (int x = 0; x < canvas.width(); ++x) {
            const Rgba &p = pixels[static_cast<size_t>(y) * canvas.width() + x];
            // Composite over black, as the picture has no alpha channel.
            auto over = [&p](uint8_t c) { return static_cast<uint8_t>((c * p.a + 127) / 255); };
            out.insert(out.end(), {over(p.b), over(p.g), over(p.r)});
        }
        out.resize(rowStart + rowBytes, 0);
    }
    writeBytes(path, out);
}

void writePng(const std::filesystem::path &path, const Canvas &canvas) {
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path());
    }
    cairo_surface_flush(canvas.surface());
    if (cairo_surface_write_to_png(canvas.surface(), path.c_str()) != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

int16_t toPcm16(float sample) {
    const float scaled = std::round(sample * 32767.0f);
    return static_cast<int16_t>(std::fmax(-32767.0f, std::fmin(32767.0f, scaled)));
}

void writeWav(const std::filesystem::path &path, const std::vector<float> &samples, int sampleRate) {
    constexpr uint32_t kChannels = 1;
    constexpr uint32_t kBytesPerSample = 2;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size()) * kBytesPerSample * kChannels;
    std::vector<uint8_t> out;
    putTag(out, "RIFF");
    putLe32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putLe32(out, 16);
    putLe16(out, 1); // PCM
    putLe16(out, kChannels);
    putLe32(out, static_cast<uint32_t>(sampleRate));
    putLe32(out, static_cast<uint32_t>(sampleRate) * kChannels * kBytesPerSample);
    putLe16(out, kChannels * kBytesPerSample);
    putLe16(out, 16);
    putTag(out, "data");
    putLe32(out, dataBytes);
    for (float s : samples) {
        putLe16(out, static_cast<uint16_t>(toPcm16(s)));
    }
    writeBytes(path, out);
}

} // namespace assetgen
