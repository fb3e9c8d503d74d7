#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

namespace platform {

// The desktop's "open" action and starting programs.
class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a web address, a "mailto:" address or a file with the program the desktop associates
    // with it. Returns whether the desktop accepted the request.
    virtual bool open(const QString& target) = 0;
    // Starts a program without waiting for it. Returns false (with the reason) when it cannot
    // start.
    virtual bool startProgram(const QString& program, const QStringList& arguments,
                              QString* error) = 0;
};

class DesktopShell final : public Shell {
  public:
    bool open(const QString& target) override;
    bool startProgram(const QString& program, const QStringList& arguments,
                      QString* error) override;
};

// What taking the single-instance lock found.
enum class InstanceLock {
    Acquired,       // this is the first instance (and now holds the lock)
    HeldByAnother,  // a live process of this program holds the lock
    Unavailable,    // the lock could not be taken for any other reason: nothing is known
};

// The previous-instance test for one user: holding the lock means being the first instance. The
// lock lives in the user's runtime folder; the lock of an instance that crashed is recognised as
// stale and taken over.
class SingleInstance {
  public:
    explicit SingleInstance(const QString& name);
    // The lock in another folder than the runtime folder.
    SingleInstance(const QString& name, const QString& folder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Only a lock held by a live process is HeldByAnother; `reason` tells why the lock was
    // Unavailable.
    InstanceLock acquire(QString* reason = nullptr);
    static QString lockPath(const QString& name);
    static QString runtimeFolder();

  private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace platform
