// A request's headers as Beast parsed them, checked for what this server
// will not process correctly, and turned into a Request.
#pragma once

#include <boost/beast/http/message.hpp>

#include <optional>

#include "http_message.h"

namespace cmg290::serve {

// The request, or the answer refusing it: a body framed in more than one
// way or a way that is not plain (400), a POST with neither length nor
// chunks (411), a Content-Encoding (415), an Expect other than
// 100-continue (417), HTTP/1.1 without exactly one Host (400), HTTP/1.0
// with a Transfer-Encoding (400). Refusals close the connection. An
// HTTP/1.0 request's 100-continue is passed over.
std::optional<Answer> read_head(const boost::beast::http::request_header<>& head, Request& req);

}  // namespace cmg290::serve
