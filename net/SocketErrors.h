#pragma once

#include <QString>

// The socket layer's error numbers: the numbering and texts the program has always shown, and
// the translation of Linux errno values and resolver (getaddrinfo) results into them.
namespace MSocketSupport {

// The text of an error number; "Unknown error." for a number that has none.
QString GetErrorDescription(int code);

// The error number for an errno value. An errno without a counterpart is a failed system call
// (10107); 0 stays 0.
int ErrorFromErrno(int errnoValue);

// The error number for a getaddrinfo result (EAI_*); systemErrno is errno after an EAI_SYSTEM.
int ErrorFromResolver(int eai, int systemErrno);

}  // namespace MSocketSupport
