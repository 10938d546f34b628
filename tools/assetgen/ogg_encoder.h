// Ogg Vorbis encoding through libvorbisenc, header-only so that the sound tests and benchmarks encode
// their own sounds with the generator's code.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace assetgen {

struct OggSettings {
    int rate = 44100;
    float quality = 0.6f;             // -0.1 .. 1.0
    int serialNumber = 0x51524958;    // "QRIX": fixed, so the bytes are the same on every build
    const char *encoderTag = nullptr; // the ENCODER comment, if any
    int pageBytes = 0;                // 0: libogg's own page size; otherwise pages of about this many bytes
};

// Mono (channels 1) or interleaved stereo float samples in -1..1 as an Ogg Vorbis file image.
inline std::vector<uint8_t> encodeOgg(const std::vector<float> &interleaved, int channels,
                                      const OggSettings &settings = {}) {
    constexpr size_t kChunkFrames = 4096;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, settings.rate, settings.quality) != 0) {
        vorbis_info_clear(&info);
        throw std::runtime_error("vorbis encoder refused its settings");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    if (settings.encoderTag)
        vorbis_comment_add_tag(&comment, "ENCODER", settings.encoderTag);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, settings.serialNumber);

    std::vector<uint8_t> out;
    ogg_page page;
    const auto append = [&out, &page] {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    while (ogg_stream_flush(&stream, &page) != 0)
        append();

    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    size_t done = 0;
    for (bool ended = false; !ended;) {
        const size_t count = std::min(kChunkFrames, frames - done);
        if (count == 0) {
            vorbis_analysis_wrote(&dsp, 0); // end of stream
        } else {
            float **buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (size_t i = 0; i < count; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] =
                        interleaved[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)];
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            done += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while ((settings.pageBytes > 0 ? ogg_stream_pageout_fill(&stream, &page, settings.pageBytes)
                                               : ogg_stream_pageout(&stream, &page)) != 0) {
                    append();
                    ended = ended || ogg_page_eos(&page) != 0;
                }
            }
        }
        if (count == 0) {
            while (ogg_stream_flush(&stream, &page) != 0)
                append();
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

} // namespace assetgen
