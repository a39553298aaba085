// The database boundary: callcmg290, the entry that the database's
// external-procedure agent calls. It sets up the database context of the
// session, runs one grouping call and closes the per-call state again.
// Set-up failures reach the database caller as application error 20000 and
// the entry returns -1 without touching its arguments.
//
// The platform functions are weak references: the agent that loads the
// library defines them, and the dynamic linker binds them from it as it binds
// any other undefined symbol. Being weak, they also let an ordinary program
// link the library with the linker's default flags (which refuse strong
// undefined symbols in a library an executable needs) and load it without
// the agent; there they stay null, and callcmg290 refuses to run.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "cmg290/cmg290.h"
#include "cmg290/export.h"
#include "extproc/call_context.h"
#include "extproc/oci_platform.h"

#pragma weak ociepgoe
#pragma weak ociepmsg
#pragma weak ociepacm
#pragma weak OCIContextGetValue
#pragma weak OCIContextSetValue
#pragma weak OCIMemoryAlloc
#pragma weak OCIErrorGet
#pragma weak OCIExtractInit
#pragma weak OCIExtractSetNumKeys
#pragma weak OCIExtractTerm
#pragma weak OCIFileInit
#pragma weak OCIFileTerm

namespace {

using cmg290::extproc::kErrorNumber;
using cmg290::extproc::myCtx;
using cmg290::extproc::raise_application_error;

// True when the loading process defines every platform function. Outside
// the agent none of them is bound, and there is no way to report an error.
bool platform_present() {
  const void* const functions[] = {
      reinterpret_cast<const void*>(&ociepgoe),
      reinterpret_cast<const void*>(&ociepmsg),
      reinterpret_cast<const void*>(&ociepacm),
      reinterpret_cast<const void*>(&OCIContextGetValue),
      reinterpret_cast<const void*>(&OCIContextSetValue),
      reinterpret_cast<const void*>(&OCIMemoryAlloc),
      reinterpret_cast<const void*>(&OCIErrorGet),
      reinterpret_cast<const void*>(&OCIExtractInit),
      reinterpret_cast<const void*>(&OCIExtractSetNumKeys),
      reinterpret_cast<const void*>(&OCIExtractTerm),
      reinterpret_cast<const void*>(&OCIFileInit),
      reinterpret_cast<const void*>(&OCIFileTerm),
  };
  for (const void* f : functions) {
    if (f == nullptr) return false;
  }
  return true;
}

// The session's record is stored under the four bytes of the integer 1.
constexpr std::int32_t kContextKey = 1;
constexpr ub1 kContextKeyLength = sizeof kContextKey;

constexpr uword kExtractKeys = 3;

// Call memory for one error text. The error handle may fill all but the last
// byte, which stays ours for the terminator.
constexpr std::size_t kErrorTextSize = 256;
constexpr ub4 kErrorTextRoom = kErrorTextSize - 1;
constexpr char kDefaultErrorText[] = "unable to retrieve message\n";
// What lastOciError returns when no call memory can be had.
constexpr char kNoErrorText[] = "unable to retrieve message";

void raise_fixed(OCIExtProcContext* extProcCtx, const char* message) {
  OCIExtProcRaiseExcpWithMsg(extProcCtx, kErrorNumber,
                             reinterpret_cast<text*>(const_cast<char*>(message)), 0);
}

// The text of the first error record of the call's error handle, less its
// last character (the database ends its texts with a newline). Held in call
// memory, which the platform releases when the call returns.
const char* lastOciError(myCtx* ctx) {
  auto* buffer = static_cast<char*>(OCIExtProcAllocCallMemory(ctx->extProcCtx, kErrorTextSize));
  if (buffer == nullptr) return kNoErrorText;
  std::memcpy(buffer, kDefaultErrorText, sizeof kDefaultErrorText);

  sb4 errorCode = 0;
  OCIErrorGet(ctx->errHandle, 1, nullptr, &errorCode, reinterpret_cast<text*>(buffer),
              kErrorTextRoom, OCI_HTYPE_ERROR);
  buffer[kErrorTextRoom] = '\0';

  const std::size_t length = std::strlen(buffer);
  if (length > 0) buffer[length - 1] = '\0';
  return buffer;
}

// Returns the session's record with the handles of this call and the file
// services started, or null after raising an error.
myCtx* init(OCIExtProcContext* extProcCtx) {
  OCIEnv* envHandle = nullptr;
  OCISvcCtx* svcHandle = nullptr;
  OCIError* errHandle = nullptr;
  if (OCIExtProcGetEnv(extProcCtx, &envHandle, &svcHandle, &errHandle) != OCI_SUCCESS) {
    raise_fixed(extProcCtx, "failed to get OCI Connection");
    return nullptr;
  }

  std::int32_t keyValue = kContextKey;
  ub1* key = reinterpret_cast<ub1*>(&keyValue);
  dvoid* stored = nullptr;
  if (OCIContextGetValue(envHandle, errHandle, key, kContextKeyLength, &stored) != OCI_SUCCESS) {
    raise_fixed(extProcCtx, "failed to get OCI Context");
    return nullptr;
  }

  myCtx* ctx = static_cast<myCtx*>(stored);
  if (ctx != nullptr) {
    *ctx = myCtx{extProcCtx, envHandle, svcHandle, errHandle};
  } else {
    // First call of the session.
    dvoid* memory = nullptr;
    if (OCIMemoryAlloc(envHandle, errHandle, &memory, OCI_DURATION_PROCESS, sizeof(myCtx),
                       OCI_MEMORY_CLEARED) != OCI_SUCCESS ||
        memory == nullptr) {
      raise_fixed(extProcCtx, "failed to get OCI Memory");
      return nullptr;
    }
    ctx = new (memory) myCtx{extProcCtx, envHandle, svcHandle, errHandle};

    // Once stored, the record stays stored even when the extraction start-up
    // fails: the next call of the session finds it and goes on from there.
    if (OCIContextSetValue(envHandle, errHandle, OCI_DURATION_SESSION, key, kContextKeyLength,
                           ctx) != OCI_SUCCESS ||
        OCIExtractInit(envHandle, errHandle) != OCI_SUCCESS ||
        OCIExtractSetNumKeys(envHandle, errHandle, kExtractKeys) != OCI_SUCCESS ||
        OCIExtractTerm(envHandle, errHandle) != OCI_SUCCESS) {
      raise_application_error(ctx, kErrorNumber, "%s", lastOciError(ctx));
      return nullptr;
    }
  }

  if (OCIFileInit(ctx->envHandle, ctx->errHandle) != OCI_SUCCESS) {
    raise_application_error(ctx, kErrorNumber, "%s", lastOciError(ctx));
    return nullptr;
  }
  return ctx;
}

void term(myCtx* ctx) {
  OCIFileTerm(ctx->envHandle, ctx->errHandle);
}

// The database passes the record as a zero-terminated text of the caller's
// length, while the grouper reads 1251 positions whatever the text holds. A
// shorter text is grouped from a copy filled out with blanks, so nothing past
// its terminator is read.
int group(char* record, char* cmgResult, int* status, char* motorScore, int* cognitiveScore,
          int* age, char* tableVersion, char* grouperVersion) {
  constexpr std::size_t kLength = cmg290::kRecordLength;
  const char* end =
      record == nullptr ? nullptr : static_cast<const char*>(std::memchr(record, '\0', kLength));
  if (record != nullptr && end == nullptr)
    return CMG_290(record, cmgResult, status, motorScore, cognitiveScore, age, tableVersion,
                   grouperVersion);

  char padded[kLength + 1];
  std::memset(padded, ' ', kLength);
  padded[kLength] = '\0';
  if (record != nullptr) std::memcpy(padded, record, end - record);
  return CMG_290(padded, cmgResult, status, motorScore, cognitiveScore, age, tableVersion,
                 grouperVersion);
}

}  // namespace

// The agent passes its context first, then the eight arguments of CMG_290.
// Returns -1 when the database context cannot be set up (the error has been
// raised, unless the process has no platform functions to raise it with),
// otherwise the grouper's status code.
extern "C" CMG290_API int callcmg290(OCIExtProcContext* extProcCtx, char* record, char* cmgResult,
                                     int* status, char* motorScore, int* cognitiveScore, int* age,
                                     char* tableVersion, char* grouperVersion) {
  if (!platform_present()) return -1;
  myCtx* ctx = init(extProcCtx);
  if (ctx == nullptr) return -1;
  const int result = group(record, cmgResult, status, motorScore, cognitiveScore, age, tableVersion,
                           grouperVersion);
  term(ctx);
  return result;
}
