#include "platform/ui/error.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace platform {

Error::Error(long number, QString source, QString description)
    : number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      what_(description_.toStdString()) {}

QString programName() {
    if (auto* app = QCoreApplication::instance()) {
        return QFileInfo(app->applicationFilePath()).completeBaseName();
    }
    return QStringLiteral("Zorvita");
}

}  // namespace platform
