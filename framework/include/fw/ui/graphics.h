// Drawing onto a window's canvas, a picture or a printed page.
#pragma once

#include <cstdint>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/color.h"

namespace fw {

class Picture;

class Graphics : public Object {
  public:
    // A source width or height that stands for the picture's full one.
    static constexpr int32_t kFullExtent = -10000;

    // Stretches the source rectangle (sx, sy, sw, sh) of the picture over the
    // destination rectangle (x, y, w, h) with nearest-neighbour sampling, so
    // that enlarged pixels stay crisp. sw or sh of kFullExtent means the
    // picture's full width or height.
    virtual void DrawPicture(const Ref<Picture>& picture, int32_t x, int32_t y, int32_t w,
                             int32_t h, int32_t sx = 0, int32_t sy = 0, int32_t sw = kFullExtent,
                             int32_t sh = kFullExtent) = 0;
    virtual void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
    // Draws text with its baseline at y; wrapWidth 0 means no wrapping.
    virtual void DrawString(const String& text, int32_t x, int32_t y, int32_t wrapWidth = 0,
                            bool condense = false) = 0;
    virtual void FillRect(int32_t x, int32_t y, int32_t w, int32_t h) = 0;

    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;

    String TextFont() const { return textFont_; }
    virtual void SetTextFont(const String& font) { textFont_ = font; }
    double TextSize() const { return textSize_; }
    virtual void SetTextSize(double size) { textSize_ = size; }
    bool Bold() const { return bold_; }
    virtual void SetBold(bool bold) { bold_ = bold; }
    Color ForeColor() const { return foreColor_; }
    virtual void SetForeColor(Color c) { foreColor_ = c; }

    // Printer graphics only: finishes the page and starts the next one.
    virtual void NextPage() {}

  protected:
    String textFont_ = "System";
    double textSize_ = 0;
    bool bold_ = false;
    Color foreColor_{0, 0, 0, 0};
};

}  // namespace fw
