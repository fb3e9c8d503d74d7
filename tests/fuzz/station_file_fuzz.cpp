// Any bytes as a station file, and any text as one encoded line: nothing may crash or hang.
#include "common/ModRegistry.h"
#include "stations/StationFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const StationEntry& s : ParseStationFile(bytes)) {
        // What was accepted must encode again and come back the same.
        StationEntry again;
        if (!s.name.isEmpty() && !s.url.isEmpty() && !s.name.contains(QStringLiteral("==>")) &&
            !s.url.contains(QStringLiteral("==>"))) {
            const bool ok = ParseStationLine(
                EncodeStationLine(s.name + QStringLiteral(" ==> ") + s.url), &again);
            if (!ok || again.name != s.name.trimmed() || again.url != s.url.trimmed()) {
                __builtin_trap();
            }
        }
    }
    DecodeStationLine(QString::fromUtf8(bytes));
    return 0;
}
