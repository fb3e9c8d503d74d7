#include "platform/mci/mci.h"

#include <gtest/gtest.h>

namespace {

using platform::MciSession;

class LoggingDevice final : public platform::MciDevice {
  public:
    explicit LoggingDevice(QStringList* log) : log_(log) {}
    ~LoggingDevice() override { log_->append(QStringLiteral("destroyed")); }
    unsigned long command(const QStringList& words, QString* reply) override {
        log_->append(words.join(QLatin1Char('|')));
        *reply = QStringLiteral("42");
        return platform::MciOk;
    }

  private:
    QStringList* log_;
};

TEST(MciSession, OpensRoutesByAliasAndCloses) {
    QStringList log;
    QString element;
    MciSession mci;
    mci.registerType(QStringLiteral("WaveAudio"), [&](const QString& e, unsigned long*) {
        element = e;
        return std::make_unique<LoggingDevice>(&log);
    });
    EXPECT_EQ(mci.mciSendString(QStringLiteral("open new type waveaudio alias Capture")), 0u);
    EXPECT_EQ(element, QStringLiteral("new"));
    EXPECT_EQ(mci.mciSendString(QStringLiteral("open new type waveaudio alias capture")),
              platform::MciErrDuplicateAlias);
    QString reply;
    EXPECT_EQ(mci.mciSendString(QStringLiteral("save capture \"/a b/c d.tmp\""), &reply), 0u);
    EXPECT_EQ(mci.mciSendString(QStringLiteral("status CAPTURE length"), &reply), 0u);
    EXPECT_EQ(reply, QStringLiteral("42"));
    EXPECT_EQ(log,
              (QStringList{QStringLiteral("save|/a b/c d.tmp"), QStringLiteral("status|length")}));
    EXPECT_EQ(mci.mciSendString(QStringLiteral("close capture")), 0u);
    EXPECT_EQ(log.last(), QStringLiteral("destroyed"));
    EXPECT_EQ(mci.mciSendString(QStringLiteral("record capture")),
              platform::MciErrInvalidDeviceName);
    EXPECT_EQ(mci.mciSendString(QStringLiteral("close all")), 0u);
}

TEST(MciSession, RefusesMalformedCommands) {
    MciSession mci;
    EXPECT_EQ(mci.mciSendString(QString()), platform::MciErrMissingCommandString);
    EXPECT_EQ(mci.mciSendString(QStringLiteral("open \"/x y.mp3 type mpegvideo")),
              platform::MciErrNoClosingQuote);
    EXPECT_EQ(mci.mciSendString(QStringLiteral("open new type waveaudio")),
              platform::MciErrNewRequiresAlias);
    EXPECT_EQ(mci.mciSendString(QStringLiteral("open /x.mp3 type nosuch alias a")),
              platform::MciErrInvalidDeviceName);
    EXPECT_EQ(mci.mciSendString(QStringLiteral("open /x.mp3 alias")),
              platform::MciErrMissingParameter);
    EXPECT_FALSE(mci.mciGetErrorString(platform::MciErrFileNotSaved).isEmpty());
    EXPECT_NE(mci.mciGetErrorString(12345), mci.mciGetErrorString(platform::MciErrInternal));
}

TEST(MciQuote, QuotesOnlyNamesWithBlanks) {
    EXPECT_EQ(platform::mciQuote(QStringLiteral("/a/b.wav")), QStringLiteral("/a/b.wav"));
    EXPECT_EQ(platform::mciQuote(QStringLiteral("/my app/b.wav")),
              QStringLiteral("\"/my app/b.wav\""));
}

}  // namespace
