// Files the server carries inside itself: the page at "/" with its style and
// script, and the OpenAPI description of the API. They are made into
// assets.cpp from tools/serve/page/ when building.
#pragma once

#include <string_view>

namespace cmg290::serve {

struct Asset {
  std::string_view path;         // "/", "/page.css", ...
  std::string_view contentType;  // with its charset
  std::string_view body;
};

// The page file served at this path, or nullptr.
const Asset* find_asset(std::string_view path);

// The OpenAPI 3 document of the API.
std::string_view openapi_document();

}  // namespace cmg290::serve
