#include "common/ModRegistry.h"
#include "common/VendorSite.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

using platform::RegKind;
using platform::RegRoot;

namespace {

const QString kPrefs = QStringLiteral("Software\\Media\\Preferences");

class SetRegistryValueTest : public testing_support::TempFolderTest {};

TEST_F(SetRegistryValueTest, CreatesAMissingKeyAndWritesStringAndDword) {
    ASSERT_EQ(registry().openKey(RegRoot::CurrentUser, kPrefs), platform::RegStatus::FileNotFound);
    EXPECT_TRUE(SetRegistryValue(registry(), kRegSz, kPrefs, QStringLiteral("CurrentEffectType"),
                                 QStringLiteral("Battery")));
    EXPECT_TRUE(SetRegistryValue(registry(), kRegDword, kPrefs,
                                 QStringLiteral("CurrentEffectPreset"), QStringLiteral("3")));
    const auto type =
        registry().queryValue(RegRoot::CurrentUser, kPrefs, QStringLiteral("CurrentEffectType"));
    ASSERT_TRUE(type);
    EXPECT_EQ(type->kind, RegKind::String);
    EXPECT_EQ(type->text, QStringLiteral("Battery"));
    const auto preset =
        registry().queryValue(RegRoot::CurrentUser, kPrefs, QStringLiteral("CurrentEffectPreset"));
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->kind, RegKind::Dword);
    EXPECT_EQ(preset->dword, 3u);
    EXPECT_EQ(CreateRegistryKey(registry(), kPrefs), platform::RegOpenedExistingKey);
}

TEST_F(SetRegistryValueTest, BlankDataDeletesTheValueAndNeverCreatesAKey) {
    ASSERT_TRUE(
        SetRegistryValue(registry(), kRegSz, kPrefs, QStringLiteral("A"), QStringLiteral("x")));
    EXPECT_FALSE(
        SetRegistryValue(registry(), kRegSz, kPrefs, QStringLiteral("A"), QStringLiteral("   ")));
    EXPECT_FALSE(registry().queryValue(RegRoot::CurrentUser, kPrefs, QStringLiteral("A")));
    EXPECT_FALSE(SetRegistryValue(registry(), kRegSz, QStringLiteral("Software\\Absent"),
                                  QStringLiteral("A"), QString()));
    EXPECT_EQ(registry().openKey(RegRoot::CurrentUser, QStringLiteral("Software\\Absent")),
              platform::RegStatus::FileNotFound);
}

TEST(StationCodec, KnownGroupsFromTheFormat) {
    // Code 65 with k = 10: m = 1238, v = 124; code 0 gives v = 16, written with a leading zero.
    EXPECT_EQ(DecodeStationLine(QStringLiteral("10124")), QStringLiteral("A"));
    EXPECT_EQ(DecodeStationLine(QStringLiteral("10016")), QString(QChar(char16_t{0})));
    EXPECT_EQ(DecodeStationLine(QStringLiteral("0")), QString());
    EXPECT_EQ(EncodeStationLine(QString()), QString());
}

TEST(StationCodec, DecodesWhatItEncodesForEveryByteAndEveryK) {
    for (int c = 0; c < 256; ++c) {
        for (int k = 10; k <= 99; ++k) {
            const int m = static_cast<int>(std::nearbyint((c + k) / 2.0 * 33.0));
            const int v = static_cast<int>(std::nearbyint(m / 10.0));
            const QString group =
                QString::number(k) + QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0'));
            ASSERT_EQ(group.size(), 5);
            const QString decoded = DecodeStationLine(group);
            ASSERT_EQ(decoded.size(), 1) << c << " " << k;
            // Single bytes come back through Windows-1252.
            const QString expected = DecodeStationLine(EncodeStationLine(decoded));
            ASSERT_EQ(decoded, expected) << c << " " << k;
        }
    }
}

TEST(StationCodec, TwoEncodingsDifferAndBothDecode) {
    const QString line = QStringLiteral("BBC News ==> http://127.0.0.1/bbc.asx");
    const QString a = EncodeStationLine(line);
    QString b = EncodeStationLine(line);
    for (int i = 0; i < 10 && a == b; ++i) {
        b = EncodeStationLine(line);
    }
    EXPECT_NE(a, b);
    EXPECT_EQ(a.size(), line.size() * 5);
    EXPECT_EQ(DecodeStationLine(a), line);
    EXPECT_EQ(DecodeStationLine(b), line);
}

TEST(StationCodec, RemaindersAndBadDigits) {
    const QString a = QStringLiteral("10124");
    EXPECT_EQ(DecodeStationLine(a + QStringLiteral("1")), QStringLiteral("A"));
    EXPECT_EQ(DecodeStationLine(a + QStringLiteral("10")), QStringLiteral("A"));
    // Three or four left over: a group whose value has only the digits present.
    EXPECT_EQ(DecodeStationLine(a + QStringLiteral("1099")), QStringLiteral("A2"));
    // One digit of value never gives a character code, so the whole line fails.
    EXPECT_EQ(DecodeStationLine(a + QStringLiteral("109")), QStringLiteral("0"));
    EXPECT_EQ(DecodeStationLine(a + QStringLiteral("1x124")), QStringLiteral("0"));
    EXPECT_EQ(DecodeStationLine(QStringLiteral("10999")), QStringLiteral("0"));
}

TEST(StationCodec, WindowsTextAndUnicodeNamesRoundTrip) {
    // "Café €" as the original platform wrote it: single Windows-1252 bytes.
    const QString cafe = QStringLiteral("Caf\u00e9 \u20ac");
    const QString encoded = EncodeStationLine(cafe);
    EXPECT_EQ(encoded.size(), cafe.size() * 5);
    EXPECT_EQ(DecodeStationLine(encoded), cafe);
    for (const QString& name :
         {QStringLiteral("आकाशवाणी ==> http://x/"), QStringLiteral("தமிழ் வானொலி"),
          QStringLiteral("ગુજરાતી રેડિયો"), QStringLiteral("إذاعة ==> mms://1.2.3.4/a")}) {
        EXPECT_EQ(DecodeStationLine(EncodeStationLine(name)), name);
    }
}

}  // namespace

namespace {

TEST(VendorSite, TheEnvironmentOverridesTheBuiltInHost) {
    qunsetenv("ZORVITA_VENDOR_HOST");
    const QString builtIn = VendorHost();
    EXPECT_FALSE(builtIn.isEmpty());
    EXPECT_EQ(VendorUrl(), QStringLiteral("http://") + builtIn + QStringLiteral("/"));
    qputenv("ZORVITA_VENDOR_HOST", "127.0.0.1:8080");
    EXPECT_EQ(VendorUrl(QStringLiteral("/LIVE/FM_News.php")),
              QStringLiteral("http://127.0.0.1:8080/LIVE/FM_News.php"));
    qunsetenv("ZORVITA_VENDOR_HOST");
}

}  // namespace
