#include "tools/vendor-site/vendor_site.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

// The local vendor site: serves a folder and the test tone on 127.0.0.1 and prints its port.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local vendor web site on 127.0.0.1"));
    parser.addHelpOption();
    const QCommandLineOption root(
        QStringLiteral("root"),
        QStringLiteral("Folder to serve; give it again for more folders, looked at in order."),
        QStringLiteral("folder"), QStringLiteral("."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port to listen on (0: a free one)."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    parser.addOption(root);
    parser.addOption(port);
    parser.process(app);

    bool ok = false;
    const uint number = parser.value(port).toUInt(&ok);
    if (!ok || number > 65535) {
        std::fprintf(stderr, "bad port: %s\n", qPrintable(parser.value(port)));
        return 2;
    }
    const QStringList roots = parser.values(root);
    vendor_site::VendorSite site(roots.value(0, QStringLiteral(".")));
    for (qsizetype i = 1; i < roots.size(); ++i) {
        site.addRoot(roots[i]);
    }
    if (!site.listen(static_cast<quint16>(number))) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", number);
        return 1;
    }
    std::printf("port %u\n", site.port());
    std::fflush(stdout);
    return app.exec();
}
