#pragma once

// The encoder library's C interface as both sides see it: the four entry points, their result
// codes and the 331-byte configuration record, packed and little-endian. Both sides read and
// write the record field by field, so no struct layout or packing pragma is involved.

#include <array>
#include <cstddef>
#include <cstdint>

namespace be {

enum Result : std::uint32_t {
    kOk = 0,
    kInvalidFormat = 1,            // the record's layout is not one the library reads
    kInvalidFormatParameters = 2,  // a value in it, or an argument, cannot be honoured
    kNoMoreHandles = 3,
    kInvalidHandle = 4,
    kBufferTooSmall = 5,
};

constexpr std::uint32_t kConfigKindExtended = 256;
constexpr std::uint32_t kConfigVersion = 1;
constexpr std::size_t kConfigSize = 331;

// The record's fields, in their order.
struct LameConfig {
    std::uint32_t kind = kConfigKindExtended;
    std::uint32_t version = kConfigVersion;
    std::uint32_t size = kConfigSize;
    std::uint32_t sampleRate = 0;
    std::uint32_t outSampleRate = 0;
    std::int32_t mode = 0;
    std::uint32_t bitrate = 0;
    std::uint32_t maxBitrate = 0;
    std::int32_t preset = 0;
    std::uint32_t mpegVersion = 0;
    std::uint32_t psyModel = 0;
    std::uint32_t emphasis = 0;
    std::uint32_t privateFlag = 0;
    std::uint32_t crc = 0;
    std::uint32_t copyright = 0;
    std::uint32_t original = 0;
    std::uint32_t writeVbrHeader = 0;
    std::uint32_t enableVbr = 0;
    std::int32_t vbrQuality = 0;
    std::uint32_t abrBitrate = 0;
    std::uint32_t vbrMethod = 0;
    std::uint32_t noReservoir = 0;
    std::uint32_t strictIso = 0;
    std::uint16_t quality = 0;
};

using ConfigBytes = std::array<std::uint8_t, kConfigSize>;

namespace detail {

inline void put(ConfigBytes& out, std::size_t at, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint32_t get(const std::uint8_t* in, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i) {
        value |= static_cast<std::uint32_t>(in[at + static_cast<std::size_t>(i)]) << (8 * i);
    }
    return value;
}

}  // namespace detail

// Header fields come first so that a reader can check them before it touches the rest.
constexpr std::size_t kHeaderBytes = 12;

inline ConfigBytes pack(const LameConfig& c) {
    ConfigBytes out{};
    const std::uint32_t fields[] = {
        c.kind,
        c.version,
        c.size,
        c.sampleRate,
        c.outSampleRate,
        static_cast<std::uint32_t>(c.mode),
        c.bitrate,
        c.maxBitrate,
        static_cast<std::uint32_t>(c.preset),
        c.mpegVersion,
        c.psyModel,
        c.emphasis,
        c.privateFlag,
        c.crc,
        c.copyright,
        c.original,
        c.writeVbrHeader,
        c.enableVbr,
        static_cast<std::uint32_t>(c.vbrQuality),
        c.abrBitrate,
        c.vbrMethod,
        c.noReservoir,
        c.strictIso,
    };
    std::size_t at = 0;
    for (std::uint32_t f : fields) {
        detail::put(out, at, f, 4);
        at += 4;
    }
    detail::put(out, at, c.quality, 2);
    return out;
}

// Reads all fields from the first kConfigSize bytes at in.
inline LameConfig unpack(const std::uint8_t* in) {
    LameConfig c;
    std::uint32_t* const fields[] = {
        &c.kind,      &c.version,        &c.size,        &c.sampleRate, &c.outSampleRate,
        nullptr,      &c.bitrate,        &c.maxBitrate,  nullptr,       &c.mpegVersion,
        &c.psyModel,  &c.emphasis,       &c.privateFlag, &c.crc,        &c.copyright,
        &c.original,  &c.writeVbrHeader, &c.enableVbr,   nullptr,       &c.abrBitrate,
        &c.vbrMethod, &c.noReservoir,    &c.strictIso,
    };
    std::size_t at = 0;
    for (std::uint32_t* f : fields) {
        if (f != nullptr) {
            *f = detail::get(in, at, 4);
        }
        at += 4;
    }
    c.mode = static_cast<std::int32_t>(detail::get(in, 20, 4));
    c.preset = static_cast<std::int32_t>(detail::get(in, 32, 4));
    c.vbrQuality = static_cast<std::int32_t>(detail::get(in, 72, 4));
    c.quality = static_cast<std::uint16_t>(detail::get(in, 92, 2));
    return c;
}

}  // namespace be

extern "C" {

// Entry points (all return a be::Result). Samples are 16-bit, interleaved stereo; counts of
// samples are both channels together.
using beInitStream_t = std::uint32_t (*)(const void* config, std::uint32_t* samplesPerBlock,
                                         std::uint32_t* outputBufferSize, std::uint32_t* stream);
using beEncodeChunk_t = std::uint32_t (*)(std::uint32_t stream, std::uint32_t samples,
                                          const std::int16_t* pcm, std::uint8_t* output,
                                          std::uint32_t* outputBytes);
using beDeinitStream_t = std::uint32_t (*)(std::uint32_t stream, std::uint8_t* output,
                                           std::uint32_t* outputBytes);
using beCloseStream_t = std::uint32_t (*)(std::uint32_t stream);
}
