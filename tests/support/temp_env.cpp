#include "tests/support/temp_env.h"

#include <QProcess>

#include <sys/resource.h>

#include <csignal>

namespace testing_support {

TempFolderTest::TempFolderTest()
    : registry_(dir_.filePath(QStringLiteral("config/Zorvita/registry.json"))),
      settings_(registry_) {}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    savedCur_ = limit.rlim_cur;
    savedMax_ = limit.rlim_max;
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{savedCur_, savedMax_};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, savedHandler_);
}

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
