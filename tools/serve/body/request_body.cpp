#include "request_body.h"

#include <nlohmann/json.hpp>

#include <array>
#include <unordered_set>
#include <vector>

#include "cmg290/record_builder.h"
#include "cmg290/record_layout.h"

namespace cmg290::serve {

namespace {

using Json = nlohmann::json;

// Member names are echoed in errors; a name longer than this is cut.
constexpr std::size_t kMaxNameShown = 64;

bool fail(BodyError& error, std::string code, std::string message, std::string field = {}) {
  error.code = std::move(code);
  error.message = std::move(message);
  error.field = std::move(field);
  return false;
}

std::string shown_name(const std::string& name) {
  return name.size() <= kMaxNameShown ? name : name.substr(0, kMaxNameShown) + "...";
}

std::string lower_media_type(std::string_view contentType) {
  const std::size_t semicolon = contentType.find(';');
  std::string_view type = contentType.substr(0, semicolon);
  while (!type.empty() && (type.front() == ' ' || type.front() == '\t')) type.remove_prefix(1);
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.remove_suffix(1);
  std::string lower(type);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// UTF-8 text (as the JSON parser hands it over, already checked) to one byte
// per character. False when a character lies above U+00FF.
bool to_bytes(const std::string& utf8, std::string& bytes) {
  bytes.clear();
  bytes.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      bytes.push_back(static_cast<char>(c));
    } else if ((c == 0xc2 || c == 0xc3) && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[++i]);
      bytes.push_back(static_cast<char>(((c & 0x03) << 6) | (next & 0x3f)));
    } else {
      return false;
    }
  }
  return true;
}

bool fields_to_record(const Json& fields, std::string& record, BodyError& error) {
  if (!fields.is_object()) {
    return fail(error, "bad_type", "\"fields\" must be an object of field names and texts",
                "fields");
  }
  std::vector<std::string> texts;
  std::vector<FieldValue> values;
  texts.reserve(fields.size());
  values.reserve(fields.size());
  for (const auto& [name, value] : fields.items()) {
    const FieldLayout* layout = find_field(name);
    if (layout == nullptr) {
      return fail(error, "unknown_field", "no record field has this name (see GET /v1/layout)",
                  shown_name(name));
    }
    if (!value.is_string()) {
      return fail(error, "bad_type", "a field value must be a string", name);
    }
    std::string text;
    if (!to_bytes(value.get_ref<const std::string&>(), text)) {
      return fail(error, "bad_value", "a field value holds a character above U+00FF", name);
    }
    if (text.size() > static_cast<std::size_t>(layout->length)) {
      return fail(error, "too_long",
                  "value of " + std::to_string(text.size()) + " characters; the field holds " +
                      std::to_string(layout->length),
                  name);
    }
    texts.push_back(std::move(text));
  }
  std::size_t i = 0;
  for (const auto& [name, value] : fields.items()) {
    values.push_back({find_field(name)->name, texts[i++]});
  }
  BuiltRecord built = build_record(values);
  if (!built.ok()) return fail(error, "bad_value", built.error);
  record = std::move(built.record);
  return true;
}

}  // namespace

BodyType body_type(std::string_view contentType) {
  const std::string type = lower_media_type(contentType);
  if (type.empty() || type == "text/plain") return BodyType::Text;
  if (type == "application/json" || type == "application/x-ndjson" || type == "application/jsonl") {
    return BodyType::Json;
  }
  return BodyType::Unsupported;
}

std::string_view record_from_text(std::string_view body) {
  if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
  if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
  return body;
}

bool record_from_json(std::string_view body, std::string& record, BodyError& error) {
  // The member names of each object being read, to find one given twice:
  // which of the two was meant cannot be told.
  std::vector<std::unordered_set<std::string>> open;
  bool duplicate = false;
  const auto check = [&open, &duplicate](int, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start) {
      open.emplace_back();
    } else if (event == Json::parse_event_t::object_end && !open.empty()) {
      open.pop_back();
    } else if (event == Json::parse_event_t::key && !open.empty()) {
      if (!open.back().insert(parsed.get_ref<const std::string&>()).second) duplicate = true;
    }
    return true;
  };
  Json json;
  try {
    json = Json::parse(body, check);
  } catch (const Json::parse_error& e) {
    // The library's own text quotes the bytes it stopped at; only the
    // offset is given back.
    return fail(error, "bad_json", "not valid JSON (at byte " + std::to_string(e.byte) + ")");
  } catch (const Json::exception&) {
    // A number beyond the range of a double, such as 1e999.
    return fail(error, "bad_json", "not valid JSON (a number out of range)");
  }
  if (duplicate) return fail(error, "bad_json", "a member name is given twice in one object");
  if (!json.is_object()) {
    return fail(error, "bad_type",
                "the body must be a JSON object with a \"record\" or a \"fields\" member");
  }
  const Json* recordMember = nullptr;
  const Json* fieldsMember = nullptr;
  for (const auto& [name, value] : json.items()) {
    if (name == "record") {
      recordMember = &value;
    } else if (name == "fields") {
      fieldsMember = &value;
    } else {
      return fail(error, "unknown_field", "unknown member; the body holds \"record\" or \"fields\"",
                  shown_name(name));
    }
  }
  if (recordMember != nullptr && fieldsMember != nullptr) {
    return fail(error, "bad_type", "give either \"record\" or \"fields\", not both", "fields");
  }
  if (recordMember != nullptr) {
    if (!recordMember->is_string()) {
      return fail(error, "bad_type", "\"record\" must be a string", "record");
    }
    if (!to_bytes(recordMember->get_ref<const std::string&>(), record)) {
      return fail(error, "bad_value", "the record holds a character above U+00FF", "record");
    }
    return true;
  }
  if (fieldsMember != nullptr) return fields_to_record(*fieldsMember, record, error);
  return fail(error, "missing_record", "the body holds neither \"record\" nor \"fields\"");
}

}  // namespace cmg290::serve
