#include "fw/ui/printing.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextLayout>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "fw/testing/printing.h"
#include "fw/ui/picture.h"
#include "ui/peers.h"
#include "ui/qt_graphics.h"
#include "ui/ui_state.h"

namespace fw {

namespace {

enum class SinkMode { kDialog, kPdf, kCancel };

struct PrintSink {
    SinkMode mode = SinkMode::kDialog;
    std::string path;
    int dialogs = 0;
};

PrintSink& Sink() {
    static PrintSink sink;
    return sink;
}

QColor ToQColor(Color c) {
    return QColor(c.red, c.green, c.blue, 255 - c.alpha);
}

// US Letter with half-inch margins, the page our printouts are laid out for.
void UseLetterPage(QPrinter& printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                      QMarginsF(36, 36, 36, 36), QPageLayout::Point));
}

// Graphics on a printer. The printer runs at 72 dots per inch, so device units
// are points and fonts, lines and text measure the same as on the page; on
// Linux every print engine writes vectors, so nothing is lost by it.
class PrinterGraphics final : public qt::DeviceGraphics {
  public:
    explicit PrinterGraphics(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {
        printer_->setResolution(72);
        const QRectF page = printer_->pageRect(QPrinter::Point);
        width_ = int32_t(std::lround(page.width()));
        height_ = int32_t(std::lround(page.height()));
    }
    ~PrinterGraphics() override {
        // Ending the painter finishes the last page and hands the job over.
        if (painter_.isActive()) painter_.end();
    }

    bool Begin() {
        if (!painter_.begin(printer_.get())) return false;
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
        return true;
    }

    void DrawPicture(const Ref<Picture>& pic, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t sx, int32_t sy, int32_t sw, int32_t sh) override {
        if (!pic) RaiseNilObject();
        if (sw == Graphics::kFullExtent) sw = pic->Width();
        if (sh == Graphics::kFullExtent) sh = pic->Height();
        if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
        // Mask and alpha folded into one premultiplied image at the picture's
        // own size; the printer does the scaling.
        QImage image(pic->Width(), pic->Height(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        qt::StretchPicture(*pic, qt::RasterOf(image), 0, 0, pic->Width(), pic->Height(), 0, 0,
                           pic->Width(), pic->Height());
        painter_.drawImage(QRectF(x, y, w, h), image, QRectF(sx, sy, sw, sh));
    }

    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        painter_.setPen(QPen(ToQColor(foreColor_), 1));
        painter_.drawLine(x1, y1, x2, y2);
    }

    void DrawString(const String& text, int32_t x, int32_t y, int32_t wrapWidth,
                    bool condense) override {
        const QFont font = qt::ResolveFont(*this, printer_.get());
        painter_.setFont(font);
        painter_.setPen(ToQColor(foreColor_));
        QString q = QString::fromUtf8(text.Bytes().data(), qsizetype(text.ByteLength()));
        q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        const QFontMetricsF fm(font, printer_.get());
        if (wrapWidth > 0 && condense) {
            q.replace(QLatin1Char('\n'), QLatin1Char(' '));
            painter_.drawText(QPointF(x, y), fm.elidedText(q, Qt::ElideRight, wrapWidth));
        } else if (wrapWidth > 0) {
            painter_.drawText(QRectF(x, y - fm.ascent(), wrapWidth, 1e6),
                              Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, q);
        } else {
            const QStringList lines = q.split(QLatin1Char('\n'));
            for (qsizetype i = 0; i < lines.size(); ++i) {
                painter_.drawText(QPointF(x, y + i * fm.lineSpacing()), lines[i]);
            }
        }
    }

    void FillRect(int32_t x, int32_t y, int32_t w, int32_t h) override {
        painter_.fillRect(QRectF(x, y, w, h), ToQColor(foreColor_));
    }

    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    void NextPage() override { printer_->newPage(); }
    const QPaintDevice* Device() const override { return printer_.get(); }

  private:
    std::unique_ptr<QPrinter> printer_;
    QPainter painter_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

Ref<Graphics> StartJob(std::unique_ptr<QPrinter> printer) {
    Ref<PrinterGraphics> g(new PrinterGraphics(std::move(printer)));
    if (!g->Begin()) {
        std::fprintf(stderr, "Printing failed: the printer could not be opened.\n");
        return Ref<Graphics>();
    }
    return g;
}

}  // namespace

Ref<Graphics> OpenPrinterDialog() {
    PrintSink& sink = Sink();
    ++sink.dialogs;
    switch (sink.mode) {
        case SinkMode::kCancel:
            return Ref<Graphics>();
        case SinkMode::kPdf: {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(QString::fromStdString(sink.path));
            UseLetterPage(*printer);
            return StartJob(std::move(printer));
        }
        case SinkMode::kDialog:
            break;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "Printing failed: no application to show the print dialog.\n");
        return Ref<Graphics>();
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    UseLetterPage(*printer);
    // Like the message box: modal to the window in front, above the floating windows.
    QPrintDialog dialog(printer.get(), detail::DialogParent());
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    detail::InputMomentPause pause;
    if (dialog.exec() != QDialog::Accepted) return Ref<Graphics>();
    return StartJob(std::move(printer));
}

struct StyledTextPrinter::Layout {
    QString text;
    qsizetype pos = 0;
};

StyledTextPrinter::StyledTextPrinter(const String& text, Ref<Graphics> graphics, int32_t width)
    : layout_(std::make_unique<Layout>()), graphics_(std::move(graphics)), width_(width) {
    QString q = QString::fromUtf8(text.Bytes().data(), qsizetype(text.ByteLength()));
    q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    layout_->text = std::move(q);
}

StyledTextPrinter::~StyledTextPrinter() = default;

bool StyledTextPrinter::Eof() const {
    const QString& t = layout_->text;
    for (qsizetype i = layout_->pos; i < t.size(); ++i) {
        if (!t[i].isSpace()) return false;
    }
    return true;
}

void StyledTextPrinter::DrawBlock(int32_t x, int32_t y, int32_t height) {
    Graphics& g = *graphics_;
    const auto* dg = dynamic_cast<const qt::DeviceGraphics*>(&g);
    const QPaintDevice* device = dg ? dg->Device() : nullptr;
    const QFont font = qt::ResolveFont(g, device);
    const QFontMetricsF fm(font, device);
    const qreal lineHeight = fm.lineSpacing();
    const qreal ascent = fm.ascent();

    const QString& text = layout_->text;
    qsizetype& pos = layout_->pos;
    int lines = 0;
    auto fits = [&] { return lines == 0 || (lines + 1) * lineHeight <= height; };
    bool full = false;
    while (!full && pos < text.size() && !Eof()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0) end = text.size();
        if (end == pos) {
            // An empty line: a paragraph gap, not worth starting a page with.
            if (lines == 0 && !firstBlock_) {
                ++pos;
                continue;
            }
            if (!fits()) break;
            ++lines;
            ++pos;
            continue;
        }
        QTextLayout tl(text.mid(pos, end - pos), font, device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        tl.setTextOption(option);
        tl.beginLayout();
        const qsizetype start = pos;
        for (QTextLine line = tl.createLine(); line.isValid(); line = tl.createLine()) {
            line.setLineWidth(width_);
            if (!fits()) {
                full = true;
                break;
            }
            const QString piece = tl.text().mid(line.textStart(), line.textLength());
            const QByteArray utf8 = piece.trimmed().toUtf8();
            if (!utf8.isEmpty()) {
                g.DrawString(String(std::string(utf8.constData(), size_t(utf8.size()))), x,
                             int32_t(std::lround(y + ascent + lines * lineHeight)));
            }
            ++lines;
            pos = start + line.textStart() + line.textLength();
        }
        tl.endLayout();
        if (!full) pos = end < text.size() ? end + 1 : end;
    }
    firstBlock_ = false;
}

}  // namespace fw

namespace fw::testing {

void PrintToPdf(const std::string& path) {
    Sink() = {SinkMode::kPdf, path, 0};
}

void CancelPrintDialogs() {
    Sink() = {SinkMode::kCancel, {}, 0};
}

void ShowPrintDialogs() {
    Sink() = {SinkMode::kDialog, {}, 0};
}

int PrintDialogCount() {
    return Sink().dialogs;
}

}  // namespace fw::testing
