#include "fw/runtime/classinfo.h"

#include <map>

namespace fw {
namespace {
std::map<std::string, const ClassInfo*, std::less<>>& Registry() {
    static std::map<std::string, const ClassInfo*, std::less<>> registry;
    return registry;
}
}  // namespace

bool ClassInfo::IsA(const ClassInfo& other) const noexcept {
    for (const ClassInfo* c = this; c; c = c->Base()) {
        if (c == &other) return true;
    }
    return false;
}

bool RegisterClass(const ClassInfo& info) {
    auto [it, inserted] = Registry().emplace(info.Name(), &info);
    return inserted || it->second == &info;
}

const ClassInfo* FindClass(std::string_view name) {
    auto& registry = Registry();
    auto it = registry.find(name);
    return it == registry.end() ? nullptr : it->second;
}

Ref<Object> RuntimeNewObject(const ClassInfo& info) {
    if (!info.GetFactory()) RaiseNilObject();
    return Ref<Object>(info.GetFactory()());
}

bool IsA(const Object* object, const ClassInfo& info) noexcept {
    if (!object) return false;
    const ClassInfo* c = object->GetClassInfo();
    return c && c->IsA(info);
}

}  // namespace fw
