// Sounds made on the spot for the sound tests and benchmarks: tones, WAV images, Ogg Vorbis
// encoding, a scratch folder, and measurements of mixed output.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace soundtest {

// Interleaved samples in -1..1.
struct Pcm {
    int rate = 44100;
    int channels = 1;
    std::vector<float> samples;
    size_t frames() const { return samples.size() / channels; }
};

// A sine of the given frequency; the amplitude may change along the sound (envelope of the frame).
template <typename Envelope>
inline Pcm tone(int rate, int channels, double seconds, double frequency, Envelope amplitude) {
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    size_t frames = static_cast<size_t>(seconds * rate);
    pcm.samples.resize(frames * channels);
    for (size_t f = 0; f < frames; ++f) {
        double value = amplitude(f) * std::sin(2.0 * M_PI * frequency * static_cast<double>(f) / rate);
        for (int c = 0; c < channels; ++c)
            pcm.samples[f * channels + c] = static_cast<float>(value);
    }
    return pcm;
}

inline Pcm tone(int rate, int channels, double seconds, double frequency, double amplitude) {
    return tone(rate, channels, seconds, frequency, [amplitude](size_t) { return amplitude; });
}

inline void putLe(std::vector<uint8_t> &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> pcmBytes(const Pcm &pcm, int bits) {
    std::vector<uint8_t> out;
    for (float s : pcm.samples) {
        if (bits == 8) {
            out.push_back(static_cast<uint8_t>(std::lround(128.0 + std::clamp(s, -1.0f, 1.0f) * 127.0)));
        } else {
            long v = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0);
            putLe(out, static_cast<uint32_t>(static_cast<int16_t>(v)) & 0xffff, 2);
        }
    }
    return out;
}

// A canonical RIFF/WAVE image: "fmt " (16 bytes) then "data".
inline std::vector<uint8_t> wavImage(const Pcm &pcm, int bits) {
    std::vector<uint8_t> data = pcmBytes(pcm, bits);
    std::vector<uint8_t> out;
    int block = pcm.channels * bits / 8;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putLe(out, static_cast<uint32_t>(36 + data.size()), 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(out, 16, 4);
    putLe(out, 1, 2);
    putLe(out, pcm.channels, 2);
    putLe(out, pcm.rate, 4);
    putLe(out, pcm.rate * block, 4);
    putLe(out, block, 2);
    putLe(out, bits, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe(out, static_cast<uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// Encodes with libvorbisenc at the given quality (-0.1 .. 1.0), in pages of about a kilobyte so that
// even a short sound spans several pages.
inline std::vector<uint8_t> oggImage(const Pcm &pcm, float quality = 0.6f) {
    std::vector<uint8_t> out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, pcm.channels, pcm.rate, quality) != 0) {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);
    ogg_page page;
    ogg_packet packet;
    auto writePage = [&out](const ogg_page &p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page))
        writePage(page);

    const size_t frames = pcm.frames();
    size_t done = 0;
    bool ended = false;
    while (!ended) {
        size_t chunk = std::min<size_t>(1024, frames - done);
        if (chunk == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float **buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
            for (size_t f = 0; f < chunk; ++f)
                for (int c = 0; c < pcm.channels; ++c)
                    buffer[c][f] = pcm.samples[(done + f) * pcm.channels + c];
            vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
            done += chunk;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout_fill(&stream, &page, 1024)) {
                    writePage(page);
                    if (ogg_page_eos(&page))
                        ended = true;
                }
            }
        }
        if (chunk == 0 && !ended) {
            while (ogg_stream_flush(&stream, &page))
                writePage(page);
            ended = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

// A scratch folder, removed with everything in it at the end.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorix-sound-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()))
            _path = name.data();
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!_path.empty())
            std::filesystem::remove_all(_path, ignored);
    }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const {
        std::string file = (std::filesystem::path(_path) / name).string();
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    std::string path(const std::string &name) const { return (std::filesystem::path(_path) / name).string(); }

private:
    std::string _path;
};

// Stereo output of the mixer, interleaved.
struct Output {
    std::vector<int16_t> samples;
    size_t frames() const { return samples.size() / 2; }
};

// RMS of one channel (0 left, 1 right) over frames [from, to), relative to full scale.
inline double rms(const Output &out, int channel, size_t from, size_t to) {
    double sum = 0;
    to = std::min(to, out.frames());
    if (to <= from)
        return 0;
    for (size_t f = from; f < to; ++f) {
        double v = out.samples[f * 2 + channel] / 32768.0;
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(to - from));
}

inline double decibels(double ratio) {
    return 20.0 * std::log10(ratio);
}

} // namespace soundtest
