// The advanced recorder Encoder.dll, started by the player from the application folder.
#include "platform/audio/capture_server.h"
#include "platform/codecs/format_dialog.h"
#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "platform/ui/message_box.h"
#include "recorder/FrmRecorder.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    platform::QtMessageBoxes boxes;
    platform::Registry registry(platform::Registry::defaultPath());
    platform::SettingsStore settings(registry);
    recorder::FrmRecorder window(boxes, settings, QCoreApplication::applicationDirPath(),
                                 platform::makePulseCaptureServer(), &platform::chooseWaveFormat);
    window.load();
    window.show();
    return QApplication::exec();
}
