#include "app/frm_fm.h"
#include "app/help/frm_message.h"
#include "app/main_entry.h"
#include "app/startup_trace.h"
#include "platform/audio/pulse_audio.h"
#include "platform/mci/mci.h"
#include "platform/mci/mpegvideo_device.h"
#include "platform/mci/waveaudio_device.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/message_box.h"
#include "recording/RecordingSource.h"

#include <QApplication>
#include <QDateTime>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    app::StartupTrace::mark("main");
    QApplication application(argc, argv);
    // Ties the window to the menu's desktop entry (its name and icon) on desktops that ask.
    QGuiApplication::setDesktopFileName(QStringLiteral("zorvita"));
    app::StartupTrace::mark("qapplication");
    platform::QtMessageBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    app::StartupTrace::mark("settings");
    platform::DesktopShell shell;
    platform::SingleInstance instance(QStringLiteral("Zorvita"));
    const QString appFolder = QCoreApplication::applicationDirPath();

    // One command-string session for the program: the start sound and the recorder. Captured
    // sound waits beside the recordings, so saving it is a rename on the same file system.
    platform::MciSession mci;
    platform::registerMpegVideo(mci);
    platform::WaveAudioOptions recording;
    recording.tempFolder = appFolder;
    recording.openCapture = CaptureAsSet(settings);
    platform::registerWaveAudio(mci, std::move(recording));

    // Lives until it is closed or the program ends; ending the program never closes it, so its
    // close handler runs only when the user closes it.
    std::unique_ptr<app::FrmMessage> help;
    app::MainServices services{
        boxes,
        settings,
        registry,
        shell,
        instance,
        appFolder,
        // Ending at once: no other window's close handler runs. Every setting is already on
        // disk (each write replaces the store file), so nothing is lost.
        [] {
            std::fflush(nullptr);
            std::_Exit(0);
        },
        [&] {
            help = std::make_unique<app::FrmMessage>(boxes, settings, shell);
            help->show();
        },
        {},
        {mci, [] { return platform::countCaptureSources(); },
         [] { return QDateTime::currentDateTime(); }, PlayerSoundReadyAsSet(settings)},
    };
    const app::MainResult started = app::Main(services);
    if (!started.window) {
        return 0;
    }
    return QApplication::exec();
}
