#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace platform {

enum class RegRoot { CurrentUser, LocalMachine };

// Result codes the registry callers act on (the numbers are the platform's own error numbers).
enum class RegStatus : int {
    Ok = 0,
    Failed = 1,
    FileNotFound = 2,
    AccessDenied = 5,  // the store's file exists but cannot be read: it is never written then
    Busy = 170,        // another process held the store's lock for longer than a change may wait
    BadKey = 1010
};

enum RegDisposition : int { RegCreatedNewKey = 1, RegOpenedExistingKey = 2 };

enum class RegKind : int { String = 1, Dword = 4 };

struct RegValue {
    RegKind kind = RegKind::String;
    QString text;             // for String
    std::uint32_t dword = 0;  // for Dword
};

// A per-user registry of keys holding named string and 32-bit values, kept in one file. Key paths
// use "\" between parts; key and value names compare without regard to case. Every change is a
// locked read-modify-write that replaces the file atomically, so two processes sharing the file
// lose no update and a crash never leaves a truncated file. Reads see the file as it is now.
// A file that exists but cannot be read reads as empty and is never written over; a file that
// cannot be understood is copied aside first, and the next change starts from an empty store.
class Registry {
  public:
    explicit Registry(QString filePath);

    // $XDG_CONFIG_HOME/Zorvita/registry.json (default ~/.config/Zorvita/registry.json).
    static QString defaultPath();

    const QString& filePath() const { return path_; }

    RegStatus openKey(RegRoot root, const QString& subKey) const;
    // Creates the key and its parents; `disposition` tells whether it existed.
    RegStatus createKey(RegRoot root, const QString& subKey, int* disposition = nullptr);
    // Setting and deleting values need an existing key (FileNotFound otherwise).
    RegStatus setValue(RegRoot root, const QString& subKey, const QString& name,
                       const RegValue& value);
    RegStatus deleteValue(RegRoot root, const QString& subKey, const QString& name);
    std::optional<RegValue> queryValue(RegRoot root, const QString& subKey,
                                       const QString& name) const;

    // Why the last change that did not succeed failed, in words for the user.
    const QString& lastError() const { return lastError_; }

    // How long a change waits for another process to finish its own; a holder keeps the lock
    // for a few milliseconds.
    static constexpr int kLockWaitMs = 2000;

  private:
    QString path_;
    QString lastError_;
};

}  // namespace platform
