// The routes that take records: POST /v1/group, /v1/explain and
// /v1/group/batch.
#pragma once

#include <httplib.h>

#include "routes.h"

namespace cmg290::serve {

// Reads a single call's body, groups or explains its record and answers.
// `reader` is null for a request without a body.
void answer_single(const RouteContext& context, const httplib::Request& req, httplib::Response& res,
                   const httplib::ContentReader* reader, bool explain);

// Streams a batch's results as its body arrives.
void answer_batch(const RouteContext& context, const httplib::Request& req, httplib::Response& res,
                  const httplib::ContentReader* reader);

}  // namespace cmg290::serve
