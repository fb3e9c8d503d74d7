#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

// Runs the helper on a private X server; returns its exit code and output.
std::pair<int, QString> runHelper() {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral(HELPER)});
    if (!run.waitForStarted(30000) || !run.waitForFinished(170000)) {
        return {-1, QStringLiteral("xvfb-run did not start or finish (package xvfb)")};
    }
    return {run.exitCode(), QString::fromLocal8Bit(run.readAll())};
}

// A real notification area: the helper runs on an X server of its own with an XEmbed tray host.
TEST(TrayHost, IconAppearsOnMinimiseAndGoesOnRestore) {
    auto [code, out] = runHelper();
    // "xvfb-run -a" can lose a race for a display number with another X server starting at the
    // same moment; only a run that got as far as minimising counts.
    for (int retry = 0; retry < 2 && !out.contains(QStringLiteral("window ")); ++retry) {
        std::tie(code, out) = runHelper();
    }
    EXPECT_EQ(code, 0) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("appeared\nwindow hidden\ngone\n"))) << qPrintable(out);
}

}  // namespace
