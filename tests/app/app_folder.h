#pragma once

#include "app/frm_fm.h"
#include "platform/shell/shell.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/temp_env.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace testing_support {

// A shell that opens and starts nothing, and remembers what it was asked.
class RecordingShell final : public platform::Shell {
  public:
    bool open(const QString& target) override {
        opened << target;
        return true;
    }
    bool startProgram(const QString& program, const QStringList&, QString*) override {
        started << program;
        return true;
    }
    QStringList opened;
    QStringList started;
};

// A temporary application folder holding every file the program needs, with a main window
// built on it, scripted message boxes and a recorded "end the program".
class AppFolderTest : public TempFolderTest {
  protected:
    AppFolderTest();

    const QString& appFolder() const { return appFolder_; }
    std::unique_ptr<app::FrmFM> makeWindow();
    void createFile(const QString& name);
    QString setting(const QString& section, const QString& key);
    void setSetting(const QString& section, const QString& key, const QString& value);

    ScriptedMessageBoxes boxes;
    RecordingShell shell;
    int endCalls = 0;

  private:
    QString appFolder_;
};

}  // namespace testing_support
