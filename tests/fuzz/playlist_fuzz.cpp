// Playlists come from station servers: every parser must take any bytes without crashing, and
// no entry of a network playlist may resolve to anything but a network stream.
#include "platform/player/playlist.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace platform::playlist;
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QUrl base(QStringLiteral("http://radio.example/lists/a.pls"));
    for (const Kind kind : {Kind::Asx, Kind::M3u, Kind::Pls, Kind::AsfReference}) {
        for (const Entry& entry : parse(kind, body)) {
            const auto url = resolveEntry(base, entry.href);
            if (url && !isNetworkUrl(*url)) {
                std::abort();
            }
            expandScheme(entry.href);
        }
    }
    sniff(body, QString::fromLatin1(body.left(64)), Kind::M3u);
    return 0;
}
