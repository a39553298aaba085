// callcmg290 as the database's external-procedure agent calls it: the built
// libcmg290.so is loaded with dlopen and resolves the platform functions from
// this executable, whose host records every call.
#include <dlfcn.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "extproc/oci_host.h"
#include "record_builder.h"

namespace cmg290::test {

void PrintTo(OciCall call, std::ostream* os) {
  *os << name(call);
}

namespace {

using Entry = int (*)(OCIExtProcContext*, char*, char*, int*, char*, int*, int*, char*, char*);

std::string loadError;

Entry entry() {
  static const Entry fn = []() -> Entry {
    void* lib = dlopen(CMG290_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
      loadError = dlerror();
      return nullptr;
    }
    void* symbol = dlsym(lib, "callcmg290");
    if (symbol == nullptr) loadError = dlerror();
    return reinterpret_cast<Entry>(symbol);
  }();
  return fn;
}

// The session's record is looked up and stored under the bytes of the int 1.
const std::string kKey = [] {
  const std::int32_t one = 1;
  return std::string(reinterpret_cast<const char*>(&one), sizeof one);
}();

constexpr const char* kDatabaseText = "ORA-29400: data cartridge error\n";

struct Outputs {
  char cmgResult[6];
  int status;
  char motorScore[7];
  int cognitiveScore;
  int age;
  char tableVersion[5];
  char grouperVersion[5];
};

using enum OciCall;

class CallCmg290 : public ::testing::Test {
 protected:
  void SetUp() override {
    host.reset();
    ASSERT_NE(entry(), nullptr) << loadError;
  }

  int call(const std::string& record) {
    std::vector<char> text(record.begin(), record.end());
    text.push_back('\0');
    return call(text.data());
  }

  // One call of the agent: a fresh context, outputs preset to a pattern the
  // library never writes, and the call memory released afterwards.
  int call(char* record) {
    ctx = host.beginCall();
    std::memset(&out, 0x5A, sizeof out);
    const int rc = entry()(ctx, record, out.cmgResult, &out.status, out.motorScore,
                           &out.cognitiveScore, &out.age, out.tableVersion, out.grouperVersion);
    host.endCall();
    return rc;
  }

  bool outputsUntouched() const {
    Outputs preset;
    std::memset(&preset, 0x5A, sizeof preset);
    return std::memcmp(&preset, &out, sizeof out) == 0;
  }

  // The four fields of the stored record, in their order.
  std::vector<const void*> storedFields() const {
    auto* fields = static_cast<void* const*>(host.stored(kKey));
    if (fields == nullptr) return {};
    return {fields[0], fields[1], fields[2], fields[3]};
  }
  std::vector<const void*> handlesOf(const OCIExtProcContext* c) const {
    return {c, &c->env, &c->svc, &c->err};
  }

  // The message raised when OCIFileInit fails with the given error text.
  std::string raisedWhenFileInitFails() {
    host.fail(FileInit);
    EXPECT_EQ(call(RecordBuilder::valid()), -1);
    const auto raised = host.callsOf(RaiseExcpWithMsg);
    EXPECT_EQ(raised.size(), 1u);
    return raised.empty() ? std::string() : raised[0].message;
  }

