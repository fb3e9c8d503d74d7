#pragma once

#include "platform/mci/mci.h"

#include <cstdint>
#include <memory>

namespace platform {

class MpvSession;

// The clip player behind "open <file> type MPEGVideo alias <a>": plays the sound of a media file
// through libmpv (no picture). Commands: "play", "stop", "status <a> mode" (playing or stopped).
// Nothing waits for the clip; closing the alias ends it.
class MpegVideoDevice final : public MciDevice {
  public:
    // Null (with *error set) when the file does not exist or libmpv cannot start.
    static std::unique_ptr<MciDevice> open(const QString& file, unsigned long* error);
    ~MpegVideoDevice() override;

    unsigned long command(const QStringList& words, QString* reply) override;

  private:
    MpegVideoDevice(QString file, std::unique_ptr<MpvSession> mpv);

    QString file_;
    std::unique_ptr<MpvSession> mpv_;
    std::int64_t entry_ = 0;
    bool playing_ = false;
};

// Registers the device type "MPEGVideo" with a session.
void registerMpegVideo(MciSession& session);

}  // namespace platform
