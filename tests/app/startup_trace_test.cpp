#include "app/startup_trace.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include <gtest/gtest.h>

namespace {

TEST(StartupTraceLine, NamesTheStepAndTheWallClockTimeInSeconds) {
    EXPECT_EQ(app::StartupTrace::line("first paint", 1700000000123456789LL),
              QStringLiteral("Zorvita startup: first paint 1700000000.123456789\n"));
    // The fraction keeps its leading zeros, or 5.000000007 would read as 5.7.
    EXPECT_EQ(app::StartupTrace::line("main", 5000000007LL),
              QStringLiteral("Zorvita startup: main 5.000000007\n"));
}

// Starts the assembled player with its own settings folder (help window off) and its sound server
// pointed at a socket that does not exist, and stops it once `ready` holds for its stderr.
class StartedPlayer : public ::testing::Test {
  protected:
    QString run(bool traced, const std::function<bool(const QString&)>& ready) {
        QDir(dir_.path()).mkpath(QStringLiteral("config/Zorvita"));
        QDir(dir_.path()).mkpath(QStringLiteral("runtime"));
        QFile store(dir_.filePath(QStringLiteral("config/Zorvita/registry.json")));
        EXPECT_TRUE(store.open(QIODevice::WriteOnly));
        store.write(
            R"({"format": 1, "keys": [{"path": "HKEY_CURRENT_USER\\Software\\Zorvita\\Message",
            "values": [{"name": "Show", "type": "REG_SZ", "data": "1"}]}]})");
        store.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("PULSE_SERVER"),
                   QStringLiteral("unix:") + dir_.filePath(QStringLiteral("no-server")));
        env.remove(QStringLiteral("ZORVITA_TRACE_STARTUP"));
        if (traced) {
            env.insert(QStringLiteral("ZORVITA_TRACE_STARTUP"), QStringLiteral("1"));
        }
        QProcess player;
        player.setProcessEnvironment(env);
        player.setProcessChannelMode(QProcess::SeparateChannels);
        player.start(QStringLiteral(ZORVITA_APP_DIR "/Zorvita"), {});
        EXPECT_TRUE(player.waitForStarted(30000));
        QString err;
        QDeadlineTimer deadline(60000);
        while (!ready(err) && !deadline.hasExpired() && player.state() == QProcess::Running) {
            player.waitForReadyRead(100);
            err += QString::fromLocal8Bit(player.readAllStandardError());
        }
        player.kill();
        player.waitForFinished(30000);
        return err + QString::fromLocal8Bit(player.readAllStandardError());
    }
    QString storeText() {
        QFile store(dir_.filePath(QStringLiteral("config/Zorvita/registry.json")));
        return store.open(QIODevice::ReadOnly) ? QString::fromUtf8(store.readAll()) : QString();
    }
    QTemporaryDir dir_;
};

TEST_F(StartedPlayer, TracedStartReportsEveryStepInOrderEndingWithTheFirstPaint) {
    const QString err =
        run(true, [](const QString& e) { return e.contains(QLatin1String("first paint")); });
    QStringList steps;
    const QRegularExpression mark(QStringLiteral("^Zorvita startup: (.+) (\\d+\\.\\d{9})$"),
                                  QRegularExpression::MultilineOption);
    double previous = 0;
    for (auto it = mark.globalMatch(err); it.hasNext();) {
        const auto m = it.next();
        steps << m.captured(1);
        const double at = m.captured(2).toDouble();
        EXPECT_GE(at, previous) << qPrintable(m.captured(1));
        previous = at;
    }
    EXPECT_EQ(steps,
              (QStringList{QStringLiteral("main"), QStringLiteral("qapplication"),
                           QStringLiteral("settings"), QStringLiteral("window and skin design"),
                           QStringLiteral("media player"), QStringLiteral("skin and shape"),
                           QStringLiteral("required files"), QStringLiteral("station file"),
                           QStringLiteral("first paint")}))
        << qPrintable(err);
}

TEST_F(StartedPlayer, UntracedStartWritesNoTimes) {
    // The install location is saved during the load, before the station file is read.
    const QString err = run(false, [this](const QString&) {
        if (!storeText().contains(QLatin1String("Location"))) {
            return false;
        }
        QThread::msleep(500);
        return true;
    });
    EXPECT_TRUE(storeText().contains(QLatin1String("Location")));
    EXPECT_FALSE(err.contains(QLatin1String("Zorvita startup:"))) << qPrintable(err);
}

}  // namespace
