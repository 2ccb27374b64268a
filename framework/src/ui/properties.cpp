#include "fw/ui/properties.h"

#include "fw/runtime/classinfo.h"
#include "fw/runtime/exceptions.h"
#include "fw/runtime/text.h"

namespace fw {
namespace {
[[noreturn]] void WrongType(const char* wanted) {
    throw RuntimeException(std::string("Property value is not ") + wanted);
}
}  // namespace

int32_t PropertyValue::AsInteger() const {
    if (auto* i = std::get_if<int32_t>(&v_)) return *i;
    if (auto* d = std::get_if<double>(&v_)) return RuntimeCvtReal64ToSInt32(*d);
    if (auto* b = std::get_if<bool>(&v_)) return *b ? 1 : 0;
    WrongType("an integer");
}

bool PropertyValue::AsBoolean() const {
    if (auto* b = std::get_if<bool>(&v_)) return *b;
    if (auto* i = std::get_if<int32_t>(&v_)) return *i != 0;
    WrongType("a Boolean");
}

double PropertyValue::AsDouble() const {
    if (auto* d = std::get_if<double>(&v_)) return *d;
    if (auto* i = std::get_if<int32_t>(&v_)) return RuntimeCvtSInt32ToReal64(*i);
    WrongType("a number");
}

String PropertyValue::AsString() const {
    if (auto* s = std::get_if<String>(&v_)) return *s;
    WrongType("a text");
}

Color PropertyValue::AsColor() const {
    if (auto* c = std::get_if<Color>(&v_)) return *c;
    if (auto* i = std::get_if<int32_t>(&v_)) return Color::FromHex(static_cast<uint32_t>(*i));
    WrongType("a colour");
}

void RuntimeMassPropertySetter(Object& object, const PropertyList& list) {
    auto* target = dynamic_cast<PropertyTarget*>(&object);
    const ClassInfo* info = object.GetClassInfo();
    const std::string className = info ? info->Name() : std::string("object");
    if (!target) throw RuntimeException("Objects of " + className + " take no properties");
    for (const Property& p : list) {
        bool known = false;
        try {
            known = target->SetProperty(p.name, p.value);
        } catch (const RuntimeException& e) {
            throw RuntimeException("Property " + p.name.Bytes() + " of " + className + ": " +
                                   e.Message());
        }
        if (!known) {
            throw RuntimeException("Unknown property " + p.name.Bytes() + " of " + className);
        }
    }
}

}  // namespace fw
