// A window's Graphics. While the window is hidden nobody can see its canvas,
// so the drawing is only noted and done when the window is shown again (or
// anything else needs the canvas as it stands). A magnifier window drawn ten
// times a second while hidden then costs nothing for its drawing, and only
// what it was given last is drawn when it comes back.
#include <QPointer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "fw/ui/picture.h"
#include "ui/peers.h"
#include "ui/qt_graphics.h"
#include "ui/ui_state.h"

namespace fw::detail {

namespace {

// Noted drawing kept at most; beyond that it is done at once, so drawing that
// never covers the window whole cannot pile up.
constexpr size_t kMaxPending = 32;

// True when drawing the picture so overwrites every canvas pixel, leaving
// nothing of what was drawn before: an opaque picture whose source lies inside
// it, stretched over at least the whole canvas.
bool CoversCanvas(Picture& pic, const QImage& canvas, int32_t x, int32_t y, int32_t w, int32_t h,
                  int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
    if (pic.HasAlphaChannel() || pic.Mask(false)) return false;
    if (sw == Graphics::kFullExtent) sw = pic.Width();
    if (sh == Graphics::kFullExtent) sh = pic.Height();
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0 || sx < 0 || sy < 0) return false;
    if (int64_t(sx) + sw > pic.Width() || int64_t(sy) + sh > pic.Height()) return false;
    const int64_t s = qt::PixelsPerPoint(canvas);
    return x <= 0 && y <= 0 && (int64_t(x) + w) * s >= canvas.width() &&
           (int64_t(y) + h) * s >= canvas.height();
}

// Pictures this large are not kept for the comparison: holding one keeps its
// pages alive as the start of the next picture of its size, and comparing
// one costs about what drawing it does.
constexpr size_t kMaxKeptBytes = size_t{4} << 20;
// Lines kept after the picture; more drawing than that is not followed.
constexpr size_t kMaxLines = 16;

}  // namespace

// A window that shows a steady scene, a fixed point of a still desktop, is
// given the same picture and the same lines over it again and again. The
// canvas remembers the last picture that covered it and the lines drawn after
// it; a picture of equal pixels, drawn the same way, is then left out, and
// so are the lines that follow it while they repeat the remembered ones. The
// first difference, or the end of the event that drew (FinishRedraw), draws
// the picture and the lines so far after all.
struct ShownDrawing {
    struct Line {
        int32_t x1, y1, x2, y2;
        Color color;
        bool operator==(const Line& o) const {
            return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2 &&
                   color.red == o.color.red && color.green == o.color.green &&
                   color.blue == o.color.blue && color.alpha == o.color.alpha;
        }
    };
    Ref<Picture> picture;
    std::array<int32_t, 8> where{};  // x, y, w, h, sx, sy, sw, sh
    QSize canvasSize;
    std::vector<Line> lines;
    uint64_t revision = 0;   // the canvas's, right after the last of these
    bool repeating = false;  // a repeat is being left out
    size_t repeated = 0;     // lines of it seen so far

    // Draws the picture and the first `lines` lines onto the canvas.
    void Redraw(Canvas& canvas, size_t count) {
        Ref<Graphics> g = canvas.Drawing();
        g->DrawPicture(picture, where[0], where[1], where[2], where[3], where[4], where[5],
                       where[6], where[7]);
        lines.resize(count);
        for (const Line& l : lines) {
            g->SetForeColor(l.color);
            g->DrawLine(l.x1, l.y1, l.x2, l.y2);
        }
        revision = canvas.revision;
    }
};

void Canvas::FinishRedraw() {
    if (!shown || !shown->repeating) return;
    shown->repeating = false;
    // Fewer lines than last time: the picture is drawn again to clear the rest.
    if (shown->repeated < shown->lines.size()) shown->Redraw(*this, shown->repeated);
}

namespace {

bool SamePixels(const Picture& a, const Picture& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    // Two captures nobody has looked at are compared where they lie, so that
    // neither is copied for it. Their unused bytes count too: at worst a
    // picture that differs only there is drawn again. Against a picture of
    // the usual kind a capture counts as different: it is then drawn, also
    // from where it lies, and the next capture finds it to compare with.
    Picture::OwedRows ra, rb;
    const bool owedA = a.RowsOwed(&ra), owedB = b.RowsOwed(&rb);
    if (owedA != owedB) return false;
    if (owedA) {
        if (ra.red != rb.red || ra.green != rb.green || ra.blue != rb.blue) return false;
        for (int32_t y = 0; y < a.Height(); ++y) {
            if (std::memcmp(ra.data + size_t(y) * ra.rowBytes, rb.data + size_t(y) * rb.rowBytes,
                            a.RowBytes()) != 0)
                return false;
        }
        return true;
    }
    return std::memcmp(a.Pixels(), b.Pixels(), a.RowBytes() * size_t(a.Height())) == 0;
}

class WindowGraphics final : public qt::DeviceGraphics {
  public:
    WindowGraphics(std::shared_ptr<Canvas> canvas, QPointer<QWidget> content)
        : canvas_(std::move(canvas)), content_(std::move(content)) {}

