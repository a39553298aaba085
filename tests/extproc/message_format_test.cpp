// The boundary's formatting of a raised message, called directly: it is
// bounded by its buffer whatever the text, which no caller inside the module
// can show.
#include <string>

#include <gtest/gtest.h>

#include "extproc/call_context.h"
#include "extproc/oci_host.h"

namespace cmg290::test {
namespace {

using extproc::myCtx;
using extproc::raise_application_error;

std::string raise(const std::string& text) {
  OciHost& host = OciHost::get();
  host.reset();
  OCIExtProcContext* extProcCtx = host.beginCall();
  myCtx ctx{extProcCtx, &extProcCtx->env, &extProcCtx->svc, &extProcCtx->err};
  raise_application_error(&ctx, 20000, "%s", text.c_str());
  const auto raised = host.callsOf(OciCall::RaiseExcpWithMsg);
  EXPECT_EQ(raised.size(), 1u);
  if (raised.empty()) return {};
  EXPECT_EQ(raised[0].handle, extProcCtx);
  EXPECT_EQ(raised[0].number, 20000);
  EXPECT_EQ(raised[0].length, 0u);
  return raised[0].message;
}

TEST(RaiseApplicationError, MessageIsCutAtTheEndOfItsBuffer) {
  EXPECT_EQ(raise(std::string(8191, 'm')), std::string(8191, 'm'));
  EXPECT_EQ(raise(std::string(8192, 'm')), std::string(8191, 'm'));
  EXPECT_EQ(raise(std::string(100000, 'm')), std::string(8191, 'm'));
}

}  // namespace
}  // namespace cmg290::test
