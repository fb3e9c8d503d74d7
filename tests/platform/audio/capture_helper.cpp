// A recorder process to be killed: records a known pattern into the capture folder given on its
// command line through the wave-audio device, says "ready" once it is all on disk, then waits.
#include "platform/mci/mci.h"
#include "platform/mci/waveaudio_device.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <thread>

namespace {

class PushedCapture final : public platform::WaveCapture {
  public:
    explicit PushedCapture(platform::CaptureConsumer* out) : out_(out) {}
    unsigned long start(int, int, platform::CaptureConsumer consumer) override {
        *out_ = std::move(consumer);
        return platform::MciOk;
    }
    void stop() override { *out_ = nullptr; }

  private:
    platform::CaptureConsumer* out_;
};

}  // namespace

// capture_helper <folder> <bytes>: 16-bit stereo at 22050, byte i being (i * 7 + 3) & 0xFF.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        return 2;
    }
    const QString folder = args[1];
    const int bytes = args[2].toInt();
    platform::CaptureConsumer consumer;
    platform::MciSession mci;
    platform::WaveAudioOptions options;
    options.tempFolder = folder;
    options.openCapture = [&](unsigned long*) {
        return std::make_unique<PushedCapture>(&consumer);
    };
    platform::registerWaveAudio(mci, options);
    for (const char* command :
         {"open new type waveaudio alias rec", "set rec channels 2 samplespersec 22050",
          "set rec bitspersample 16", "record rec"}) {
        if (mci.mciSendString(QString::fromLatin1(command)) != platform::MciOk) {
            return 3;
        }
    }
    QByteArray data(bytes, '\0');
    for (int i = 0; i < bytes; ++i) {
        data[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    }
    std::thread([&] { consumer(data.constData(), static_cast<std::size_t>(data.size())); }).join();
    // The device writes from a thread of its own: wait until everything is in the file.
    for (int waited = 0; waited < 30000; waited += 10) {
        const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral(".recording-*.wav")},
                                                               QDir::Files | QDir::Hidden);
        if (files.size() == 1 && files[0].size() == 44 + bytes) {
            std::printf("ready\n");
            std::fflush(stdout);
            QThread::sleep(120);
            return 0;
        }
        QThread::msleep(10);
    }
    return 4;
}
