// Pictures: 32-bit images in memory, reference counted.
//
// A picture owns its pixel buffer. Without an alpha channel a pixel is the
// bytes red, green, blue, unused (an RGB bitmap context that skips the last
// byte); with an alpha channel it is red, green, blue, alpha with the colours
// premultiplied. The capture plug-in writes these bytes in place through the
// plug-in host; windows draw them without a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "fw/runtime/object.h"

namespace fw {

class Graphics;

class Picture : public Object {
  public:
    // A new picture, every pixel opaque black (transparent black with alpha).
    // Width and height must be 1..32767 and depth 32; otherwise nil.
    static Ref<Picture> New(int32_t width, int32_t height, int32_t depth = 32,
                            bool hasAlphaChannel = false);
    // The same picture, but its black is written only when someone first
    // looks at its pixels, unless a plug-in's bitmap context takes the fill
    // over first (PixelsOwingFill): the plug-in host's new pictures, which
    // captures overwrite whole.
    static Ref<Picture> NewOwingFill(int32_t width, int32_t height, int32_t depth = 32,
                                     bool hasAlphaChannel = false);
    ~Picture() override;

    int32_t Width() const noexcept { return width_; }
    int32_t Height() const noexcept { return height_; }
    int32_t Depth() const noexcept { return 32; }
    bool HasAlphaChannel() const noexcept { return hasAlpha_; }

    // The pixels, to write.
    uint8_t* Pixels();
    // The pixels, to read.
    const uint8_t* Pixels() const {
        if (fillOwed_) PayFill();
        return pixels_;
    }

    // Memory that holds what the pixels are owed, in another byte order: rows
    // `rowBytes` apart, four bytes a pixel with red, green and blue at the
    // offsets given and the fourth unused.
    struct OwedRows {
        const uint8_t* data = nullptr;
        size_t rowBytes = 0;
        uint8_t red = 0, green = 1, blue = 2;
    };
    // Whoever takes a new picture's fill over (PixelsOwingFill).
    class FillTaker {
      public:
        virtual ~FillTaker() = default;
        // Writes what is still due, and returns true; or returns false for
        // the picture to write its fill itself.
        virtual bool Pay() = 0;
        // While nothing is written yet: where the pixels to come can be read
        // already, when they are a copy of other memory.
        virtual bool Rows(OwedRows* out) const {
            (void)out;
            return false;
        }
    };

    // For the plug-in host: the pixels to write, without the fill when it is
    // still owed. Then `*owed` is set, `*fill` is the word (in memory order)
    // that every pixel counts as, and `taker` takes the fill over: the next
    // look at the pixels asks it to pay.
    uint8_t* PixelsOwingFill(bool* owed, uint32_t* fill, std::shared_ptr<FillTaker> taker);
    // For drawing code that reads the pixels: while they are still owed as a
    // copy of other memory (a capture nobody has looked at), that memory, to
    // read in their place. The copy is then never made. False otherwise.
    bool RowsOwed(OwedRows* out) const { return fillOwed_ && payFill_ && payFill_->Rows(out); }
    size_t RowBytes() const noexcept { return size_t(width_) * 4; }

    // The picture's mask (a picture of the same size, white = transparent);
    // created on demand when `create` is true, otherwise nil when there is none.
    Ref<Picture> Mask(bool create);
    // Drawing onto the picture itself.
    Ref<Graphics> GetGraphics();

    // True while pages of the picture are still those of another like
    // picture, which the system copies for this one when it writes them: a
    // new large picture owing its fill may start with the pages of the newest
    // like picture alive. Writers that leave equal bytes unwritten keep them
    // shared.
    bool PagesSharedUntilWritten() const;

    // For the plug-in host: what a large picture's pixels are known to hold,
    // as its bitmap contexts describe it (equal tags, equal pixels; empty when
    // nothing is known). Every write but a context's forgets it; a context
    // notes it when it lets go. `handedOut`: the pixels' address went to
    // someone who may write them unseen, and nothing is known of them again.
    struct ContentTag {
        uint64_t words[4] = {};
        explicit operator bool() const { return words[0] != 0; }
        bool operator==(const ContentTag&) const = default;
    };
    ContentTag KnownContent() const;
    void NoteContent(const ContentTag& tag, bool handedOut);

    // Lets go of memory kept for pictures that no picture has needed for a
    // few seconds. Cheap enough to call on every turn of the event loop.
    static void ReleaseUnusedMemory();

    // Count of live pictures in the process, for leak checks in tests and benchmarks.
    static int64_t LiveCount() noexcept;
    // Bumped whenever the pixels may have changed (a plug-in's cache clear);
    // drawing code may use it to drop derived data.
    uint64_t Generation() const noexcept { return generation_; }
    void MarkChanged() noexcept { ++generation_; }

    // Runs `done` once, just before the pixels or the mask are next given out
    // for writing: for drawing of this picture that was put off and has to
    // see the pixels as they are now. A later call with the same `key`
    // replaces the earlier one.
    void BeforeNextWrite(const void* key, std::function<void()> done);
    // What the writers call: runs and forgets whatever BeforeNextWrite left.
    void AboutToWrite() {
        if (!beforeWrite_.empty()) RunBeforeWrite();
    }

  private:
    Picture(int32_t w, int32_t h, bool alpha, std::shared_ptr<uint8_t> store);
    static Ref<Picture> Make(int32_t width, int32_t height, int32_t depth, bool hasAlphaChannel,
                             bool startAlike);
    int32_t width_;
    int32_t height_;
    bool hasAlpha_;
    std::shared_ptr<uint8_t> store_;
    uint8_t* pixels_;  // store_'s, for the readers' fast path
    void PayFill() const;
    uint32_t FillWord() const;
    void Forget(bool handedOut) const;
    mutable bool fillOwed_ = false;
    mutable std::shared_ptr<FillTaker> payFill_;  // set while someone else owes it
    uint64_t generation_ = 0;
    Ref<Picture> mask_;
    std::vector<std::pair<const void*, std::function<void()>>> beforeWrite_;
    void RunBeforeWrite();
};

}  // namespace fw
