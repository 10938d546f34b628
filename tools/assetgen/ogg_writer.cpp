#include "tools/assetgen/ogg_writer.h"

#include "tools/assetgen/file_writers.h"
#include "tools/assetgen/ogg_encoder.h"

namespace assetgen {

void writeOgg(const std::filesystem::path &path, const Samples &interleaved, int channels, float quality) {
    OggSettings settings;
    settings.rate = kSampleRate;
    settings.quality = quality;
    settings.encoderTag = "quorix assetgen";
    writeBytes(path, encodeOgg(interleaved, channels, settings));
}

} // namespace assetgen
