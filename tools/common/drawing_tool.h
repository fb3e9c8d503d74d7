// The start of every build-time drawing tool: a GUI application without a screen (text and
// pictures need the font database), and the one output folder from the command line.
#pragma once

#include <QByteArray>
#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <functional>

namespace tools {

inline int runDrawingTool(int argc, char** argv, const char* usage,
                          const std::function<int(const QString& out)>& draw) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    return draw(QString::fromLocal8Bit(argv[1]));
}

}  // namespace tools
