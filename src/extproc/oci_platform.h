// Declarations of the Oracle external-procedure and OCI functions that the
// database boundary calls, with the types and constants it needs.
//
// These are our own declarations, written from what the boundary passes to
// each function: no client library or header of the database is needed to
// build. The functions are left undefined in libcmg290.so and are resolved
// from the external-procedure agent that loads it, so every declaration here
// keeps the C linkage and the integer widths of the platform's interface.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Opaque handles. Only the platform knows their layout; the boundary stores
// and passes their addresses.
struct OCIExtProcContext;
struct OCIEnv;
struct OCISvcCtx;
struct OCIError;

typedef std::uint8_t ub1;
typedef std::uint16_t ub2;
typedef std::uint32_t ub4;
typedef std::int32_t sb4;
typedef std::int32_t sword;
typedef unsigned int uword;
typedef unsigned char text;
typedef void dvoid;
typedef ub2 OCIDuration;

// Hands out the environment, service context and error handles of the
// external-procedure context of the current call.
sword ociepgoe(OCIExtProcContext* withContext, OCIEnv** envhp, OCISvcCtx** svchp, OCIError** errhp);

// Raises `errorNumber` with a zero-terminated message (length 0) to the
// database caller; the error is reported once the procedure returns.
std::size_t ociepmsg(OCIExtProcContext* withContext, int errorNumber, text* errorMessage,
                     std::size_t length);

// Memory that lives until the current external-procedure call returns; the
// platform releases it.
dvoid* ociepacm(OCIExtProcContext* withContext, std::size_t amount);

// A user value per database session, stored under a key of keyLength bytes.
// The value read back is null when nothing is stored under the key.
sword OCIContextGetValue(dvoid* hdl, OCIError* err, ub1* key, ub1 keyLength, dvoid** ctxValue);
sword OCIContextSetValue(dvoid* hdl, OCIError* err, OCIDuration duration, ub1* key, ub1 keyLength,
                         dvoid* ctxValue);

sword OCIMemoryAlloc(dvoid* hdl, OCIError* err, dvoid** mem, OCIDuration duration, ub4 size,
                     ub4 flags);

// Copies the text of error record `recordNumber` (from 1) of the handle into
// buf, at most bufSize bytes with the terminator.
sword OCIErrorGet(dvoid* hndlp, ub4 recordNumber, text* sqlState, sb4* errorCode, text* buf,
                  ub4 bufSize, ub4 type);

sword OCIExtractInit(dvoid* hndl, OCIError* err);
sword OCIExtractSetNumKeys(dvoid* hndl, OCIError* err, uword numKeys);
sword OCIExtractTerm(dvoid* hndl, OCIError* err);

sword OCIFileInit(dvoid* hndl, OCIError* err);
sword OCIFileTerm(dvoid* hndl, OCIError* err);

}  // extern "C"

// The platform's long names of the external-procedure services; the linker
// sees only the short ones above.
#define OCIExtProcGetEnv ociepgoe
#define OCIExtProcRaiseExcpWithMsg ociepmsg
#define OCIExtProcAllocCallMemory ociepacm

inline constexpr sword OCI_SUCCESS = 0;
inline constexpr sword OCI_ERROR = -1;
inline constexpr sword OCI_NO_DATA = 100;

inline constexpr ub4 OCI_HTYPE_ERROR = 2;

inline constexpr OCIDuration OCI_DURATION_PROCESS = 5;
inline constexpr OCIDuration OCI_DURATION_SESSION = 10;

inline constexpr ub4 OCI_MEMORY_CLEARED = 1;
