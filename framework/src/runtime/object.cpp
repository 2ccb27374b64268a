#include "fw/runtime/object.h"

namespace fw {

void RaiseNilObject() {
    throw NilObjectException("An object was used that does not exist (nil).");
}

void RaiseIllegalCast() {
    throw IllegalCastException("An object is not of the class it was taken for.");
}

}  // namespace fw
