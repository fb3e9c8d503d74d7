#include "stations/StationFile.h"

#include "common/ModRegistry.h"
#include "platform/ui/error.h"

#include <QSaveFile>

bool ParseStationLine(const QString& encodedLine, StationEntry* entry) {
    const QString decoded = DecodeStationLine(encodedLine);
    if (decoded.trimmed().isEmpty()) {
        return false;
    }
    const QStringList parts = decoded.split(QStringLiteral("==>"));
    if (parts.size() != 2) {
        return false;
    }
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String("0")) {
            return false;
        }
    }
    entry->name = parts[0].trimmed();
    entry->url = parts[1].trimmed();
    return true;
}

std::vector<StationEntry> ParseStationFile(const QByteArray& bytes) {
    std::vector<StationEntry> stations;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n') {
            ++end;
        }
        StationEntry entry;
        // The encoded text is plain digits; any other byte simply fails to decode.
        if (end > start &&
            ParseStationLine(QString::fromLatin1(bytes.constData() + start, end - start), &entry)) {
            stations.push_back(std::move(entry));
        }
        if (end < size && bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
    return stations;
}

void WriteStationFile(const QString& path, const QStringList& names, const QStringList& urls) {
    QSaveFile file(path);
    auto fail = [&](const QString& why) {
        throw platform::Error(
            75, platform::programName(),
            QStringLiteral("The station file \"%1\" could not be written: %2").arg(path, why));
    };
    if (!file.open(QIODevice::WriteOnly)) {
        fail(file.errorString());
    }
    const qsizetype count = std::min(names.size(), urls.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArray line = (EncodeStationLine(names[i] + QStringLiteral(" ==> ") + urls[i]) +
                                 QStringLiteral("\r\n"))
                                    .toLatin1();
        if (file.write(line) != line.size()) {
            const QString why = file.errorString();
            file.cancelWriting();
            fail(why);
        }
    }
    if (!file.commit()) {
        fail(file.errorString());
    }
}

const std::vector<StationEntry>& DefaultStations() {
    // Long-lived public streams of similar stations; the same address stands where two
    // built-in stations share one.
    static const std::vector<StationEntry> stations = {
        {QStringLiteral("RadioTarana-NewZealand"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio001/playlist.m3u8")},
        {QStringLiteral("RadioOfIndia - Bollywood"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio002/playlist.m3u8")},
        {QStringLiteral("RadioSuno - FunAsia"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio003/playlist.m3u8")},
        {QStringLiteral("DTRadio - CrazeFM"),
         QStringLiteral("http://stream.radioparadise.com/mp3-128")},
        {QStringLiteral("RadioOfIndia - Bhajans"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio005/playlist.m3u8")},
        {QStringLiteral("RadioOfIndia - Classical"),
         QStringLiteral("http://stream.srg-ssr.ch/m/rsc_de/mp3_128")},
        {QStringLiteral("Sabras radio - UK"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio006/playlist.m3u8")},
        {QStringLiteral("RadioTeenTaal - Paris"),
         QStringLiteral("http://icecast.radiofrance.fr/fip-midfi.mp3")},
        {QStringLiteral("ApnaRadio - USA"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio007/playlist.m3u8")},
        {QStringLiteral("BombayBeats FM"), QStringLiteral("https://somafm.com/beatblender.pls")},
        {QStringLiteral("Yarr Radio - UK"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio008/playlist.m3u8")},
        {QStringLiteral("Radio XL - UK"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio009/playlist.m3u8")},
        {QStringLiteral("Asian Sound Radio - UK"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio010/playlist.m3u8")},
        {QStringLiteral("Sanskar Radio - UK"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio011/playlist.m3u8")},
        {QStringLiteral("Trishul 90.5 FM"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio012/playlist.m3u8")},
        {QStringLiteral("Radio India - Canada"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio013/playlist.m3u8")},
        {QStringLiteral("City 101.6 FM - Dubai"),
         QStringLiteral("https://somafm.com/groovesalad.pls")},
        {QStringLiteral("AajKal - Asian Network"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio014/playlist.m3u8")},
        {QStringLiteral("BBC News"),
         QStringLiteral("http://a.files.bbci.co.uk/media/live/manifesto/audio/simulcast/hls/nonuk/"
                        "sbr_low/ak/bbc_world_service.m3u8")},
        {QStringLiteral("Arabian Radio City"),
         QStringLiteral("https://somafm.com/groovesalad.pls")},
        {QStringLiteral("Energy 1.FM"), QStringLiteral("https://somafm.com/beatblender.pls")},
        {QStringLiteral("Gujarati News Video"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio015/playlist.m3u8")},
        {QStringLiteral("Rock Metal - English"), QStringLiteral("https://somafm.com/metal.pls")},
        {QStringLiteral("Station X - English"),
         QStringLiteral("https://kexp-mp3-128.streamguys1.com/kexp128.mp3")},
        {QStringLiteral("Club 1 - English"), QStringLiteral("https://somafm.com/poptron.pls")},
        {QStringLiteral("Jamz - Hip Hop - English"),
         QStringLiteral("https://somafm.com/fluid.pls")},
        {QStringLiteral("Top 40 - English"),
         QStringLiteral("http://icecast.omroep.nl/radio2-bb-mp3")},
        {QStringLiteral("90's - English"), QStringLiteral("https://somafm.com/u80s.pls")},
        {QStringLiteral("Trance - English"), QStringLiteral("https://somafm.com/thetrip.pls")},
        {QStringLiteral("Tamil Radio - USA"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio016/playlist.m3u8")},
        {QStringLiteral("Gujarati Radio - Australia"),
         QStringLiteral("https://air.pc.cdn.bitgravity.com/air/live/pbaudio017/playlist.m3u8")},
    };
    return stations;
}
