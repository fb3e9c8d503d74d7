// Writes a station file, encoded, from the station table: the built-in stations for the
// application folder, or the built-in and extra stations for the local vendor site's update.
#include "platform/ui/error.h"
#include "stations/StationFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString lists = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (argc != 4 || (lists != QLatin1String("builtin") && lists != QLatin1String("all"))) {
        std::fprintf(stderr, "usage: %s <stations.tsv> <station file> builtin|all\n", argv[0]);
        return 2;
    }
    QFile table(QString::fromLocal8Bit(argv[1]));
    if (!table.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(table.errorString()));
        return 1;
    }
    try {
        const std::vector<StationRow> rows = ParseStationTable(table.readAll());
        QStringList names;
        QStringList urls;
        for (const StationRow& row : rows) {
            if (lists == QLatin1String("all") || row.list == QLatin1String("builtin")) {
                names.append(row.station.name);
                urls.append(row.station.url);
            }
        }
        WriteStationFile(QString::fromLocal8Bit(argv[2]), names, urls);
    } catch (const platform::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.description()));
        return 1;
    }
    return 0;
}
