// The CoreFoundation objects behind the opaque references of cf.h.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "os/object.h"
#include "platform/os/cf.h"

namespace platform::cf {

struct OpaqueCFString : os::Object {
    OpaqueCFString(std::string t, bool immortal)
        : Object(os::ObjectKind::String, immortal), text(std::move(t)) {}
    std::string text;
};

struct OpaqueCFNumber : os::Object {
    OpaqueCFNumber(int64_t v, bool immortal) : Object(os::ObjectKind::Number, immortal), value(v) {}
    int64_t value;
};

// Keys are strings compared by text; the dictionary holds a reference to
// each value.
struct OpaqueCFDictionary : os::Object {
    explicit OpaqueCFDictionary(bool immortal) : Object(os::ObjectKind::Dictionary, immortal) {}
    ~OpaqueCFDictionary() override {
        for (auto& e : entries) e.second->Release();
    }
    void Add(std::string key, const os::Object* value) {
        value->Retain();
        entries.emplace_back(std::move(key), value);
    }
    std::vector<std::pair<std::string, const os::Object*>> entries;
};

// The text of a string reference, null for anything that is not a string.
const std::string* StringText(const void* ref);

}  // namespace platform::cf
