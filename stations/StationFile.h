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

// One row of the station table (tools/stationfile/stations.tsv): which list the station belongs
// to ("builtin" or "extra"), the station, and where its stream address was found.
struct StationRow {
    QString list;
    StationEntry station;
    QString source;
    QString note;
};

// Parses the station table: five tab-separated columns a row; lines starting with "#" and empty
// lines are skipped. Throws platform::Error naming the line when a row is malformed.
std::vector<StationRow> ParseStationTable(const QByteArray& text);

// The stations of one list of the table, in table order.
std::vector<StationEntry> StationsOfList(const std::vector<StationRow>& rows, const QString& list);

// The text of the station table, compiled into the program when it is built.
QByteArray StationTableText();

// The built-in stations used when the station file is missing or yields none, in their order.
const std::vector<StationEntry>& DefaultStations();
