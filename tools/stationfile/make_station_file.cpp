// Writes the built-in stations, encoded, as the station file of a fresh installation.
#include "platform/ui/error.h"
#include "stations/StationFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <station file>\n", argv[0]);
        return 2;
    }
    QStringList names;
    QStringList urls;
    for (const StationEntry& s : DefaultStations()) {
        names.append(s.name);
        urls.append(s.url);
    }
    try {
        WriteStationFile(QString::fromLocal8Bit(argv[1]), names, urls);
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
