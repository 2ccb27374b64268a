// The mouse, read at the moment of the call, also while another application
// is in front.
#pragma once

#include <cstdint>

namespace fw::System {

// The pointer's position in global desktop points.
int32_t MouseX();
int32_t MouseY();

}  // namespace fw::System
