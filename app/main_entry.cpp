#include "app/main_entry.h"

#include "app/frm_fm.h"
#include "common/ModRegistry.h"
#include "platform/registry/settings_store.h"
#include "platform/shell/shell.h"
#include "platform/ui/error.h"
#include "platform/ui/message_box.h"
#include "platform/ui/report_error.h"
#include "recording/LostRecordings.h"

#include <cstdio>

namespace app {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Where the missing-player message sends the user: the player library's installation page.
const QString kPlayerDownloadPage = QStringLiteral("https://mpv.io/installation/");

// The player is built on the mpv playback library; on Debian the package libmpv2 holds it.
void showPlayerMissing(platform::MessageBoxes& boxes) {
    boxes.show(QStringLiteral("The mpv playback library (libmpv) was not found on your machine or "
                              "could not be started. This application needs the mpv playback "
                              "library on your machine. Please install it and then run this "
                              "application.") +
                   kCrLf + kCrLf +
                   QStringLiteral("Note : The mpv playback library is free. On Debian "
                                  "it is in the package libmpv2: sudo apt-get install libmpv2") +
                   kCrLf + kCrLf + QStringLiteral("Download Link :") + kCrLf + kPlayerDownloadPage,
               platform::MsgCritical,
               QStringLiteral("Windows Media Player version 9 or above not found !"));
}

}  // namespace

void SetPlayerPreferences(platform::Registry& registry) {
    platform::ignoreErrors([&] {
        SetRegistryValue(registry, kRegSz, kPlayerPreferencesKey,
                         QStringLiteral("CurrentEffectType"), QStringLiteral("Battery"));
    });
    platform::ignoreErrors([&] {
        SetRegistryValue(registry, kRegDword, kPlayerPreferencesKey,
                         QStringLiteral("CurrentEffectPreset"), QStringLiteral("3"));
    });
}

MainResult Main(MainServices& s) {
    MainResult result;
    QString lockProblem;
    const platform::InstanceLock lock = s.instance.acquire(&lockProblem);
    if (lock == platform::InstanceLock::Unavailable) {
        // Not knowing is no reason to refuse the user: start, and leave a trace.
        std::fprintf(stderr,
                     "Zorvita: could not check for another running instance (%s); starting "
                     "anyway.\n",
                     qPrintable(lockProblem));
    }
    if (lock == platform::InstanceLock::HeldByAnother) {
        s.boxes.show(QStringLiteral("Another instance of Velmo's Online Radio is already running "
                                    "in the memory.") +
                         kCrLf + QStringLiteral("Cannot run a new instance."),
                     platform::MsgInformation, platform::kAppTitle);
        return result;
    }
    platform::trapErrors(s.boxes, [&] {
        SetPlayerPreferences(s.registry);
        try {
            result.window = std::make_unique<FrmFM>(s.boxes, s.settings, s.registry, s.shell,
                                                    s.media, s.appFolder, s.endProgram);
            if (s.composeWindow) {
                s.composeWindow(*result.window);
            }
            result.window->Form_Load();
        } catch (const platform::Error& e) {
            if (e.number() == kErrCannotCreatePlayer) {
                result.window.reset();
                showPlayerMissing(s.boxes);
                s.endProgram();
                return;
            }
            throw;
        }
        RecoverLostRecordings(s.appFolder, s.boxes);
        if (s.settings.GetSetting(QStringLiteral("Zorvita"), QStringLiteral("Message"),
                                  QStringLiteral("Show")) != QLatin1String("1")) {
            result.helpWindowShown = true;
            if (s.showHelpWindow) {
                s.showHelpWindow();
            }
        }
    });
    return result;
}

}  // namespace app
