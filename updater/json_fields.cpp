#include "updater/json_fields.h"

#include <cstring>

namespace jsonfield {

const Json::Value* Find(const Json::Value& object, const char* key) {
    if (!object.isObject()) return nullptr;
    const Json::Value* member = object.find(key, key + std::strlen(key));
    if (!member || member->isNull()) return nullptr;
    return member;
}

const Json::Value* Object(const Json::Value& object, const char* key) {
    const Json::Value* member = Find(object, key);
    return member && member->isObject() ? member : nullptr;
}

bool String(const Json::Value& object, const char* key, std::string& out) {
    const Json::Value* member = Find(object, key);
    if (!member || !member->isString()) return false;
    out = member->asString();
    return true;
}

bool Integer(const Json::Value& object, const char* key, int64_t& out) {
    const Json::Value* member = Find(object, key);
    // isInt64 also admits a real with an integral value; asInt64 cannot throw after it.
    if (!member || member->isBool() || !member->isInt64()) return false;
    out = member->asInt64();
    return true;
}

}  // namespace jsonfield
