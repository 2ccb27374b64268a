// Property lists: the layout values of a window, control or menu item, applied
// by name. A window's or control's layout is a table in its source:
//
//   fw::RuntimeMassPropertySetter(*this, {{"Width", 300}, {"Title", "a"},
//                                         {"BackColor", fw::Color::FromHex(0x00FFFFFF)}});
//
// Each name goes through the object's own table of properties; a name that the
// object does not know is an error (RuntimeException naming it), never ignored,
// so a misspelt layout fails at start instead of leaving a default in place.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/color.h"

namespace fw {

// One layout value: a 32-bit integer, a Boolean, a double, a text or a colour.
class PropertyValue {
  public:
    using Storage = std::variant<int32_t, bool, double, String, Color>;

    PropertyValue(bool v) : v_(v) {}
    template <std::integral T>
    requires(!std::same_as<T, bool>) PropertyValue(T v) : v_(static_cast<int32_t>(v)) {}
    PropertyValue(double v) : v_(v) {}
    PropertyValue(const char* v) : v_(String(v)) {}
    PropertyValue(String v) : v_(std::move(v)) {}
    PropertyValue(Color v) : v_(v) {}

    const Storage& Value() const noexcept { return v_; }
    bool IsInteger() const noexcept { return std::holds_alternative<int32_t>(v_); }
    bool IsBoolean() const noexcept { return std::holds_alternative<bool>(v_); }
    bool IsDouble() const noexcept { return std::holds_alternative<double>(v_); }
    bool IsString() const noexcept { return std::holds_alternative<String>(v_); }
    bool IsColor() const noexcept { return std::holds_alternative<Color>(v_); }

    // Conversions for the setters. An integer reads as a double and a double as
    // an integer (through RuntimeCvtReal64ToSInt32); an integer reads as a colour
    // in the &hAARRGGBB form; any other mismatch raises RuntimeException.
    int32_t AsInteger() const;
    bool AsBoolean() const;
    double AsDouble() const;
    String AsString() const;
    Color AsColor() const;

  private:
    Storage v_;
};

struct Property {
    String name;
    PropertyValue value;
};

// Ordered: the entries are applied in the order of the list.
using PropertyList = std::vector<Property>;

// Implemented by every object that takes layout values (windows, controls,
// menu items). A subclass adds its own names and hands the others to its base.
class PropertyTarget {
  public:
    virtual ~PropertyTarget() = default;
    // Applies one value; false when the name is not a property of the object.
    // A value of the wrong type raises RuntimeException.
    virtual bool SetProperty(const String& name, const PropertyValue& value) = 0;
};

// Applies each entry in order. Raises RuntimeException naming the property
// ("Unknown property Wdith of Window2.Window2") for a name the object does not
// know, and for an object that takes no layout values at all.
void RuntimeMassPropertySetter(Object& object, const PropertyList& list);
template <class T>
void RuntimeMassPropertySetter(const Ref<T>& object, const PropertyList& list) {
    RuntimeMassPropertySetter(static_cast<Object&>(*object), list);
}

}  // namespace fw
