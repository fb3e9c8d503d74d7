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

// The previous-instance test for one user: holding the lock means being the first instance. The
// lock lives in the user's runtime folder; the lock of an instance that crashed is recognised as
// stale and taken over.
class SingleInstance {
  public:
    explicit SingleInstance(const QString& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other live instance holds the lock (and this one now holds it).
    bool acquire();
    static QString lockPath(const QString& name);

  private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace platform
