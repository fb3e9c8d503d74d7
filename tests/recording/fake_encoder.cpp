// A stand-in encoder library with the same four entry points. Each encoded block comes out as
// the block's sample count (4 bytes, little-endian) and the flush as "END!", so the output file
// is a log of what the driver handed over. Results and block size come from the environment.
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

std::uint32_t fromEnv(const char* name, std::uint32_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0'
               ? static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10))
               : fallback;
}

constexpr std::uint32_t kStream = 7;

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT std::uint32_t beInitStream(const void*, std::uint32_t* samples,
                                       std::uint32_t* bufferSize, std::uint32_t* stream) {
    const std::uint32_t result = fromEnv("ZV_FAKE_INIT", 0);
    if (result == 0) {
        *samples = fromEnv("ZV_FAKE_SAMPLES", 2304);
        *bufferSize = 16;
        *stream = kStream;
    }
    return result;
}

FAKE_EXPORT std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t samples,
                                        const std::int16_t*, std::uint8_t* output,
                                        std::uint32_t* bytes) {
    if (stream != kStream) {
        return 4;
    }
    std::memcpy(output, &samples, 4);
    *bytes = 4;
    return fromEnv("ZV_FAKE_ENCODE", 0);
}

FAKE_EXPORT std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                                         std::uint32_t* bytes) {
    if (stream != kStream) {
        return 4;
    }
    std::memcpy(output, "END!", 4);
    *bytes = 4;
    return 0;
}

FAKE_EXPORT std::uint32_t beCloseStream(std::uint32_t stream) {
    return stream == kStream ? 0 : 4;
}
