// A stand-in for the database's external-procedure agent: it defines the
// platform functions that libcmg290.so leaves undefined, records every call
// with its arguments, and can make any call fail.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "extproc/oci_platform.h"

// The host's handles. The library sees them only as opaque pointers; each
// call gets a context of its own, with handles of its own inside.
struct OCIEnv {
  int session;
};
struct OCISvcCtx {
  int session;
};
struct OCIError {
  int session;
};
struct OCIExtProcContext {
  OCIEnv env;
  OCISvcCtx svc;
  OCIError err;
};

namespace cmg290::test {

enum class OciCall {
  GetEnv,
  RaiseExcpWithMsg,
  AllocCallMemory,
  ContextGetValue,
  ContextSetValue,
  MemoryAlloc,
  ErrorGet,
  ExtractInit,
  ExtractSetNumKeys,
  ExtractTerm,
  FileInit,
  FileTerm,
};
const char* name(OciCall call);

// One platform call as the library made it. Fields a call does not have
// keep their defaults.
struct RecordedCall {
  OciCall call = OciCall::GetEnv;
  const void* handle = nullptr;  // the context, or the handle passed first
  const OCIError* err = nullptr;
  std::string key;  // the key bytes, keyLength of them
  unsigned keyLength = 0;
  unsigned duration = 0;
  std::uint64_t size = 0;       // bytes asked for; OCIErrorGet: the buffer size
  std::uint32_t flags = 0;      // allocation flags; OCIErrorGet: handle type; number of keys
  long number = 0;              // error number raised; OCIErrorGet: record number
  std::string message;          // the message raised
  std::uint64_t length = 0;     // length passed with the message
  const void* value = nullptr;  // the value stored
  bool sqlStateGiven = false;
  bool errorCodeGiven = false;
};

class OciHost {
 public:
  static OciHost& get();

  // Forgets everything: calls, failures, sessions and their stores.
  void reset();
  // Later calls belong to a new database session, with an empty store.
  void newSession() { ++session_; }

  // Every call of this kind fails until cleared.
  void fail(OciCall call) { failing_.insert(call); }
  void clearFailures() { failing_.clear(); }

  // The error handle's text for OCIErrorGet; none makes it report no data.
  // An unterminated text fills the whole buffer with no terminator.
  void setErrorText(std::optional<std::string> text, bool terminated = true) {
    errorText_ = std::move(text);
    errorTextTerminated_ = terminated;
  }

  // The context of a new external-procedure call, and the end of that call,
  // which releases its call memory.
  OCIExtProcContext* beginCall();
  void endCall() { callMemory_.clear(); }

  const std::vector<RecordedCall>& calls() const { return calls_; }
  std::vector<OciCall> sequence() const;
  std::vector<RecordedCall> callsOf(OciCall call) const;
  void clearCalls() { calls_.clear(); }

  // What the current session holds under the given key, or null.
  void* stored(const std::string& key) const;

  // Used by the platform functions.
  RecordedCall& record(OciCall call);
  bool failing(OciCall call) const { return failing_.count(call) != 0; }
  void* allocateCallMemory(std::size_t size);
  void* allocateProcessMemory(std::size_t size, bool cleared);
  void contextSet(const std::string& key, void* value) { store_[{session_, key}] = value; }
  const std::optional<std::string>& errorText() const { return errorText_; }
  bool errorTextTerminated() const { return errorTextTerminated_; }

 private:
  int session_ = 1;
  std::vector<RecordedCall> calls_;
  std::set<OciCall> failing_;
  std::optional<std::string> errorText_;
  bool errorTextTerminated_ = true;
  std::vector<std::unique_ptr<OCIExtProcContext>> contexts_;
  std::vector<std::unique_ptr<unsigned char[]>> callMemory_;
  std::vector<std::unique_ptr<unsigned char[]>> processMemory_;
  std::map<std::pair<int, std::string>, void*> store_;
};

}  // namespace cmg290::test
