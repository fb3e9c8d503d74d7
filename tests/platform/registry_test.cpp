#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "tests/support/temp_env.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using platform::RegKind;
using platform::RegRoot;
using platform::RegStatus;
using testing_support::runHelper;

namespace {

const QString kApp = QStringLiteral("Zorvita");

class SettingsStoreTest : public testing_support::TempFolderTest {};

TEST_F(SettingsStoreTest, ReadsKeysWithoutRegardToCaseAndAbsentAsEmpty) {
    settings().SaveSetting(kApp, QStringLiteral("Skin"), QStringLiteral("BackColor"),
                           QStringLiteral("255"));
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("skin"), QStringLiteral("Backcolor")),
              QStringLiteral("255"));
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("Skin"), QStringLiteral("ForeColor")),
              QString());
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("Nothing"), QStringLiteral("Here")),
              QString());
    // Writing under another case replaces the value rather than adding a second key.
    settings().SaveSetting(kApp, QStringLiteral("SKIN"), QStringLiteral("BACKCOLOR"),
                           QStringLiteral("0"));
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("Skin"), QStringLiteral("BackColor")),
              QStringLiteral("0"));
}

TEST_F(SettingsStoreTest, KeepsTextExactlyIncludingUnicodeAndBlanks) {
    const QString name = QStringLiteral("  आकाशवाणी \"FM\" \\ 100%  ");
    settings().SaveSetting(kApp, QStringLiteral("Last Played"), QStringLiteral("Station"), name);
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("Last Played"), QStringLiteral("Station")),
              name);
}

TEST_F(SettingsStoreTest, AnotherProcessReadsWhatThisOneWrote) {
    settings().SaveSetting(kApp, QStringLiteral("Record"), QStringLiteral("SettingValue"),
                           QStringLiteral("22050"));
    QByteArray out;
    ASSERT_EQ(runHelper(QStringLiteral(HELPER),
                        {QStringLiteral("read"), registry().filePath(), QStringLiteral("record"),
                         QStringLiteral("settingvalue")},
                        30000, &out),
              0);
    EXPECT_EQ(out, QByteArray("22050"));
}

// Guards against a read-modify-write race: each writer must see the other's keys.
TEST_F(SettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    const int n = 40;
    QProcess a;
    QProcess b;
    a.start(QStringLiteral(HELPER), {QStringLiteral("write"), registry().filePath(),
                                     QStringLiteral("S"), QStringLiteral("a"), QString::number(n)});
    b.start(QStringLiteral(HELPER), {QStringLiteral("write"), registry().filePath(),
                                     QStringLiteral("S"), QStringLiteral("b"), QString::number(n)});
    for (int i = 0; i < n; ++i) {
        settings().SaveSetting(kApp, QStringLiteral("S"), QStringLiteral("c") + QString::number(i),
                               QString::number(i));
    }
    ASSERT_TRUE(a.waitForFinished(60000));
    ASSERT_TRUE(b.waitForFinished(60000));
    for (int i = 0; i < n; ++i) {
        for (const char* prefix : {"a", "b", "c"}) {
            EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("S"),
                                            QLatin1String(prefix) + QString::number(i)),
                      QString::number(i))
                << prefix << i;
        }
    }
}

TEST_F(SettingsStoreTest, GarbageOrTruncatedFileStartsEmptyAndKeepsACopy) {
    for (const QByteArray& bad :
         {QByteArray("\x01\x02garbage\xff", 11),
          QByteArray("{\"format\":1,\"keys\":[{\"path\":\"HKEY_CU"), QByteArray()}) {
        QDir(path(QStringLiteral("config/Zorvita"))).removeRecursively();
        QDir().mkpath(path(QStringLiteral("config/Zorvita")));
        QFile f(registry().filePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bad);
        f.close();
        EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("News"), QStringLiteral("Show")),
                  QString());
        settings().SaveSetting(kApp, QStringLiteral("News"), QStringLiteral("Show"),
                               QStringLiteral("1"));
        EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("News"), QStringLiteral("Show")),
                  QStringLiteral("1"));
        const auto copies = QDir(path(QStringLiteral("config/Zorvita")))
                                .entryList({QStringLiteral("registry.json.bad-*")});
        EXPECT_EQ(copies.size(), 1);
    }
}

class RegistryTest : public testing_support::TempFolderTest {};

TEST_F(RegistryTest, StoresStringAndDwordValuesInExistingKeysOnly) {
    const QString key = QStringLiteral("Software\\Test\\Prefs");
    platform::RegValue text{RegKind::String, QStringLiteral("Battery"), 0};
    EXPECT_EQ(registry().setValue(RegRoot::CurrentUser, key, QStringLiteral("A"), text),
              RegStatus::FileNotFound);
    int disposition = 0;
    EXPECT_EQ(registry().createKey(RegRoot::CurrentUser, key, &disposition), RegStatus::Ok);
    EXPECT_EQ(disposition, platform::RegCreatedNewKey);
    EXPECT_EQ(registry().createKey(RegRoot::CurrentUser, key, &disposition), RegStatus::Ok);
    EXPECT_EQ(disposition, platform::RegOpenedExistingKey);
    EXPECT_EQ(registry().openKey(RegRoot::CurrentUser, QStringLiteral("software\\test")),
              RegStatus::Ok);

    EXPECT_EQ(registry().setValue(RegRoot::CurrentUser, key, QStringLiteral("A"), text),
              RegStatus::Ok);
    EXPECT_EQ(registry().setValue(RegRoot::CurrentUser, key, QStringLiteral("B"),
                                  {RegKind::Dword, {}, 3}),
              RegStatus::Ok);
    auto a = registry().queryValue(RegRoot::CurrentUser, key.toUpper(), QStringLiteral("a"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->kind, RegKind::String);
    EXPECT_EQ(a->text, QStringLiteral("Battery"));
    auto b = registry().queryValue(RegRoot::CurrentUser, key, QStringLiteral("B"));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->kind, RegKind::Dword);
    EXPECT_EQ(b->dword, 3u);

    EXPECT_EQ(registry().deleteValue(RegRoot::CurrentUser, key, QStringLiteral("A")),
              RegStatus::Ok);
    EXPECT_FALSE(registry().queryValue(RegRoot::CurrentUser, key, QStringLiteral("A")));
    EXPECT_EQ(registry().deleteValue(RegRoot::CurrentUser, key, QStringLiteral("A")),
              RegStatus::FileNotFound);
}

}  // namespace
