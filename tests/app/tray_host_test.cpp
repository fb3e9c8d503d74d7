#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

// A real notification area: the helper runs on an X server of its own with an XEmbed tray host.
TEST(TrayHost, IconAppearsOnMinimiseAndGoesOnRestore) {
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral(HELPER)});
    ASSERT_TRUE(run.waitForStarted(30000)) << "xvfb-run is needed (package xvfb)";
    ASSERT_TRUE(run.waitForFinished(170000));
    const QString out = QString::fromLocal8Bit(run.readAll());
    EXPECT_EQ(run.exitCode(), 0) << qPrintable(out);
    EXPECT_TRUE(out.contains(QStringLiteral("appeared\nwindow hidden\ngone\n"))) << qPrintable(out);
}

}  // namespace
