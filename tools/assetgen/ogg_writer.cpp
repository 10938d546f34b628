#include "tools/assetgen/ogg_writer.h"

#include <vorbis/vorbisenc.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "tools/assetgen/file_writers.h"

namespace assetgen {

namespace {

constexpr int kSerialNumber = 0x51524958; // "QRIX"
constexpr int kChunkFrames = 4096;

void appendPage(std::vector<uint8_t> &out, const ogg_page &page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

} // namespace

void writeOgg(const std::filesystem::path &path, const Samples &interleaved, int channels, float quality) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, kSampleRate, quality) != 0) {
        vorbis_info_clear(&info);
        throw std::runtime_error("vorbis encoder refused its settings");
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "quorix assetgen");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, kSerialNumber);

    std::vector<uint8_t> out;
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) {
        appendPage(out, page);
    }

    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool ended = false;
    while (!ended) {
        const size_t count = std::min<size_t>(kChunkFrames, frames - done);
        if (count == 0) {
            vorbis_analysis_wrote(&dsp, 0); // end of stream
        } else {
            float **buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (size_t i = 0; i < count; ++i) {
                for (int c = 0; c < channels; ++c) {
                    buffer[c][i] =
                        interleaved[(done + i) * static_cast<size_t>(channels) + static_cast<size_t>(c)];
                }
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            done += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    appendPage(out, page);
                    if (ogg_page_eos(&page) != 0) {
                        ended = true;
                    }
                }
            }
        }
        if (count == 0) {
            while (ogg_stream_flush(&stream, &page) != 0) {
                appendPage(out, page);
            }
            ended = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    writeBytes(path, out);
}

} // namespace assetgen
