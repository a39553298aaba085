// Request bodies to records: a record as plain text, or a JSON object that
// holds a whole record or names its fields. What goes wrong is told by what
// and where (a member or field name), never by what the body held: bodies
// are patient data.
#pragma once

#include <string>
#include <string_view>

namespace cmg290::serve {

enum class BodyType { Text, Json, Unsupported };

// The body type of a Content-Type header value: text/plain (or none) is
// text; application/json, application/x-ndjson and application/jsonl are
// JSON (one object, or one per line in a batch).
BodyType body_type(std::string_view contentType);

// Why a body gives no record. `code` is a short machine-readable name
// ("bad_json", "bad_type", "unknown_field", "too_long", "bad_value",
// "missing_record"); `field` is the member or record field at fault, empty
// when the fault is not in one.
struct BodyError {
  std::string code;
  std::string message;
  std::string field;
};

// The record in a plain-text body: the body without one trailing line end
// (LF or CRLF).
std::string_view record_from_text(std::string_view body);

// The record in a JSON body: {"record": "..."} or {"fields": {"name":
// "value", ...}} with field names of the record layout. Text in JSON strings
// is taken one character per record position: characters up to U+00FF
// become one byte each (as the results write bytes above 127), so a record
// holds any bytes. Returns false and sets `error` when the body is not such
// an object.
bool record_from_json(std::string_view body, std::string& record, BodyError& error);

}  // namespace cmg290::serve
