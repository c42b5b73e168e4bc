// Reading members of documents that come from outside (the command line, the update
// service's reply). A member of an unexpected type counts as missing, so a malformed
// document takes the same path as an incomplete one instead of throwing.
#pragma once
#include <json/json.h>

#include <cstdint>
#include <string>

namespace jsonfield {

// The member `key` of `object` when `object` is an object and the member is not null.
const Json::Value* Find(const Json::Value& object, const char* key);

// Member that is an object.
const Json::Value* Object(const Json::Value& object, const char* key);

// Member that is a string (UTF-8 as parsed).
bool String(const Json::Value& object, const char* key, std::string& out);

// Member that is a number with an integral value in the 64-bit signed range.
bool Integer(const Json::Value& object, const char* key, int64_t& out);

}  // namespace jsonfield
