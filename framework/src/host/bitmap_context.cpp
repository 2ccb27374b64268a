#include "host/bitmap_context.h"

#include <memory>
#include <utility>

#include "fw/ui/picture.h"
#include "platform/os/cg.h"

namespace fw::host {

namespace cg = platform::cg;

namespace {

Picture::ContentTag TagOf(const cg::KnownContent& c) {
    Picture::ContentTag t;
    if (!c) return t;
    t.words[0] = c.reading;
    t.words[1] = uint64_t(uint32_t(c.x)) << 32 | uint32_t(c.y);
    t.words[2] = uint64_t(uint32_t(c.width)) << 32 | uint32_t(c.height);
    t.words[3] = uint64_t(c.from) << 8 | c.to;
    return t;
}

cg::KnownContent ContentOfTag(const Picture::ContentTag& t) {
    cg::KnownContent c;
    if (!t) return c;
    c.reading = t.words[0];
    c.x = int32_t(uint32_t(t.words[1] >> 32));
    c.y = int32_t(uint32_t(t.words[1]));
    c.width = int32_t(uint32_t(t.words[2] >> 32));
    c.height = int32_t(uint32_t(t.words[2]));
    c.from = uint8_t(t.words[3] >> 8);
    c.to = uint8_t(t.words[3]);
    return c;
}

// A new picture's fill, taken over by the bitmap context made for it. The
// context may put off a capture drawn into it (cg::RowsOwed); then it stays
// with the picture after the plug-in lets go, until someone looks.
class ContextFill final : public Picture::FillTaker {
  public:
    ~ContextFill() override {
        if (context_ == nullptr) return;
        // Unpaid when the picture goes: nothing must be written any more.
        cg::ForgetOwed(context_);
        cg::CGContextRelease(context_);
    }
    void Take(cg::CGContextRef context) { context_ = cg::CGContextRetain(context); }
    bool Pay() override {
        return context_ != nullptr && cg::CGBitmapContextGetData(context_) != nullptr;
    }
    bool Rows(Picture::OwedRows* out) const override {
        cg::OwedRows rows;
        if (context_ == nullptr || !cg::RowsOwed(context_, &rows)) return false;
        out->data = rows.data;
        out->rowBytes = rows.bytesPerRow;
        out->red = rows.red;
        out->green = rows.green;
        out->blue = rows.blue;
        return true;
    }

  private:
    cg::CGContextRef context_ = nullptr;
};

}  // namespace

void* CreatePictureContext(Picture& picture) {
    cg::CGColorSpaceRef space = cg::CGColorSpaceCreateDeviceRGB();
    if (!space) return nullptr;
    // The context's layout is the picture's own byte order, so a plug-in's
    // writes through it need no conversion on the way to the window.
    const auto info = picture.HasAlphaChannel() ? cg::kCGImageAlphaPremultipliedLast
                                                : cg::kCGImageAlphaNoneSkipLast;
    // What the pages hold before the context's writes begin.
    const Picture::ContentTag holds = picture.KnownContent();
    // A new picture's black is the context's to write, where the plug-in does
    // not draw over every pixel first; anyone who looks before asks it.
    auto taker = std::make_shared<ContextFill>();
    bool owed = false;
    uint32_t fill = 0;
    uint8_t* pixels = picture.PixelsOwingFill(&owed, &fill, taker);
    cg::CGContextRef context =
        owed ? cg::NewBitmapContextOwingFill(pixels, size_t(picture.Width()),
                                             size_t(picture.Height()), picture.RowBytes(), space,
                                             cg::CGBitmapInfo(info), fill)
             : cg::CGBitmapContextCreate(pixels, size_t(picture.Width()), size_t(picture.Height()),
                                         8, picture.RowBytes(), space, cg::CGBitmapInfo(info));
    if (owed && context) taker->Take(context);
    if (context && picture.PagesSharedUntilWritten())
        cg::WriteOnlyChanges(context, ContentOfTag(holds));
    cg::CGColorSpaceRelease(space);
    return context;
}

void ReleasePictureContext(void* context, Picture& picture) {
    auto* c = static_cast<cg::CGContextRef>(context);
    // Asked first: settling the fill hands the context's data out.
    bool handedOut = false;
    const cg::KnownContent holds = c ? cg::ContentOf(c, &handedOut) : cg::KnownContent{};
    // Settles the fill while the plug-in's context is still there, unless
    // the context put off a capture: that stays owed to the picture.
    cg::OwedRows rows;
    if (c == nullptr || !cg::RowsOwed(c, &rows)) (void)std::as_const(picture).Pixels();
    picture.NoteContent(TagOf(holds), handedOut);
    if (c) cg::CGContextRelease(c);
}

}  // namespace fw::host
