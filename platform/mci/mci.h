#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

namespace platform {

// Result codes of MCI command strings (0 is success). The numbers are those callers may know.
enum MciError : unsigned long {
    MciOk = 0,
    MciErrInvalidDeviceId = 257,
    MciErrUnrecognizedKeyword = 259,
    MciErrUnrecognizedCommand = 261,
    MciErrHardware = 262,
    MciErrInvalidDeviceName = 263,
    MciErrOutOfMemory = 264,
    MciErrDeviceOpen = 265,
    MciErrCannotLoadDriver = 266,
    MciErrMissingCommandString = 267,
    MciErrBadInteger = 270,
    MciErrFileNotFound = 275,
    MciErrDeviceNotReady = 276,
    MciErrInternal = 277,
    MciErrOutOfRange = 282,
    MciErrFileNotSaved = 286,
    MciErrDeviceTypeRequired = 287,
    MciErrDuplicateAlias = 289,
    MciErrBadConstant = 290,
    MciErrMissingDeviceName = 292,
    MciErrNoClosingQuote = 294,
    MciErrInvalidFile = 296,
    MciErrNewRequiresAlias = 299,
    MciErrFilenameRequired = 304,
    MciErrDeviceNotInstalled = 306,
    MciErrMissingParameter = 417,
    MciErrWaveInputsUnsuitable = 324,
    MciErrWaveInputUnavailable = 326,
    MciErrDiskFull = 512,
    MciErrFileTooLarge = 513,
};

// The MCI command-string interface: a command text in, a result code and a reply text out.
class Mci {
  public:
    virtual ~Mci() = default;
    virtual unsigned long mciSendString(const QString& command, QString* reply = nullptr) = 0;
    virtual QString mciGetErrorString(unsigned long code) const = 0;
};

// A device opened with "open". It receives the commands that name its alias as words, with the
// alias taken out: "status rec length" arrives as {"status", "length"}.
class MciDevice {
  public:
    virtual ~MciDevice() = default;
    virtual unsigned long command(const QStringList& words, QString* reply) = 0;
};

// Makes a device for "open <element> type <type> ...": element is a file name or "new".
using MciDeviceFactory =
    std::function<std::unique_ptr<MciDevice>(const QString& element, unsigned long* error)>;

// The real command-string interpreter: "open ... type <t> alias <a>", "close <a>", "close all",
// and every other command routed to the device of its alias. Device types are registered by
// whoever builds the program, so each device lives in its own unit.
class MciSession final : public Mci {
  public:
    MciSession();
    ~MciSession() override;
    void registerType(const QString& type, MciDeviceFactory factory);
    unsigned long mciSendString(const QString& command, QString* reply = nullptr) override;
    QString mciGetErrorString(unsigned long code) const override;

  private:
    unsigned long open(const QStringList& words);
    std::map<QString, MciDeviceFactory> factories_;          // by lower-case type
    std::map<QString, std::unique_ptr<MciDevice>> devices_;  // by lower-case alias
};

// Splits a command into words at blanks (spaces, tabs, line breaks, any Unicode blank); double
// quotes group a word that holds them, and inside quotes "" is one double quote. Returns false
// when a quote is not closed.
bool splitMciCommand(const QString& command, QStringList* words);

// Makes a file name one word of a command that splitMciCommand gives back unchanged: a name with
// blanks or double quotes, or an empty one, is quoted.
QString mciQuote(const QString& path);

}  // namespace platform
