#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"
#include "tests/support/temp_env.h"

#include "platform/ui/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

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

// Runs a change and returns the numbered error it raised (number 0 when it raised none).
platform::Error failedChange(platform::SettingsStore& store) {
    try {
        store.SaveSetting(kApp, QStringLiteral("News"), QStringLiteral("Show"),
                          QStringLiteral("1"));
    } catch (const platform::Error& e) {
        return e;
    }
    return platform::Error(0, QString(), QString());
}

QByteArray fileBytes(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeBytes(const QString& file, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

const QByteArray kStoredSettings =
    "{\"format\":1,\"keys\":[{\"path\":\"HKEY_CURRENT_USER\\\\Software\\\\Zorvita\\\\Skin\","
    "\"values\":[{\"name\":\"Current\",\"type\":\"REG_SZ\",\"data\":\"Night\"}]}]}";

// A FIFO would block a plain open for reading, a folder has no content: neither is written over.
TEST_F(SettingsStoreTest, SomethingElseInTheFilesPlaceReadsEmptyAndIsNeverReplaced) {
    const QString file = registry().filePath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("Skin"), QStringLiteral("Current")),
              QString());
    const platform::Error fifo = failedChange(settings());
    EXPECT_EQ(fifo.number(), platform::kErrSettingsUnreadable);
    EXPECT_EQ(fifo.description(),
              QStringLiteral("The setting was not saved: the settings file cannot be read (it is "
                             "not a regular file). The file was left as it is:\r\n") +
                  file);
    EXPECT_TRUE(QFileInfo(file).exists() && !QFileInfo(file).isFile());

    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkdir(file));
    EXPECT_EQ(failedChange(settings()).number(), platform::kErrSettingsUnreadable);
    EXPECT_TRUE(QFileInfo(file).isDir());
    EXPECT_TRUE(QDir(QFileInfo(file).absolutePath())
                    .entryList({QStringLiteral("registry.json.bad-*")})
                    .isEmpty());
}

// The case of a file the user may not read (left behind by a program run as another user).
// Root reads every file, so the check runs as the unprivileged user "nobody" there.
TEST(SettingsStorePermissions, AFileThatMayNotBeReadIsLeftByteForByte) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    const QString file = dir.filePath(QStringLiteral("registry.json"));
    writeBytes(file, kStoredSettings);
    // Writable but not readable: the store could replace the file, and must not.
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0222), 0);

    const auto run = [&](const QStringList& args, QByteArray* out) {
        if (::geteuid() != 0) {
            return testing_support::runHelper(QStringLiteral(HELPER), args, 30000, out);
        }
        // The build tree may lie where "nobody" cannot reach it: run a copy from the folder.
        const QString helper = dir.filePath(QStringLiteral("platform_helper"));
        if (!QFile::exists(helper)) {
            QFile::copy(QStringLiteral(HELPER), helper);
        }
        return testing_support::runHelper(
            QStringLiteral("setpriv"),
            QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), helper} +
                args,
            30000, out);
    };
    QByteArray out;
    EXPECT_EQ(run({QStringLiteral("read"), file, QStringLiteral("Skin"), QStringLiteral("Current")},
                  &out),
              0);
    EXPECT_FALSE(out.contains("Night")) << out.constData();
    EXPECT_EQ(run({QStringLiteral("write"), file, QStringLiteral("Skin"), QStringLiteral("Key"),
                   QStringLiteral("1")},
                  &out),
              1);
    EXPECT_TRUE(
        out.contains("30001 The setting was not saved: the settings file cannot be read "
                     "(Permission denied). The file was left as it is:\r\n"))
        << out.constData();
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    EXPECT_EQ(fileBytes(file), kStoredSettings);
}

// Both programs meet the damaged file: one copy is kept, each says so once, and after the first
// change both read the new store.
TEST_F(SettingsStoreTest, ADamagedFileIsSetAsideOnceAndBothProgramsAgreeAfterwards) {
    const QString file = registry().filePath();
    const QByteArray damaged("{\"format\":1,\"keys\":[{\"path\":\"HKEY_CU");
    writeBytes(file, damaged);
    QByteArray out;
    ASSERT_EQ(runHelper(QStringLiteral(HELPER),
                        {QStringLiteral("read"), file, QStringLiteral("Skin"),
                         QStringLiteral("Backcolor")},
                        30000, &out),
              0);
    EXPECT_EQ(out.count("could not be read"), 1) << out.constData();
    ASSERT_EQ(runHelper(QStringLiteral(HELPER),
                        {QStringLiteral("write"), file, QStringLiteral("Skin"), QStringLiteral("C"),
                         QStringLiteral("3")},
                        30000, &out),
              0);
    EXPECT_EQ(out.count("could not be read"), 1) << out.constData();
    EXPECT_TRUE(out.contains("starting with empty settings. A copy of the bad file was kept as "))
        << out.constData();

    const QStringList copies =
        QDir(QFileInfo(file).absolutePath()).entryList({QStringLiteral("registry.json.bad-*")});
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(fileBytes(QFileInfo(file).absolutePath() + QLatin1Char('/') + copies[0]), damaged);
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("skin"), QStringLiteral("c2")),
              QStringLiteral("2"));
    settings().SaveSetting(kApp, QStringLiteral("Skin"), QStringLiteral("BackColor"),
                           QStringLiteral("255"));
    ASSERT_EQ(runHelper(QStringLiteral(HELPER),
                        {QStringLiteral("read"), file, QStringLiteral("Skin"),
                         QStringLiteral("Backcolor")},
                        30000, &out),
              0);
    EXPECT_EQ(out, QByteArray("255"));
}

// A damaged file whose content cannot be kept aside (here: a full disk) is the user's only copy.
TEST_F(SettingsStoreTest, ADamagedFileThatCannotBeCopiedIsNotWrittenOver) {
    const QString file = registry().filePath();
    const QByteArray damaged(4000, 'x');
    writeBytes(file, damaged);
    platform::Error error(0, QString(), QString());
    {
        testing_support::FileSizeLimit full(1000);
        error = failedChange(settings());
    }
    EXPECT_EQ(error.number(), platform::kErrSettingsUnreadable);
    EXPECT_EQ(fileBytes(file), damaged);
}

TEST_F(SettingsStoreTest, AStoreKeptBusyByAnotherProgramIsAReportedFailure) {
    QDir().mkpath(QFileInfo(registry().filePath()).absolutePath());
    QProcess holder;
    holder.start(QStringLiteral(HELPER),
                 {QStringLiteral("hold-store-lock"), registry().filePath()});
    ASSERT_TRUE(holder.waitForReadyRead(30000));
    ASSERT_EQ(holder.readLine().trimmed(), QByteArray("locked"));
    const platform::Error busy = failedChange(settings());
    EXPECT_EQ(busy.number(), platform::kErrSettingsBusy);
    EXPECT_EQ(busy.description(),
              QStringLiteral("The setting was not saved: the settings file is in use by another "
                             "program. Please try again.\r\n") +
                  registry().filePath());
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(failedChange(settings()).number(), 0);
    EXPECT_EQ(settings().GetSetting(kApp, QStringLiteral("News"), QStringLiteral("Show")),
              QStringLiteral("1"));
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
