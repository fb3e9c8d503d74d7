#pragma once

#include "platform/registry/registry.h"
#include "platform/registry/settings_store.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace testing_support {

// A fixture with a private temporary folder and a settings store of its own inside it, so no
// test touches the user's real settings.
class TempFolderTest : public ::testing::Test {
  protected:
    TempFolderTest();

    QString path(const QString& name) const { return dir_.filePath(name); }
    platform::Registry& registry() { return registry_; }
    platform::SettingsStore& settings() { return settings_; }

  private:
    QTemporaryDir dir_;
    platform::Registry registry_;
    platform::SettingsStore settings_;
};

// While alive, writes that would grow a file beyond `bytes` fail as on a full disk (even for
// root, who ignores folder permissions).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    unsigned long savedCur_ = 0;
    unsigned long savedMax_ = 0;
    void (*savedHandler_)(int) = nullptr;
};

// Runs a helper binary built beside the tests, returns its exit code (-1 when it did not finish).
int runHelper(const QString& program, const QStringList& args, int timeoutMs = 30000,
              QByteArray* output = nullptr);

}  // namespace testing_support
