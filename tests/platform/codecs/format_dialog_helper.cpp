// Shows the format dialog for 44.1 kHz stereo with MPEG Layer-3 chosen and saves a picture of it.
#include "platform/codecs/format_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        return 1;
    }
    platform::FormatDialog dialog(platform::encodableWaveFormats(44100, 2), {},
                                  QStringLiteral("Select the recording format"), nullptr);
    dialog.formatTagList()->setCurrentText(QStringLiteral("MPEG Layer-3"));
    dialog.resize(380, dialog.sizeHint().height());
    dialog.show();
    const QString out = QString::fromLocal8Bit(argv[1]);
    bool saved = false;
    QTimer::singleShot(500, [&] {
        saved = dialog.grab().save(out);
        app.quit();
    });
    app.exec();
    return saved ? 0 : 2;
}