  OciHost& host = OciHost::get();
  OCIExtProcContext* ctx = nullptr;
  Outputs out;
};

TEST_F(CallCmg290, FirstCallOfSessionSetsUpItsRecordThenGroups) {
  ASSERT_EQ(call(RecordBuilder::valid()), 0);
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(out.age, 70);
  EXPECT_STREQ(out.tableVersion, "2.90");
  EXPECT_STREQ(out.grouperVersion, "2.90");
  EXPECT_EQ(std::strlen(out.cmgResult), 5u);
  EXPECT_EQ(std::string(out.cmgResult + 1, 2), "01");

  EXPECT_EQ(host.sequence(),
            (std::vector{GetEnv, ContextGetValue, MemoryAlloc, ContextSetValue, ExtractInit,
                         ExtractSetNumKeys, ExtractTerm, FileInit, FileTerm}));
  EXPECT_EQ(host.calls()[0].handle, ctx);
  for (const RecordedCall& c : host.calls()) {
    if (c.call == GetEnv) continue;
    SCOPED_TRACE(name(c.call));
    EXPECT_EQ(c.handle, &ctx->env);
    EXPECT_EQ(c.err, &ctx->err);
  }

  const RecordedCall get = host.callsOf(ContextGetValue)[0];
  EXPECT_EQ(get.key, kKey);
  EXPECT_EQ(get.keyLength, 4u);

  const RecordedCall alloc = host.callsOf(MemoryAlloc)[0];
  EXPECT_EQ(alloc.duration, OCI_DURATION_PROCESS);
  EXPECT_EQ(alloc.size, 4 * sizeof(void*));
  EXPECT_EQ(alloc.flags, OCI_MEMORY_CLEARED);

  const RecordedCall set = host.callsOf(ContextSetValue)[0];
  EXPECT_EQ(set.duration, OCI_DURATION_SESSION);
  EXPECT_EQ(set.key, kKey);
  EXPECT_EQ(set.keyLength, 4u);
  EXPECT_EQ(host.callsOf(ExtractSetNumKeys)[0].flags, 3u);

  EXPECT_EQ(set.value, host.stored(kKey));
  EXPECT_EQ(storedFields(), handlesOf(ctx));
}

TEST_F(CallCmg290, LaterCallsOfSessionReuseTheRecordWithTheirOwnHandles) {
  ASSERT_EQ(call(RecordBuilder::valid()), 0);
  void* record = host.stored(kKey);
  host.clearCalls();

  ASSERT_EQ(call(RecordBuilder::valid()), 0);
  EXPECT_EQ(host.sequence(), (std::vector{GetEnv, ContextGetValue, FileInit, FileTerm}));
  EXPECT_EQ(host.stored(kKey), record);
  EXPECT_EQ(storedFields(), handlesOf(ctx));
  for (const RecordedCall& c : host.callsOf(FileInit)) EXPECT_EQ(c.err, &ctx->err);
  for (const RecordedCall& c : host.callsOf(FileTerm)) EXPECT_EQ(c.handle, &ctx->env);

  // A new database session starts with an empty store.
  host.newSession();
  host.clearCalls();
  ASSERT_EQ(call(RecordBuilder::valid()), 0);
  EXPECT_EQ(host.callsOf(MemoryAlloc).size(), 1u);
  EXPECT_EQ(host.callsOf(ExtractInit).size(), 1u);
  EXPECT_NE(host.stored(kKey), record);
}

TEST_F(CallCmg290, GroupingStatusIsReturnedNotRaised) {
  const RecordBuilder badId = RecordBuilder::valid().id("IRF-PAX");
  const RecordBuilder unknownImpairment = RecordBuilder::valid().impairment("  99.9");
  EXPECT_EQ(call(badId), 1);
  EXPECT_EQ(out.status, 1);
  EXPECT_EQ(call(unknownImpairment), 9);
  EXPECT_EQ(out.status, 9);
  EXPECT_EQ(out.age, 70);
  EXPECT_TRUE(host.callsOf(RaiseExcpWithMsg).empty());
  EXPECT_EQ(host.callsOf(FileTerm).size(), 2u);
  EXPECT_EQ(host.sequence().back(), FileTerm);
}

TEST_F(CallCmg290, FailingFileTermIsIgnored) {
  host.fail(FileTerm);
  EXPECT_EQ(call(RecordBuilder::valid()), 0);
  EXPECT_STREQ(out.grouperVersion, "2.90");
  EXPECT_TRUE(host.callsOf(RaiseExcpWithMsg).empty());
}

// --- Set-up failures --------------------------------------------------------

struct InitFailure {
  OciCall failing;
  const char* fixedMessage;  // null: the database's error text is raised
  std::vector<OciCall> sequence;
};

void PrintTo(const InitFailure& f, std::ostream* os) {
  *os << name(f.failing);
}

class CallCmg290InitFailure : public CallCmg290,
                              public ::testing::WithParamInterface<InitFailure> {};

TEST_P(CallCmg290InitFailure, RaisesError20000) {
  const InitFailure& f = GetParam();
  host.setErrorText(kDatabaseText);
  host.fail(f.failing);

  EXPECT_EQ(call(RecordBuilder::valid()), -1);
  EXPECT_TRUE(outputsUntouched());
  EXPECT_EQ(host.sequence(), f.sequence);

  const auto raised = host.callsOf(RaiseExcpWithMsg);
  ASSERT_EQ(raised.size(), 1u);
  EXPECT_EQ(raised[0].handle, ctx);
  EXPECT_EQ(raised[0].number, 20000);
  EXPECT_EQ(raised[0].length, 0u);
  EXPECT_EQ(raised[0].message, f.fixedMessage ? f.fixedMessage : "ORA-29400: data cartridge error");

  if (f.fixedMessage == nullptr) {
    const RecordedCall memory = host.callsOf(AllocCallMemory).at(0);
    EXPECT_EQ(memory.handle, ctx);
    EXPECT_EQ(memory.size, 256u);
    const RecordedCall get = host.callsOf(ErrorGet).at(0);
    EXPECT_EQ(get.handle, &ctx->err);
    EXPECT_EQ(get.number, 1);
    EXPECT_FALSE(get.sqlStateGiven);
    EXPECT_TRUE(get.errorCodeGiven);
    EXPECT_EQ(get.size, 255u);
    EXPECT_EQ(get.flags, OCI_HTYPE_ERROR);
  }
}

const std::vector<OciCall> kFirstSteps{GetEnv, ContextGetValue, MemoryAlloc, ContextSetValue};
std::vector<OciCall> stepsThen(std::vector<OciCall> more) {
  std::vector<OciCall> s = kFirstSteps;
  s.insert(s.end(), more.begin(), more.end());
  for (OciCall c : {AllocCallMemory, ErrorGet, RaiseExcpWithMsg}) s.push_back(c);
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, CallCmg290InitFailure,
    ::testing::Values(
        InitFailure{GetEnv, "failed to get OCI Connection", {GetEnv, RaiseExcpWithMsg}},
        InitFailure{ContextGetValue,
                    "failed to get OCI Context",
                    {GetEnv, ContextGetValue, RaiseExcpWithMsg}},
        InitFailure{MemoryAlloc,
                    "failed to get OCI Memory",
                    {GetEnv, ContextGetValue, MemoryAlloc, RaiseExcpWithMsg}},
        InitFailure{ContextSetValue, nullptr, stepsThen({})},
        InitFailure{ExtractInit, nullptr, stepsThen({ExtractInit})},
        InitFailure{ExtractSetNumKeys, nullptr, stepsThen({ExtractInit, ExtractSetNumKeys})},
        InitFailure{ExtractTerm, nullptr, stepsThen({ExtractInit, ExtractSetNumKeys, ExtractTerm})},
        InitFailure{FileInit, nullptr,
                    stepsThen({ExtractInit, ExtractSetNumKeys, ExtractTerm, FileInit})}),
    [](const auto& info) { return std::string(name(info.param.failing)); });

TEST_F(CallCmg290, RecordStaysStoredWhenExtractionStartUpFails) {
  host.fail(ExtractSetNumKeys);
  ASSERT_EQ(call(RecordBuilder::valid()), -1);
  host.clearFailures();
  host.clearCalls();

  EXPECT_EQ(call(RecordBuilder::valid()), 0);
  EXPECT_EQ(host.sequence(), (std::vector{GetEnv, ContextGetValue, FileInit, FileTerm}));
}

TEST_F(CallCmg290, RecordIsAllocatedAgainWhenItCouldNotBeStored) {
  host.fail(ContextSetValue);
  ASSERT_EQ(call(RecordBuilder::valid()), -1);
  host.clearFailures();
  host.clearCalls();

  EXPECT_EQ(call(RecordBuilder::valid()), 0);
  EXPECT_EQ(host.callsOf(MemoryAlloc).size(), 1u);
  EXPECT_EQ(host.callsOf(ExtractTerm).size(), 1u);
}

// --- The database's error text ----------------------------------------------

TEST_F(CallCmg290, ErrorTextLosesItsLastCharacterOnly) {
  const struct {
    std::string fetched, raised;
  } cases[] = {
      {"ORA-01013: user requested cancel of current operation\n",
       "ORA-01013: user requested cancel of current operation"},
      {"no newline at the end", "no newline at the en"},
      {"line one\nline two\n", "line one\nline two"},
      {"\n", ""},
      {"", ""},
      // Cut by the error handle to 254 characters, then one more removed.
      {std::string(300, 'e'), std::string(253, 'e')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fetched);
    host.reset();
    host.setErrorText(c.fetched);
    EXPECT_EQ(raisedWhenFileInitFails(), c.raised);
  }
}

TEST_F(CallCmg290, MissingErrorTextIsReportedAsUnableToRetrieve) {
  host.setErrorText(std::nullopt);
  EXPECT_EQ(raisedWhenFileInitFails(), "unable to retrieve message");
}

// The message buffer comes from call memory. Without it there is nothing to
// fetch the text into, and a fixed text is raised instead.
TEST_F(CallCmg290, NoCallMemoryForTheErrorTextRaisesAFixedText) {
  host.setErrorText(kDatabaseText);
  host.fail(AllocCallMemory);
  EXPECT_EQ(raisedWhenFileInitFails(), "unable to retrieve message");
  EXPECT_TRUE(host.callsOf(ErrorGet).empty());
  EXPECT_TRUE(outputsUntouched());
}

// An error handle that fills its whole room and leaves no terminator: the
// text ends inside the 256 bytes of call memory all the same.
TEST_F(CallCmg290, UnterminatedErrorTextEndsInsideItsBuffer) {
  host.setErrorText("x", /*terminated=*/false);
  EXPECT_EQ(raisedWhenFileInitFails(), std::string(254, 'x'));
}

// --- The record text ----------------------------------------------------------

// The database hands the record over as a zero-terminated text of the
// caller's length; nothing after the terminator belongs to it.
TEST_F(CallCmg290, ShortRecordTextIsGroupedAsIfFilledWithBlanks) {
  // Ends just before the version date: read as blank, the date is below
  // 20100701 and selects no table version.
  const std::string full = RecordBuilder::valid();
  constexpr std::size_t kCut = 994;

  auto exact = std::make_unique<char[]>(kCut + 1);
  std::memcpy(exact.get(), full.data(), kCut);
  exact[kCut] = '\0';
  EXPECT_EQ(call(exact.get()), 3);
  EXPECT_STREQ(out.tableVersion, "    ");

  std::vector<char> terminatedEarly(full.begin(), full.end());
  terminatedEarly.push_back('\0');
  terminatedEarly[kCut] = '\0';
  EXPECT_EQ(call(terminatedEarly.data()), 3);
  EXPECT_STREQ(out.tableVersion, "    ");

  EXPECT_EQ(call(nullptr), 1);
  EXPECT_STREQ(out.grouperVersion, "2.90");
}

}  // namespace
}  // namespace cmg290::test
