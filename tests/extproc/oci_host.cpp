#include "oci_host.h"

#include <algorithm>
#include <cstring>

namespace cmg290::test {

namespace {

// Memory the host hands out is filled with this byte unless asked to clear
// it, so that nothing relies on zeroes it was not promised.
constexpr unsigned char kJunk = 0xA5;

}  // namespace

const char* name(OciCall call) {
  switch (call) {
    case OciCall::GetEnv:
      return "ociepgoe";
    case OciCall::RaiseExcpWithMsg:
      return "ociepmsg";
    case OciCall::AllocCallMemory:
      return "ociepacm";
    case OciCall::ContextGetValue:
      return "OCIContextGetValue";
    case OciCall::ContextSetValue:
      return "OCIContextSetValue";
    case OciCall::MemoryAlloc:
      return "OCIMemoryAlloc";
    case OciCall::ErrorGet:
      return "OCIErrorGet";
    case OciCall::ExtractInit:
      return "OCIExtractInit";
    case OciCall::ExtractSetNumKeys:
      return "OCIExtractSetNumKeys";
    case OciCall::ExtractTerm:
      return "OCIExtractTerm";
    case OciCall::FileInit:
      return "OCIFileInit";
    case OciCall::FileTerm:
      return "OCIFileTerm";
  }
  return "?";
}

OciHost& OciHost::get() {
  static OciHost host;
  return host;
}

void OciHost::reset() {
  session_ = 1;
  calls_.clear();
  failing_.clear();
  errorText_.reset();
  errorTextTerminated_ = true;
  contexts_.clear();
  callMemory_.clear();
  processMemory_.clear();
  store_.clear();
}

OCIExtProcContext* OciHost::beginCall() {
  contexts_.push_back(
      std::make_unique<OCIExtProcContext>(OCIExtProcContext{{session_}, {session_}, {session_}}));
  return contexts_.back().get();
}

std::vector<OciCall> OciHost::sequence() const {
  std::vector<OciCall> out;
  for (const RecordedCall& c : calls_) out.push_back(c.call);
  return out;
}

std::vector<RecordedCall> OciHost::callsOf(OciCall call) const {
  std::vector<RecordedCall> out;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out),
               [call](const RecordedCall& c) { return c.call == call; });
  return out;
}

void* OciHost::stored(const std::string& key) const {
  auto it = store_.find({session_, key});
  return it == store_.end() ? nullptr : it->second;
}

RecordedCall& OciHost::record(OciCall call) {
  RecordedCall c;
  c.call = call;
  calls_.push_back(std::move(c));
  return calls_.back();
}

void* OciHost::allocateCallMemory(std::size_t size) {
  callMemory_.push_back(std::make_unique<unsigned char[]>(size));
  std::memset(callMemory_.back().get(), kJunk, size);
  return callMemory_.back().get();
}

void* OciHost::allocateProcessMemory(std::size_t size, bool cleared) {
  processMemory_.push_back(std::make_unique<unsigned char[]>(size));
  std::memset(processMemory_.back().get(), cleared ? 0 : kJunk, size);
  return processMemory_.back().get();
}

}  // namespace cmg290::test

// The platform functions, as the agent process provides them to the library.
using cmg290::test::OciCall;
using cmg290::test::OciHost;
using cmg290::test::RecordedCall;

namespace {

sword result(OciCall call) {
  return OciHost::get().failing(call) ? OCI_ERROR : OCI_SUCCESS;
}

std::string keyBytes(const ub1* key, ub1 keyLength) {
  return std::string(reinterpret_cast<const char*>(key), keyLength);
}

RecordedCall& recordHandles(OciCall call, dvoid* hndl, OCIError* err) {
  auto& c = OciHost::get().record(call);
  c.handle = hndl;
  c.err = err;
  return c;
}

sword handleCall(OciCall call, dvoid* hndl, OCIError* err) {
  recordHandles(call, hndl, err);
  return result(call);
}

}  // namespace

