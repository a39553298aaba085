// The Content-Security-Policy of the server's page and its files.
#pragma once

#include <string_view>

namespace cmg290::serve {

// The policy every answer has (kPagePolicy), with one more allowance: the
// style element of a report's page, by its hash, so that a report the page
// shows in a frame of its own (which takes on the page's policy) is styled.
// No other inline style, and still no inline script.
std::string_view page_policy();

}  // namespace cmg290::serve
