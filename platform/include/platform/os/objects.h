// Bookkeeping shared by the OS service subsets (CoreFoundation, CoreGraphics,
// CGL and QuickDraw): every object that a Create or Copy call hands out is
// counted until its last release, so that tests can check that a caller
// gives back everything it took.
#pragma once

#include <cstdint>

namespace platform::os {

enum class ObjectKind : int {
    String,
    Number,
    Dictionary,
    Url,
    Bundle,
    ColorSpace,
    Image,
    BitmapContext,
    PixelFormat,
    GLContext,
    GWorld,
};

// Objects alive now: all kinds together, or one kind. Constants that live for
// the whole process (named strings, the display mode dictionaries) are not
// counted.
int64_t LiveObjectCount();
int64_t LiveObjectCount(ObjectKind kind);

namespace testing {

// Makes the next `count` creations of objects of `kind` fail the way an
// exhausted system would (a null result or an error code); 0 ends it.
void FailCreations(ObjectKind kind, int count);

}  // namespace testing

}  // namespace platform::os
