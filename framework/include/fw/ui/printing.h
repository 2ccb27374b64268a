// Printing: the print dialog with its printer graphics, and the text printer
// that lays a long text out over pages.
#pragma once

#include <cstdint>
#include <memory>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/graphics.h"

namespace fw {

// Shows the system's print dialog (modal). Confirmed: graphics for the chosen
// printer in points, origin at the top-left of the printable area; on US
// Letter with half-inch margins the page is 540 x 720. Cancelled: nil.
// The job is finished and sent when the last reference to the graphics goes.
Ref<Graphics> OpenPrinterDialog();

// Lays a text out in lines no wider than `width` with the graphics' current
// font, and draws it block by block. Lines break at blanks (a word wider than
// the width is broken anywhere); a carriage return or line feed ends a line,
// so two of them leave an empty line between paragraphs.
class StyledTextPrinter : public Object {
  public:
    StyledTextPrinter(const String& text, Ref<Graphics> graphics, int32_t width);
    ~StyledTextPrinter() override;

    // Draws the next lines that fit into the block of `height` below y, the
    // first line's top at y. At least one line is drawn while any remain, so
    // a loop over blocks always ends. An empty line at the top of a block
    // after the first is skipped.
    void DrawBlock(int32_t x, int32_t y, int32_t height);
    // True when nothing but blanks and line breaks is left to draw. (The
    // framework calls this EOF; that name is a C library macro.)
    bool Eof() const;
    int32_t Width() const noexcept { return width_; }

  private:
    struct Layout;
    std::unique_ptr<Layout> layout_;
    Ref<Graphics> graphics_;
    int32_t width_;
    bool firstBlock_ = true;
};

}  // namespace fw
