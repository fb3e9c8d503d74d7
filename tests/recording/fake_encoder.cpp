// A stand-in encoder library with the same four entry points. Each encoded block comes out as one
// 104-byte MPEG-1 Layer III frame (32 kbit/s at 44100 Hz) whose body holds the block's sample
// count and its first sample, and the flush as one such frame holding "END!", so the output file
// is a log of what the driver handed over that can be cut into frames like a real one. Results,
// block size, a failing stream and a delay come from the environment.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

namespace {

std::uint32_t fromEnv(const char* name, std::uint32_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0'
               ? static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10))
               : fallback;
}

constexpr std::uint32_t kFrameBytes = 104;
constexpr std::uint32_t kFirstStream = 7;

std::mutex mutex;
std::set<std::uint32_t> open;
std::uint32_t next = kFirstStream;
std::atomic<std::uint32_t> blocks{0};

bool isOpen(std::uint32_t stream) {
    const std::lock_guard lock(mutex);
    return open.count(stream) != 0;
}

void frame(std::uint8_t* output, const void* body, std::uint32_t* bytes) {
    std::memset(output, 0, kFrameBytes);
    const std::uint8_t header[] = {0xFF, 0xFB, 0x10, 0x00};
    std::memcpy(output, header, 4);
    std::memcpy(output + 4, body, 8);
    *bytes = kFrameBytes;
}

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT std::uint32_t beInitStream(const void*, std::uint32_t* samples,
                                       std::uint32_t* bufferSize, std::uint32_t* stream) {
    const std::uint32_t result = fromEnv("ZV_FAKE_INIT", 0);
    if (result == 0) {
        const std::lock_guard lock(mutex);
        // ZV_FAKE_STREAMS limits how many streams may be open at once.
        if (open.size() >= fromEnv("ZV_FAKE_STREAMS", 64)) {
            return 3;
        }
        // Numbered afresh for every conversion, so that a test can name the stream of a segment.
        if (open.empty()) {
            next = kFirstStream;
        }
        *samples = fromEnv("ZV_FAKE_SAMPLES", 2304);
        *bufferSize = kFrameBytes;
        *stream = next++;
        open.insert(*stream);
    }
    return result;
}

// ZV_FAKE_ENCODE: the result of every call; ZV_FAKE_FAIL_STREAM: the n-th stream opened (1 is
// the first of a conversion) fails its first block with result 2; ZV_FAKE_DELAY_US: a pause in
// every call that does not fail.
FAKE_EXPORT std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t samples,
                                        const std::int16_t* pcm, std::uint8_t* output,
                                        std::uint32_t* bytes) {
    if (!isOpen(stream)) {
        return 4;
    }
    const std::uint32_t failing = fromEnv("ZV_FAKE_FAIL_STREAM", 0);
    if (failing != 0 && stream == kFirstStream + failing - 1) {
        *bytes = 0;
        return 2;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(fromEnv("ZV_FAKE_DELAY_US", 0)));
    const std::int32_t body[] = {static_cast<std::int32_t>(samples), samples > 0 ? pcm[0] : -1};
    frame(output, body, bytes);
    ++blocks;
    return fromEnv("ZV_FAKE_ENCODE", 0);
}

FAKE_EXPORT std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                                         std::uint32_t* bytes) {
    if (!isOpen(stream)) {
        return 4;
    }
    frame(output, "END!\0\0\0\0", bytes);
    return 0;
}

FAKE_EXPORT std::uint32_t beCloseStream(std::uint32_t stream) {
    const std::lock_guard lock(mutex);
    return open.erase(stream) == 1 ? 0 : 4;
}

// For the tests: how many streams are open now, and how many blocks were encoded so far.
FAKE_EXPORT std::uint32_t fakeOpenStreams() {
    const std::lock_guard lock(mutex);
    return static_cast<std::uint32_t>(open.size());
}

FAKE_EXPORT std::uint32_t fakeEncodedBlocks() {
    return blocks;
}
