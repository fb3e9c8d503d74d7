#include "platform/mci/mpegvideo_device.h"

#include "platform/player/mpv_session.h"
#include "platform/ui/error.h"

#include <QFileInfo>

namespace platform {

std::unique_ptr<MciDevice> MpegVideoDevice::open(const QString& file, unsigned long* error) {
    if (!QFileInfo(file).isFile()) {
        *error = MciErrFileNotFound;
        return nullptr;
    }
    MpvSession::Options options = MpvSession::safeDefaults();
    options.emplace_back(QStringLiteral("vid"), QStringLiteral("no"));
    options.emplace_back(QStringLiteral("vo"), QStringLiteral("null"));
    // Not the player's name: a recording of the player's own sound leaves the start sound out.
    options.emplace_back(QStringLiteral("audio-client-name"),
                         QStringLiteral("Zorvita start sound"));
    try {
        return std::unique_ptr<MciDevice>(
            new MpegVideoDevice(file, std::make_unique<MpvSession>(options)));
    } catch (const Error& e) {
        qWarning("%s", e.what());
        *error = MciErrCannotLoadDriver;
        return nullptr;
    }
}

MpegVideoDevice::MpegVideoDevice(QString file, std::unique_ptr<MpvSession> mpv)
    : file_(std::move(file)), mpv_(std::move(mpv)) {
    mpv_->onEvent = [this](const MpvSession::Event& e) {
        // Only the end of the clip last started counts: replacing it ends the previous one.
        if (e.type == MpvSession::Event::Type::EndFile && e.entryId == entry_) {
            playing_ = false;
        }
    };
}

MpegVideoDevice::~MpegVideoDevice() = default;

unsigned long MpegVideoDevice::command(const QStringList& words, QString* reply) {
    const QString verb = words.value(0).toLower();
    try {
        if (verb == QLatin1String("play")) {
            // "play" again starts the clip from its beginning.
            entry_ = mpv_->command({QStringLiteral("loadfile"), file_});
            playing_ = true;
            return MciOk;
        }
        if (verb == QLatin1String("stop")) {
            mpv_->command({QStringLiteral("stop")});
            playing_ = false;
            return MciOk;
        }
    } catch (const Error& e) {
        qWarning("%s", e.what());
        return MciErrHardware;
    }
    if (verb == QLatin1String("status")) {
        if (words.value(1).compare(QLatin1String("mode"), Qt::CaseInsensitive) != 0) {
            return MciErrUnrecognizedKeyword;
        }
        *reply = playing_ ? QStringLiteral("playing") : QStringLiteral("stopped");
        return MciOk;
    }
    return MciErrUnrecognizedCommand;
}

void registerMpegVideo(MciSession& session) {
    session.registerType(QStringLiteral("MPEGVideo"), &MpegVideoDevice::open);
}

}  // namespace platform
