// The options a request gives in its target's query (/v1/group?edits=true).
// Only the routes that group take options; a name they do not know, a name
// given twice or a value they do not take is refused, so that a mistyped
// option never passes as if it had been taken.
#pragma once

#include <string_view>

#include "request_body.h"

namespace cmg290::serve {

struct RequestOptions {
  bool edits = false;  // the answers carry the records' edits
};

// Reads `query` (the target after its '?', percent-encoded; empty for none)
// into `options`. Returns false and sets `error` (code "bad_option", the
// option's name as its field when it is one we know) when the query is
// refused.
bool read_options(std::string_view query, RequestOptions& options, BodyError& error);

}  // namespace cmg290::serve
