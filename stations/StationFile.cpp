#include "stations/StationFile.h"

#include "common/ModRegistry.h"
#include "platform/ui/error.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>

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
    // QSaveFile::commit renames even when its last buffered block could not be written in full
    // (a full disk), leaving a cut-off file; flushing first makes that failure visible.
    errno = 0;
    if (!file.flush()) {
        const int code = errno;
        const QString why = code != 0 ? QString::fromLocal8Bit(std::strerror(code))
                                      : file.errorString();
        file.cancelWriting();
        fail(why);
    }
    if (!file.commit()) {
        fail(file.errorString());
    }
}

std::vector<StationRow> ParseStationTable(const QByteArray& text) {
    static const QStringList kLists = {QStringLiteral("builtin"), QStringLiteral("extra")};
    std::vector<StationRow> rows;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || line.startsWith('#')) {
            continue;
        }
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char('\t'));
        if (fields.size() != 5 || !kLists.contains(fields[0]) || fields[1].trimmed().isEmpty() ||
            fields[2].trimmed().isEmpty()) {
            throw platform::Error(
                5, platform::programName(),
                QStringLiteral("Line %1 of the station table is not a station row: %2")
                    .arg(n + 1)
                    .arg(QString::fromUtf8(line)));
        }
        rows.push_back(
            {fields[0], {fields[1].trimmed(), fields[2].trimmed()}, fields[3], fields[4]});
    }
    return rows;
}

std::vector<StationEntry> StationsOfList(const std::vector<StationRow>& rows, const QString& list) {
    std::vector<StationEntry> stations;
    for (const StationRow& row : rows) {
        if (row.list == list) {
            stations.push_back(row.station);
        }
    }
    return stations;
}

const std::vector<StationEntry>& DefaultStations() {
    static const std::vector<StationEntry> stations =
        StationsOfList(ParseStationTable(StationTableText()), QStringLiteral("builtin"));
    return stations;
}
