#include "tests/support/temp_env.h"

#include <QProcess>

namespace testing_support {

TempFolderTest::TempFolderTest()
    : registry_(dir_.filePath(QStringLiteral("config/Zorvita/registry.json"))),
      settings_(registry_) {}

int runHelper(const QString& program, const QStringList& args, int timeoutMs, QByteArray* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (output != nullptr) {
        *output = p.readAll();
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

}  // namespace testing_support