extern "C" {

sword ociepgoe(OCIExtProcContext* withContext, OCIEnv** envhp, OCISvcCtx** svchp,
               OCIError** errhp) {
  OciHost::get().record(OciCall::GetEnv).handle = withContext;
  if (OciHost::get().failing(OciCall::GetEnv)) return OCI_ERROR;
  *envhp = &withContext->env;
  *svchp = &withContext->svc;
  *errhp = &withContext->err;
  return OCI_SUCCESS;
}

std::size_t ociepmsg(OCIExtProcContext* withContext, int errorNumber, text* errorMessage,
                     std::size_t length) {
  auto& c = OciHost::get().record(OciCall::RaiseExcpWithMsg);
  c.handle = withContext;
  c.number = errorNumber;
  c.message = reinterpret_cast<const char*>(errorMessage);
  c.length = length;
  return OciHost::get().failing(OciCall::RaiseExcpWithMsg) ? 1 : 0;
}

dvoid* ociepacm(OCIExtProcContext* withContext, std::size_t amount) {
  auto& c = OciHost::get().record(OciCall::AllocCallMemory);
  c.handle = withContext;
  c.size = amount;
  if (OciHost::get().failing(OciCall::AllocCallMemory)) return nullptr;
  return OciHost::get().allocateCallMemory(amount);
}

sword OCIContextGetValue(dvoid* hdl, OCIError* err, ub1* key, ub1 keyLength, dvoid** ctxValue) {
  auto& c = OciHost::get().record(OciCall::ContextGetValue);
  c.handle = hdl;
  c.err = err;
  c.key = keyBytes(key, keyLength);
  c.keyLength = keyLength;
  if (OciHost::get().failing(OciCall::ContextGetValue)) return OCI_ERROR;
  *ctxValue = OciHost::get().stored(c.key);
  return OCI_SUCCESS;
}

sword OCIContextSetValue(dvoid* hdl, OCIError* err, OCIDuration duration, ub1* key, ub1 keyLength,
                         dvoid* ctxValue) {
  auto& c = OciHost::get().record(OciCall::ContextSetValue);
  c.handle = hdl;
  c.err = err;
  c.duration = duration;
  c.key = keyBytes(key, keyLength);
  c.keyLength = keyLength;
  c.value = ctxValue;
  if (OciHost::get().failing(OciCall::ContextSetValue)) return OCI_ERROR;
  OciHost::get().contextSet(c.key, ctxValue);
  return OCI_SUCCESS;
}

sword OCIMemoryAlloc(dvoid* hdl, OCIError* err, dvoid** mem, OCIDuration duration, ub4 size,
                     ub4 flags) {
  auto& c = OciHost::get().record(OciCall::MemoryAlloc);
  c.handle = hdl;
  c.err = err;
  c.duration = duration;
  c.size = size;
  c.flags = flags;
  if (OciHost::get().failing(OciCall::MemoryAlloc)) return OCI_ERROR;
  *mem = OciHost::get().allocateProcessMemory(size, (flags & OCI_MEMORY_CLEARED) != 0);
  return OCI_SUCCESS;
}

sword OCIErrorGet(dvoid* hndlp, ub4 recordNumber, text* sqlState, sb4* errorCode, text* buf,
                  ub4 bufSize, ub4 type) {
  OciHost& host = OciHost::get();
  auto& c = host.record(OciCall::ErrorGet);
  c.handle = hndlp;
  c.number = recordNumber;
  c.sqlStateGiven = sqlState != nullptr;
  c.errorCodeGiven = errorCode != nullptr;
  c.size = bufSize;
  c.flags = type;
  if (host.failing(OciCall::ErrorGet) || !host.errorText() || bufSize == 0) return OCI_NO_DATA;
  const std::string& msg = *host.errorText();
  if (host.errorTextTerminated()) {
    const std::size_t n = std::min<std::size_t>(msg.size(), bufSize - 1);
    std::memcpy(buf, msg.data(), n);
    buf[n] = '\0';
  } else {
    for (ub4 i = 0; i < bufSize; ++i) buf[i] = msg.empty() ? 'x' : msg[i % msg.size()];
  }
  if (errorCode != nullptr) *errorCode = 29400;
  return OCI_SUCCESS;
}

sword OCIExtractInit(dvoid* hndl, OCIError* err) {
  return handleCall(OciCall::ExtractInit, hndl, err);
}

sword OCIExtractSetNumKeys(dvoid* hndl, OCIError* err, uword numKeys) {
  recordHandles(OciCall::ExtractSetNumKeys, hndl, err).flags = numKeys;
  return result(OciCall::ExtractSetNumKeys);
}

sword OCIExtractTerm(dvoid* hndl, OCIError* err) {
  return handleCall(OciCall::ExtractTerm, hndl, err);
}

sword OCIFileInit(dvoid* hndl, OCIError* err) {
  return handleCall(OciCall::FileInit, hndl, err);
}

sword OCIFileTerm(dvoid* hndl, OCIError* err) {
  return handleCall(OciCall::FileTerm, hndl, err);
}

}  // extern "C"
