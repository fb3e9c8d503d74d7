#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The station file: one encoded line per station (see EncodeStationLine), each ending in CR LF,
// no header. A plain line is the name, " ==> ", the URL.

struct StationEntry {
    QString name;  // trimmed
    QString url;   // trimmed
};

// Decodes the stations of a station file's bytes. Lines end at CR LF, CR or LF. A line is taken
// only when its decoded text splits at "==>" into exactly two parts of which neither, untrimmed,
// is "" or "0"; every other line is skipped.
std::vector<StationEntry> ParseStationFile(const QByteArray& bytes);

// Decodes one line as above; false when the line is skipped.
bool ParseStationLine(const QString& encodedLine, StationEntry* entry);

// Writes names[i] + " ==> " + urls[i], encoded, one line each, to `path`. The file is written
// beside the old one and renamed over it, so a failure part-way keeps the old file whole.
// Throws platform::Error when the file cannot be written.
void WriteStationFile(const QString& path, const QStringList& names, const QStringList& urls);

// The built-in stations used when the station file is missing or yields none, in their order.
const std::vector<StationEntry>& DefaultStations();