    void DrawPicture(const Ref<Picture>& pic, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh) override {
        if (!pic) RaiseNilObject();
        if (!Hidden()) {
            Graphics& g = Direct();
            Canvas& c = *canvas_;
            c.FinishRedraw();
            const std::array<int32_t, 8> where = {x, y, w, h, sx, sy, sw, sh};
            const bool covers = CoversCanvas(*pic, c.image, x, y, w, h, sx, sy, sw, sh);
            ShownDrawing* shown = c.shown.get();
            if (covers && content_ && shown && shown->revision == c.revision &&
                shown->where == where && shown->canvasSize == c.image.size() &&
                SamePixels(*pic, *shown->picture)) {
                ForgetWhenWritten(*pic);
                shown->picture = pic;
                shown->repeating = true;
                shown->repeated = 0;
                PostFinish();
                return;
            }
            g.DrawPicture(pic, x, y, w, h, sx, sy, sw, sh);
            if (covers && pic->RowBytes() * size_t(pic->Height()) < kMaxKeptBytes) {
                ForgetWhenWritten(*pic);
                auto next = std::make_shared<ShownDrawing>();
                next->picture = pic;
                next->where = where;
                next->canvasSize = c.image.size();
                next->revision = c.revision;
                c.shown = std::move(next);
            } else {
                c.shown.reset();
            }
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
            Graphics& g = Direct();
            Canvas& c = *canvas_;
            const ShownDrawing::Line line{x1, y1, x2, y2, foreColor_};
            ShownDrawing* shown = c.shown.get();
            if (shown && shown->repeating) {
                if (shown->repeated < shown->lines.size() &&
                    shown->lines[shown->repeated] == line) {
                    ++shown->repeated;
                    return;
                }
                // From here on the drawing differs: what it repeated is drawn.
                shown->repeating = false;
                shown->Redraw(c, shown->repeated);
            }
            const bool followed = shown && shown->revision == c.revision;
            g.DrawLine(x1, y1, x2, y2);
            if (followed && shown->lines.size() < kMaxLines) {
                shown->lines.push_back(line);
                shown->revision = c.revision;
            } else {
                c.shown.reset();
            }
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
            Untracked().DrawString(text, x, y, wrapWidth, condense);
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
            Untracked().FillRect(x, y, w, h);
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
        canvas_->DrawPending();
        if (!direct_) direct_ = canvas_->Drawing();
        direct_->SetForeColor(foreColor_);
        direct_->SetTextFont(textFont_);
        direct_->SetTextSize(textSize_);
        direct_->SetBold(bold_);
        return *direct_;
    }

    // The remembered picture stands for what the canvas shows only while its
    // pixels stay as they were drawn.
    void ForgetWhenWritten(Picture& pic) {
        std::weak_ptr<Canvas> weak = canvas_;
        pic.BeforeNextWrite(&canvas_->shown, [weak, p = &pic]() {
            auto c = weak.lock();
            if (!c || !c->shown || c->shown->picture.Get() != p) return;
            c->FinishRedraw();
            c->shown.reset();
        });
    }

    // Direct, for drawing that the canvas does not remember.
    Graphics& Untracked() {
        Graphics& g = Direct();
        canvas_->FinishRedraw();
        canvas_->shown.reset();
        return g;
    }

    // Once the event that draws has ended, a repeat still being left out is
    // complete: whatever of the last drawing it did not repeat goes.
    void PostFinish() {
        if (canvas_->finishPosted) return;
        canvas_->finishPosted = true;
        std::weak_ptr<Canvas> weak = canvas_;
        auto finish = [weak]() {
            if (auto c = weak.lock()) {
                c->finishPosted = false;
                c->FinishRedraw();
            }
        };
        if (AtBatchEnd(finish)) return;
        QMetaObject::invokeMethod(content_.data(), finish, Qt::QueuedConnection);
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
    FinishRedraw();
    DrawPending();
}

void Canvas::DrawPending() {
    if (pending.empty()) return;
    FinishRedraw();
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
