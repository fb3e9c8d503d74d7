#include "app/frm_fm.h"
#include "app/main_entry.h"
#include "platform/mci/capture_files.h"
#include "platform/mci/waveaudio_device.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "tests/app/app_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

namespace {

using testing_support::AppFolderTest;

const QString kSecondInstanceText = QStringLiteral(
    "Another instance of Velmo's Online Radio is already running in the memory.\r\n"
    "Cannot run a new instance.");

QString uniqueName() {
    return QStringLiteral("ZorvitaMainTest-") + QUuid::createUuid().toString(QUuid::Id128);
}

class MainTest : public AppFolderTest {
  protected:
    app::MainServices services(platform::SingleInstance& instance) {
        return app::MainServices{boxes,
                                 settings(),
                                 registry(),
                                 shell,
                                 instance,
                                 appFolder(),
                                 [this] { ++endCalls; },
                                 [this] { ++helpShown; },
                                 {},
                                 media()};
    }
    int helpShown = 0;
};

TEST_F(MainTest, EmptyStoreShowsTheWindowAndDecidesForTheHelpWindow) {
    platform::SingleInstance instance(uniqueName());
    app::MainServices s = services(instance);
    const app::MainResult result = app::Main(s);
    ASSERT_TRUE(result.window);
    EXPECT_TRUE(result.window->isVisible());
    EXPECT_EQ(result.window->loadCount(), 1);
    EXPECT_TRUE(result.helpWindowShown);
    EXPECT_EQ(helpShown, 1);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainTest, StartUpCompletesARecordingCutOffEarlierAndSaysWhereItIs) {
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    gone.waitForFinished();
    QFile cutOff(appFolder() + QStringLiteral("/") + platform::captureFileName(pid, 7));
    ASSERT_TRUE(cutOff.open(QIODevice::WriteOnly));
    cutOff.write(platform::waveHeader(2, 44100, 16, 0) + QByteArray(4000, 'a'));
    cutOff.close();

    platform::SingleInstance instance(uniqueName());
    app::MainServices s = services(instance);
    ASSERT_TRUE(app::Main(s).window);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_TRUE(boxes.shown()[0].text.startsWith(
        QStringLiteral("A recording was cut off when the program ended unexpectedly.\r\n"
                       "What was recorded is kept in this file:\r\n") +
        appFolder() + QStringLiteral("/Recorded_")));
    EXPECT_FALSE(cutOff.exists());
}

TEST_F(MainTest, HelpWindowStaysHiddenOnlyWhenTurnedOff) {
    for (const auto& [stored, shown] : {std::pair{"1", false}, {"0", true}, {" 1", true}}) {
        setSetting(QStringLiteral("Message"), QStringLiteral("Show"), QString::fromLatin1(stored));
        platform::SingleInstance instance(uniqueName());
        app::MainServices s = services(instance);
        EXPECT_EQ(app::Main(s).helpWindowShown, shown) << stored;
    }
}

TEST_F(MainTest, PresetsThePlayerPreferencesOverWhatWasThere) {
    const QString key = QStringLiteral("Software\\Microsoft\\MediaPlayer\\Preferences");
    int disposition = 0;
    ASSERT_EQ(registry().createKey(platform::RegRoot::CurrentUser, key, &disposition),
              platform::RegStatus::Ok);
    ASSERT_EQ(registry().setValue(platform::RegRoot::CurrentUser, key,
                                  QStringLiteral("CurrentEffectType"),
                                  {platform::RegKind::String, QStringLiteral("Bars"), 0}),
              platform::RegStatus::Ok);

    platform::SingleInstance instance(uniqueName());
    app::MainServices s = services(instance);
    app::Main(s);

    const auto type = registry().queryValue(platform::RegRoot::CurrentUser, key,
                                            QStringLiteral("CurrentEffectType"));
    ASSERT_TRUE(type);
    EXPECT_EQ(type->kind, platform::RegKind::String);
    EXPECT_EQ(type->text, QStringLiteral("Battery"));
    const auto preset = registry().queryValue(platform::RegRoot::CurrentUser, key,
                                              QStringLiteral("CurrentEffectPreset"));
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->kind, platform::RegKind::Dword);
    EXPECT_EQ(preset->dword, 3U);
}

TEST_F(MainTest, SecondInstanceInTheSameProcessIsRefusedWithTheMessage) {
    const QString name = uniqueName();
    platform::SingleInstance first(name);
    ASSERT_EQ(first.acquire(), platform::InstanceLock::Acquired);
    platform::SingleInstance second(name);
    app::MainServices s = services(second);
    const app::MainResult result = app::Main(s);
    EXPECT_FALSE(result.window);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, kSecondInstanceText);
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgInformation);
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(helpShown, 0);
}

TEST_F(MainTest, PlayerThatCannotBeCreatedGetsItsOwnMessageAndEndsTheProgram) {
    platform::SingleInstance instance(uniqueName());
    app::MainServices s = services(instance);
    s.composeWindow = [](app::FrmFM&) {
        throw platform::Error(app::kErrCannotCreatePlayer, QStringLiteral("Zorvita"),
                              QStringLiteral("The media player could not be started"));
    };
    const app::MainResult result = app::Main(s);
    EXPECT_FALSE(result.window);
    EXPECT_EQ(endCalls, 1);
    EXPECT_EQ(helpShown, 0);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].caption,
              QStringLiteral("Windows Media Player version 9 or above not found !"));
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgCritical);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("The mpv playback library (libmpv) was not found on your machine or "
                             "could not be started. This application needs the mpv playback "
                             "library on your machine. Please install it and then run this "
                             "application.\r\n\r\n"
                             "Note : The mpv playback library is free. On Debian it is in the "
                             "package libmpv2: sudo apt-get install libmpv2\r\n\r\n"
                             "Download Link :\r\nhttps://mpv.io/installation/"));
}

