#pragma once

#include "app/frm_fm.h"
#include "platform/mci/mci.h"
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

// An MCI that carries out nothing and remembers every command.
class CommandLog final : public platform::Mci {
  public:
    unsigned long mciSendString(const QString& command, QString* reply) override {
        commands << command;
        if (reply != nullptr) {
            reply->clear();
        }
        return platform::MciOk;
    }
    QString mciGetErrorString(unsigned long) const override { return QString(); }
    QStringList commands;
};

// A temporary application folder holding every file the program needs, with a main window
// built on it, scripted message boxes and a recorded "end the program".
class AppFolderTest : public TempFolderTest {
  protected:
    AppFolderTest();

    const QString& appFolder() const { return appFolder_; }
    // The main window with its real media player (sound only offscreen) and this fixture's MCI.
    std::unique_ptr<app::FrmFM> makeWindow();
    app::MediaServices media();
    void createFile(const QString& name);
    QString setting(const QString& section, const QString& key);
    void setSetting(const QString& section, const QString& key, const QString& value);

    ScriptedMessageBoxes boxes;
    RecordingShell shell;
    CommandLog mci;
    int captureDevices = 1;
    int endCalls = 0;

  private:
    QString appFolder_;
};

}  // namespace testing_support
