// A window's Graphics. While the window is hidden nobody can see its canvas,
// so the drawing is only noted and done when the window is shown again (or
// anything else needs the canvas as it stands). A magnifier window drawn ten
// times a second while hidden then costs nothing for its drawing, and only
// what it was given last is drawn when it comes back.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <utility>

#include "fw/ui/picture.h"
#include "ui/peers.h"
#include "ui/qt_graphics.h"

namespace fw::detail {

namespace {

// Noted drawing kept at most; beyond that it is done at once, so drawing that
// never covers the window whole cannot pile up.
constexpr size_t kMaxPending = 32;

constexpr int32_t kFullExtent = -10000;

// True when drawing the picture so overwrites every canvas pixel, leaving
// nothing of what was drawn before: an opaque picture whose source lies inside
// it, stretched over at least the whole canvas.
bool CoversCanvas(Picture& pic, const QImage& canvas, int32_t x, int32_t y, int32_t w, int32_t h,
                  int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
    if (pic.HasAlphaChannel() || pic.Mask(false)) return false;
    if (sw == kFullExtent) sw = pic.Width();
    if (sh == kFullExtent) sh = pic.Height();
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || sx < 0 || sy < 0) return false;
    if (int64_t(sx) + sw > pic.Width() || int64_t(sy) + sh > pic.Height()) return false;
    const int64_t s = qt::PixelsPerPoint(canvas);
    return x <= 0 && y <= 0 && (int64_t(x) + w) * s >= canvas.width() &&
           (int64_t(y) + h) * s >= canvas.height();
}

class WindowGraphics final : public qt::DeviceGraphics {
  public:
    WindowGraphics(std::shared_ptr<Canvas> canvas, QPointer<QWidget> content)
        : canvas_(std::move(canvas)), content_(std::move(content)) {}

    void DrawPicture(const Ref<Picture>& pic, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh) override {
        if (!pic) RaiseNilObject();
        if (!Hidden()) {
            Direct().DrawPicture(pic, x, y, w, h, sx, sy, sw, sh);
            return;
        }
        if (CoversCanvas(*pic, canvas_->image, x, y, w, h, sx, sy, sw, sh)) {
            canvas_->pending.clear();
        }
        WatchWrites(*pic);
        Note([pic, x, y, w, h, sx, sy, sw, sh](Graphics& g) {
            g.DrawPicture(pic, x, y, w, h, sx, sy, sw, sh);
        });
    }

    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        if (!Hidden()) {
            Direct().DrawLine(x1, y1, x2, y2);
            return;
        }
        Note([c = foreColor_, x1, y1, x2, y2](Graphics& g) {
            g.SetForeColor(c);
            g.DrawLine(x1, y1, x2, y2);
        });
    }

    void DrawString(const String& text, int32_t x, int32_t y, int32_t wrapWidth,
                    bool condense) override {
        if (!Hidden()) {
            Direct().DrawString(text, x, y, wrapWidth, condense);
            return;
        }
        Note([c = foreColor_, font = textFont_, size = textSize_, bold = bold_, text, x, y,
              wrapWidth, condense](Graphics& g) {
            g.SetForeColor(c);
            g.SetTextFont(font);
            g.SetTextSize(size);
            g.SetBold(bold);
            g.DrawString(text, x, y, wrapWidth, condense);
        });
    }

    void FillRect(int32_t x, int32_t y, int32_t w, int32_t h) override {
        if (!Hidden()) {
            Direct().FillRect(x, y, w, h);
            return;
        }
        Note([c = foreColor_, x, y, w, h](Graphics& g) {
            g.SetForeColor(c);
            g.FillRect(x, y, w, h);
        });
    }

    int32_t Width() const override {
        return canvas_->image.width() / qt::PixelsPerPoint(canvas_->image);
    }
    int32_t Height() const override {
        return canvas_->image.height() / qt::PixelsPerPoint(canvas_->image);
    }
    const QPaintDevice* Device() const override { return &canvas_->image; }

  private:
    // A window that is gone draws straight onto the canvas it left, as
    // before; nothing will show it again.
    bool Hidden() const { return content_ && !content_->isVisible(); }

    // The canvas's own graphics, after whatever was put off, with this
    // graphics' pen and font.
    Graphics& Direct() {
        canvas_->Settle();
        if (!direct_) direct_ = canvas_->Drawing();
        direct_->SetForeColor(foreColor_);
        direct_->SetTextFont(textFont_);
        direct_->SetTextSize(textSize_);
        direct_->SetBold(bold_);
        return *direct_;
    }

    void Note(std::function<void(Graphics&)> draw) {
        if (canvas_->pending.size() >= kMaxPending) canvas_->Settle();
        canvas_->pending.push_back(std::move(draw));
    }

    // The picture may be written after this call while the drawing waits: the
    // waiting drawing is done first.
    void WatchWrites(Picture& pic) {
        std::weak_ptr<Canvas> weak = canvas_;
        auto settle = [weak]() {
            if (auto c = weak.lock()) c->Settle();
        };
        pic.BeforeNextWrite(canvas_.get(), settle);
        if (Ref<Picture> mask = pic.Mask(false)) mask->BeforeNextWrite(canvas_.get(), settle);
    }

    std::shared_ptr<Canvas> canvas_;
    QPointer<QWidget> content_;
    Ref<Graphics> direct_;
};

}  // namespace

Ref<Graphics> Canvas::Drawing() {
    return qt::MakeImageGraphics(
        &image, changed, [this]() { BeginWrite(); }, surface != nullptr);
}

void Canvas::Settle() {
    if (pending.empty()) return;
    // Drawing may note more (a picture's write hook); that goes after.
    std::vector<std::function<void(Graphics&)>> draws = std::move(pending);
    pending.clear();
    Ref<Graphics> g = Drawing();
    for (auto& draw : draws) draw(*g);
}

Ref<Graphics> MakeWindowGraphics(std::shared_ptr<Canvas> canvas, QWidget* content) {
    return Ref<Graphics>(new WindowGraphics(std::move(canvas), QPointer<QWidget>(content)));
}

}  // namespace fw::detail
