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

// Runs a helper binary built beside the tests, returns its exit code (-1 when it did not finish).
int runHelper(const QString& program, const QStringList& args, int timeoutMs = 30000,
              QByteArray* output = nullptr);

}  // namespace testing_support
