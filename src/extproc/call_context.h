// The handles of one call of the database boundary (cmg290proc.cpp), and
// the raising of an application error with a formatted message. A header of
// its own so that the tests call the formatting directly: its message is
// bounded by its buffer whatever the text, which no caller inside the
// module can show.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "extproc/oci_platform.h"

namespace cmg290::extproc {

// The handles of the current call. One record per database session, kept in
// the session's user context; every call rewrites all four fields before any
// of them is used.
struct myCtx {
  OCIExtProcContext* extProcCtx;  // raises errors, hands out call memory
  OCIEnv* envHandle;
  OCISvcCtx* svcHandle;  // kept with the others, read nowhere
  OCIError* errHandle;   // collects the errors of our OCI calls
};

inline constexpr int kErrorNumber = 20000;

inline constexpr std::size_t kMessageSize = 8192;

// Formats the message in the manner of printf and raises it with `code`. A
// message longer than the buffer is cut at its end.
[[gnu::format(printf, 3, 4)]] inline void raise_application_error(myCtx* ctx, int code,
                                                                  const char* format, ...) {
  char message[kMessageSize];
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(message, sizeof message, format, args) < 0) message[0] = '\0';
  va_end(args);
  OCIExtProcRaiseExcpWithMsg(ctx->extProcCtx, code, reinterpret_cast<text*>(message), 0);
}

}  // namespace cmg290::extproc
