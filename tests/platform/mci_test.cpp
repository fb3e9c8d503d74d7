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

TEST(MciQuote, QuotesOnlyNamesThatNeedIt) {
    EXPECT_EQ(platform::mciQuote(QStringLiteral("/a/b.wav")), QStringLiteral("/a/b.wav"));
    EXPECT_EQ(platform::mciQuote(QStringLiteral("/zo\u00eb/b.wav")),
              QStringLiteral("/zo\u00eb/b.wav"));
    EXPECT_EQ(platform::mciQuote(QStringLiteral("/my app/b.wav")),
              QStringLiteral("\"/my app/b.wav\""));
    EXPECT_EQ(platform::mciQuote(QStringLiteral("/my\tapp/b.wav")),
              QStringLiteral("\"/my\tapp/b.wav\""));
    EXPECT_EQ(platform::mciQuote(QStringLiteral("/say \"hi\"/b.wav")),
              QStringLiteral("\"/say \"\"hi\"\"/b.wav\""));
    EXPECT_EQ(platform::mciQuote(QString()), QStringLiteral("\"\""));
}

TEST(MciQuote, EveryFolderNameComesBackFromTheSplitterUnchanged) {
    const QStringList paths = {
        QStringLiteral("/plain/Recorded_1.tmp"),
        QStringLiteral("/two words/x.tmp"),
        QStringLiteral("/tab\there/x.tmp"),
        QStringLiteral("/line\nbreak\r/x.tmp"),
        QStringLiteral("/say \"hi\"/x.tmp"),
        QStringLiteral("/quote\"only/x.tmp"),
        QStringLiteral("/\"/\"\"/\"\"\"/x"),
        QStringLiteral("/Zo\u00eb \u0420\u0430\u0434\u0438\u043e/\u96fb\u53f0 \U0001F4FB.tmp"),
        QStringLiteral("/no\u00a0break\u3000wide/x"),
        QStringLiteral("/ends in blank /x.tmp "),
        QStringLiteral(" leading"),
        QString(),
    };
    for (const QString& p : paths) {
        QStringList words;
        ASSERT_TRUE(platform::splitMciCommand(
            QStringLiteral("save rec ") + platform::mciQuote(p) + QStringLiteral("\tnext"), &words))
            << p.toStdString();
        EXPECT_EQ(words, (QStringList{QStringLiteral("save"), QStringLiteral("rec"), p,
                                      QStringLiteral("next")}))
            << p.toStdString();
    }
}

TEST(MciSplit, BlanksOfAnyKindSeparateAndQuotesGroup) {
    QStringList words;
    ASSERT_TRUE(platform::splitMciCommand(QStringLiteral(" open\t\"a b\"\n type  x "), &words));
    EXPECT_EQ(words, (QStringList{QStringLiteral("open"), QStringLiteral("a b"),
                                  QStringLiteral("type"), QStringLiteral("x")}));
    ASSERT_TRUE(platform::splitMciCommand(QStringLiteral("a\"b c\"d \"\"\"\"\"\""), &words));
    EXPECT_EQ(words, (QStringList{QStringLiteral("ab cd"), QStringLiteral("\"\"")}));
    EXPECT_FALSE(platform::splitMciCommand(QStringLiteral("save \"a\"\"b"), &words));
}

}  // namespace
