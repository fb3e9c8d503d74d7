#pragma once

#include <QString>

#include <exception>
#include <string>

namespace platform {

// The numbered error that the system's classes raise: a number, the source that raised it and a
// description meant for the user. Handlers turn it into a message box (see ReportError).
class Error : public std::exception {
  public:
    Error(long number, QString source, QString description);

    long number() const { return number_; }
    const QString& source() const { return source_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    long number_;
    QString source_;
    QString description_;
    std::string what_;
};

// The source text of errors raised by the running program: its file name without extension.
QString programName();

}  // namespace platform