TEST_F(MainTest, OtherFailuresWhileCreatingTheWindowGetTheStandardReport) {
    platform::SingleInstance instance(uniqueName());
    app::MainServices s = services(instance);
    s.composeWindow = [](app::FrmFM&) {
        throw platform::Error(7, QStringLiteral("Zorvita"), QStringLiteral("Out of memory"));
    };
    app::Main(s);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Out of memory"));
    EXPECT_EQ(boxes.shown()[0].caption, QStringLiteral("Velmo's Online Radio"));
    EXPECT_EQ(endCalls, 0);
    EXPECT_EQ(helpShown, 0);
}

// Only a failure to create the window is taken for the missing media player; a failure after
// the window is up gets the standard report and the program goes on.
TEST_F(MainTest, LaterFailuresGetTheStandardReportEvenWithThePlayersErrorNumber) {
    platform::SingleInstance instance(uniqueName());
    app::MainServices s = services(instance);
    s.showHelpWindow = [] {
        throw platform::Error(app::kErrCannotCreatePlayer, QStringLiteral("Zorvita"),
                              QStringLiteral("The media player could not be started"));
    };
    const app::MainResult result = app::Main(s);
    EXPECT_TRUE(result.window);
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("The media player could not be started"));
    EXPECT_EQ(boxes.shown()[0].style, platform::MsgCritical);
    EXPECT_EQ(endCalls, 0);
}

class TwoProcesses : public AppFolderTest {
  protected:
    QProcessEnvironment environment() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        return env;
    }
    QTemporaryDir runtime_;
};

TEST_F(TwoProcesses, SecondInstanceShowsTheMessageAndLeavesTheFirstRunning) {
    const QString name = uniqueName();
    QProcess first;
    first.setProcessEnvironment(environment());
    first.start(QStringLiteral(HELPER), {QStringLiteral("main"), appFolder(), name});
    ASSERT_TRUE(first.waitForStarted(30000));
    QByteArray firstOut;
    while (!firstOut.contains("ready\n") && first.waitForReadyRead(30000)) {
        firstOut += first.readAllStandardOutput();
    }
    ASSERT_TRUE(firstOut.contains("ready\n")) << firstOut.constData();

    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(QStringLiteral(HELPER), {QStringLiteral("main"), appFolder(), name});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    const QString secondOut = QString::fromLocal8Bit(second.readAllStandardOutput());
    EXPECT_EQ(secondOut, QStringLiteral("box 64 Velmo's Online Radio\n") + kSecondInstanceText +
                             QLatin1Char('\n'));
    EXPECT_FALSE(secondOut.split(QLatin1Char('\n')).contains(QStringLiteral("ready")));

    // The first instance is untouched: still running, silent, and still holding the lock.
    EXPECT_EQ(first.state(), QProcess::Running);
    first.waitForReadyRead(300);
    EXPECT_TRUE(first.readAllStandardOutput().isEmpty());
    QProcess third;
    third.setProcessEnvironment(environment());
    third.start(QStringLiteral(HELPER), {QStringLiteral("main"), appFolder(), name});
    ASSERT_TRUE(third.waitForFinished(30000));
    EXPECT_TRUE(third.readAllStandardOutput().startsWith("box 64 "));

    first.kill();
    first.waitForFinished(30000);
}

// A lock file that is not another instance's (here a folder in its place) must not keep the
// program from starting.
TEST_F(TwoProcesses, ALockThatCannotBeTakenStartsTheProgramWithANote) {
    const QString name = uniqueName();
    const QString lock = runtime_.path() + QLatin1Char('/') + name + QStringLiteral(".lock");
    ASSERT_TRUE(QDir().mkdir(lock));
    QProcess program;
    program.setProcessEnvironment(environment());
    program.start(QStringLiteral(HELPER), {QStringLiteral("main"), appFolder(), name});
    ASSERT_TRUE(program.waitForStarted(30000));
    QByteArray out;
    while (!out.contains("ready\n") && program.waitForReadyRead(30000)) {
        out += program.readAllStandardOutput();
    }
    EXPECT_TRUE(out.contains("ready\n")) << out.constData();
    EXPECT_FALSE(out.contains("box 64")) << out.constData();
    program.kill();
    program.waitForFinished(30000);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(err.contains(
        QStringLiteral("Zorvita: could not check for another running instance (the lock file ") +
        lock + QStringLiteral(" cannot be read); starting anyway.\n")))
        << qPrintable(err);
}

TEST_F(TwoProcesses, MissingRequiredFileEndsTheProgramRightAfterItsWarning) {
    ASSERT_TRUE(QFile::remove(appFolder() + QStringLiteral("/Encoder.dll")));
    QProcess program;
    program.setProcessEnvironment(environment());
    program.start(QStringLiteral(HELPER), {QStringLiteral("main"), appFolder(), uniqueName()});
    ASSERT_TRUE(program.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    EXPECT_TRUE(out.startsWith(QStringLiteral("box 48 Velmo's Online Radio\n"))) << qPrintable(out);
    EXPECT_TRUE(out.contains(appFolder() + QStringLiteral("/Encoder.dll\r\n")));
    // Nothing after the warning: not the help window, not the event loop.
    EXPECT_TRUE(out.endsWith(QStringLiteral("\nended\n"))) << qPrintable(out);
    EXPECT_EQ(program.exitCode(), 3);
}

}  // namespace
