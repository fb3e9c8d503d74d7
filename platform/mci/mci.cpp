#include "platform/mci/mci.h"

#include <algorithm>

namespace platform {

namespace {

// What separates words outside quotes; mciQuote quotes a name holding any of them.
bool isWordBreak(QChar c) {
    return c.isSpace();
}

}  // namespace

// Inside quotes two double quotes stand for one, so every file name a folder can hold (blanks of
// any kind, quotes, any script) survives quoting and splitting unchanged.
bool splitMciCommand(const QString& command, QStringList* words) {
    words->clear();
    QString word;
    bool inQuotes = false;
    bool haveWord = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == QLatin1Char('"')) {
            haveWord = true;
            if (inQuotes && i + 1 < command.size() && command[i + 1] == QLatin1Char('"')) {
                word.append(c);
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
        } else if (!inQuotes && isWordBreak(c)) {
            if (haveWord) {
                words->append(word);
                word.clear();
                haveWord = false;
            }
        } else {
            word.append(c);
            haveWord = true;
        }
    }
    if (haveWord) {
        words->append(word);
    }
    return !inQuotes;
}

QString mciQuote(const QString& path) {
    const bool plain = !path.isEmpty() && std::none_of(path.begin(), path.end(), [](QChar c) {
        return c == QLatin1Char('"') || isWordBreak(c);
    });
    if (plain) {
        return path;
    }
    QString quoted = path;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

MciSession::MciSession() = default;
MciSession::~MciSession() = default;

void MciSession::registerType(const QString& type, MciDeviceFactory factory) {
    factories_[type.toLower()] = std::move(factory);
}

unsigned long MciSession::mciSendString(const QString& command, QString* reply) {
    if (reply != nullptr) {
        reply->clear();
    }
    QStringList words;
    if (!splitMciCommand(command, &words)) {
        return MciErrNoClosingQuote;
    }
    if (words.isEmpty()) {
        return MciErrMissingCommandString;
    }
    const QString verb = words[0].toLower();
    if (verb == QLatin1String("open")) {
        return open(words);
    }
    if (words.size() < 2) {
        return MciErrMissingDeviceName;
    }
    const QString alias = words[1].toLower();
    if (verb == QLatin1String("close") && alias == QLatin1String("all")) {
        devices_.clear();
        return MciOk;
    }
    auto it = devices_.find(alias);
    if (it == devices_.end()) {
        return MciErrInvalidDeviceName;
    }
    if (verb == QLatin1String("close")) {
        devices_.erase(it);
        return MciOk;
    }
    QStringList rest = words;
    rest.removeAt(1);
    QString ignored;
    return it->second->command(rest, reply != nullptr ? reply : &ignored);
}

unsigned long MciSession::open(const QStringList& words) {
    if (words.size() < 2) {
        return MciErrMissingDeviceName;
    }
    const QString element = words[1];
    QString type;
    QString alias;
    for (int i = 2; i < words.size(); ++i) {
        const QString w = words[i].toLower();
        if ((w == QLatin1String("type") || w == QLatin1String("alias")) && i + 1 >= words.size()) {
            return MciErrMissingParameter;
        }
        if (w == QLatin1String("type")) {
            type = words[++i].toLower();
        } else if (w == QLatin1String("alias")) {
            alias = words[++i].toLower();
        }
    }
    if (type.isEmpty()) {
        return MciErrDeviceTypeRequired;
    }
    if (element.compare(QLatin1String("new"), Qt::CaseInsensitive) == 0 && alias.isEmpty()) {
        return MciErrNewRequiresAlias;
    }
    if (alias.isEmpty()) {
        alias = element.toLower();
    }
    if (devices_.count(alias) != 0) {
        return MciErrDuplicateAlias;
    }
    const auto factory = factories_.find(type);
    if (factory == factories_.end()) {
        return MciErrInvalidDeviceName;
    }
    unsigned long error = MciOk;
    auto device = factory->second(element, &error);
    if (!device) {
        return error != MciOk ? error : MciErrCannotLoadDriver;
    }
    devices_[alias] = std::move(device);
    return MciOk;
}

QString MciSession::mciGetErrorString(unsigned long code) const {
    switch (code) {
        case MciOk:
            return QStringLiteral("The specified command was carried out.");
        case MciErrInvalidDeviceId:
            return QStringLiteral(
                "Invalid device ID. Use the ID given to the device when the device was opened.");
        case MciErrUnrecognizedKeyword:
            return QStringLiteral("The driver cannot recognize the specified command parameter.");
        case MciErrUnrecognizedCommand:
            return QStringLiteral("The driver cannot recognize the specified command.");
        case MciErrHardware:
            return QStringLiteral(
                "There is a problem with your media device. Make sure it is working correctly or "
                "contact the device manufacturer.");
        case MciErrInvalidDeviceName:
            return QStringLiteral("The specified device is not open or is not recognized by MCI.");
        case MciErrOutOfMemory:
            return QStringLiteral(
                "Not enough memory available for this task. Quit one or more applications to "
                "increase available memory, and then try again.");
        case MciErrDeviceOpen:
            return QStringLiteral(
                "The device name is already being used as an alias by this application. Use a "
                "unique alias.");
        case MciErrCannotLoadDriver:
            return QStringLiteral(
                "There is an undetectable problem in loading the specified device driver.");
        case MciErrMissingCommandString:
            return QStringLiteral("No command was specified.");
        case MciErrBadInteger:
            return QStringLiteral("The specified integer is invalid for this command.");
        case MciErrFileNotFound:
            return QStringLiteral(
                "Cannot find the specified file. Make sure the path and filename are correct.");
        case MciErrDeviceNotReady:
            return QStringLiteral("The device is not ready.");
        case MciErrInternal:
            return QStringLiteral(
                "A problem occurred in initializing MCI. Try restarting the program.");
        case MciErrOutOfRange:
            return QStringLiteral(
                "The specified parameter is out of range for the specified command.");
        case MciErrFileNotSaved:
            return QStringLiteral(
                "The file was not saved. Make sure your system has sufficient disk space or has an "
                "intact network connection.");
        case MciErrDeviceTypeRequired:
            return QStringLiteral(
                "The specified device cannot be found. Make sure it is installed or that the "
                "device name is spelled correctly.");
        case MciErrDuplicateAlias:
            return QStringLiteral(
                "The specified alias is already being used in this application. Use a unique "
                "alias.");
        case MciErrBadConstant:
            return QStringLiteral("The specified parameter value is invalid for this command.");
        case MciErrMissingDeviceName:
            return QStringLiteral(
                "No device name was given. Specify a device name for this command.");
        case MciErrNoClosingQuote:
            return QStringLiteral(
                "A closing double-quotation mark is missing from the parameter value. Please "
                "supply one.");
        case MciErrInvalidFile:
            return QStringLiteral(
                "The specified file cannot be played on the specified MCI device. The file may be "
                "corrupt, not in the correct format, or no file handler available for this "
                "format.");
        case MciErrNewRequiresAlias:
            return QStringLiteral("An alias must be used with the \"new\" device name.");
        case MciErrFilenameRequired:
            return QStringLiteral("A valid filename is required.");
        case MciErrDeviceNotInstalled:
            return QStringLiteral("The specified device is not installed on the system.");
        case MciErrMissingParameter:
            return QStringLiteral("The specified command requires a parameter. Please supply one.");
        case MciErrWaveInputsUnsuitable:
            return QStringLiteral(
                "No wave recording device can record files in the current format.");
        case MciErrWaveInputUnavailable:
            return QStringLiteral(
                "No wave recording device is available. Make sure a sound server is running and a "
                "recording source exists.");
        case MciErrDiskFull:
            return QStringLiteral(
                "The disk is full. The recording was ended and what was captured was kept.");
        case MciErrFileTooLarge:
            return QStringLiteral(
                "The recording reached the largest size a wave file can hold (4 GB). It was "
                "ended there and what was captured was kept.");
        default:
            return QStringLiteral("An unknown problem occurred with the media device (error %1).")
                .arg(code);
    }
}

}  // namespace platform
