#include "platform/codecs/wave_formats.h"
#include "platform/codecs/format_dialog.h"
#include "recorder/EncoderWAV.h"

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

using platform::WaveFormatOption;

quint16 le16(const QByteArray& b, int at) {
    return qFromLittleEndian<quint16>(b.constData() + at);
}

const WaveFormatOption* find(const std::vector<WaveFormatOption>& all, const QString& tag) {
    for (const auto& o : all) {
        if (o.tag == tag) {
            return &o;
        }
    }
    return nullptr;
}

TEST(WaveFormatsTest, PcmRecordsAreBuiltFromRateChannelsAndBits) {
    EXPECT_EQ(platform::pcmWaveFormat(8000, 1, 8).toHex(),
              QByteArray("01000100401f0000401f00000100080000 00").replace(' ', ""));
    const QByteArray r24 = platform::pcmWaveFormat(48000, 2, 24);
    platform::WaveFormatFields f;
    ASSERT_TRUE(platform::readWaveFormat(r24, &f));
    EXPECT_EQ(f.blockAlign, 6);
    EXPECT_EQ(f.avgBytesPerSec, 288000u);
    EXPECT_EQ(f.cbSize, 0);
    EXPECT_FALSE(platform::readWaveFormat(QByteArray(17, '\0'), &f));
}

TEST(WaveFormatsTest, TheListOffersTheUsualFamiliesWithTheirRecords) {
    const auto all = platform::encodableWaveFormats(44100, 2);
    ASSERT_GE(all.size(), 11u);
    const QStringList pcmIds{
        QStringLiteral("44.1 kHz 8 Bit Stereo"), QStringLiteral("44.1 kHz 16 Bit Stereo"),
        QStringLiteral("44.1 kHz 24 Bit Stereo"), QStringLiteral("44.1 kHz 32 Bit Stereo")};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(all[static_cast<std::size_t>(i)].tag, QStringLiteral("PCM"));
        EXPECT_EQ(all[static_cast<std::size_t>(i)].id, pcmIds[i]);
    }
    EXPECT_EQ(all[4].tag, QStringLiteral("IEEE Float"));
    EXPECT_EQ(le16(all[4].format, 0), 3);
    QStringList families;
    for (const auto& o : all) {
        if (!families.contains(o.tag)) {
            families << o.tag;
        }
        EXPECT_EQ(o.format.size(), 18 + le16(o.format, 16)) << o.tag.toStdString();
    }
    EXPECT_EQ(families.mid(0, 8),
              (QStringList{QStringLiteral("PCM"), QStringLiteral("IEEE Float"),
                           QStringLiteral("CCITT A-Law"), QStringLiteral("CCITT u-Law"),
                           QStringLiteral("IMA ADPCM"), QStringLiteral("Microsoft ADPCM"),
                           QStringLiteral("GSM 6.10"), QStringLiteral("MPEG Layer-3")}));

    const WaveFormatOption* gsm = find(all, QStringLiteral("GSM 6.10"));
    ASSERT_NE(gsm, nullptr);
    EXPECT_EQ(gsm->id, QStringLiteral("8.0 kHz Mono 13 kbit/s"));
    EXPECT_EQ(le16(gsm->format, 0), 0x31);
    EXPECT_EQ(le16(gsm->format, 18), 320) << "samples per block";

    const WaveFormatOption* ima = find(all, QStringLiteral("IMA ADPCM"));
    ASSERT_NE(ima, nullptr);
    EXPECT_EQ(le16(ima->format, 12), 1024);
    EXPECT_EQ(le16(ima->format, 14), 4);
    EXPECT_EQ(le16(ima->format, 16), 2);
    EXPECT_EQ(le16(ima->format, 18), 1017);

    const WaveFormatOption* ms = find(all, QStringLiteral("Microsoft ADPCM"));
    ASSERT_NE(ms, nullptr);
    EXPECT_EQ(le16(ms->format, 16), 32);
    EXPECT_EQ(le16(ms->format, 20), 7) << "coefficient pairs";
    EXPECT_EQ(le16(ms->format, 22), 256);

    const WaveFormatOption* mp3 = find(all, QStringLiteral("MPEG Layer-3"));
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->id, QStringLiteral("44.1 kHz Stereo 128 kbit/s"));
    EXPECT_EQ(le16(mp3->format, 16), 12);

    EXPECT_TRUE(platform::encodableWaveFormats(0, 2).empty());
    EXPECT_TRUE(platform::encodableWaveFormats(44100, 0).empty());
}

TEST(FormatDialogTest, FamiliesAboveAttributesWithTheCurrentFormatChosen) {
    const auto all = platform::encodableWaveFormats(44100, 2);
    const WaveFormatOption* mp3 = find(all, QStringLiteral("MPEG Layer-3"));
    ASSERT_NE(mp3, nullptr);
    platform::FormatDialog dialog(all, mp3->format, QStringLiteral("Output format"), nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Output format"));
    EXPECT_EQ(dialog.formatTagList()->currentText(), QStringLiteral("MPEG Layer-3"));
    EXPECT_EQ(dialog.formatIdList()->currentText(), QStringLiteral("44.1 kHz Stereo 128 kbit/s"));
    EXPECT_EQ(dialog.formatTagList()->itemText(0), QStringLiteral("PCM"));

    dialog.formatTagList()->setCurrentText(QStringLiteral("PCM"));
    ASSERT_EQ(dialog.formatIdList()->count(), 4);
    EXPECT_EQ(dialog.formatIdList()->itemText(1), QStringLiteral("44.1 kHz 16 Bit Stereo"));
    dialog.formatIdList()->setCurrentIndex(2);
    ASSERT_NE(dialog.selected(), nullptr);
    EXPECT_EQ(dialog.selected()->format, platform::pcmWaveFormat(44100, 2, 24));

    dialog.formatTagList()->setCurrentText(QStringLiteral("GSM 6.10"));
    ASSERT_EQ(dialog.formatIdList()->count(), 1);
    EXPECT_EQ(dialog.selected()->id, QStringLiteral("8.0 kHz Mono 13 kbit/s"));
}

// Answers the next modal dialog: picks the family (empty: cancels).
void answerDialog(const QString& family, QString* title) {
    QTimer::singleShot(0, [family, title] {
        auto* dialog = qobject_cast<platform::FormatDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        *title = dialog->windowTitle();
        if (family.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->formatTagList()->setCurrentText(family);
        dialog->accept();
    });
}

TEST(FormatDialogTest, TheRecordersChoiceGoesThroughTheModalDialog) {
    recorder::EncoderWAV e(&platform::chooseWaveFormat);
    QString title;
    answerDialog(QStringLiteral("IMA ADPCM"), &title);
    EXPECT_EQ(e.SelectFormat(22050, 1, nullptr, QStringLiteral("Recording format")), 0);
    EXPECT_EQ(title, QStringLiteral("Recording format"));
    EXPECT_EQ(e.FormatTag(), QStringLiteral("IMA ADPCM"));
    EXPECT_EQ(e.FormatID(), QStringLiteral("22.1 kHz Mono 88 kbit/s"));
    const QByteArray chosen = e.Format();
    EXPECT_EQ(le16(chosen, 0), 0x11);

    answerDialog(QString(), &title);
    EXPECT_EQ(e.SelectFormat(22050, 1, nullptr, QStringLiteral("Again")), 11);
    EXPECT_EQ(title, QStringLiteral("Again"));
    EXPECT_EQ(e.Format(), chosen);
    EXPECT_EQ(e.FormatTag(), QStringLiteral("IMA ADPCM"));
}

}  // namespace
