// The styled text printer's line breaking and block filling, recorded on a
// fake device graphics so each drawn line can be measured.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <string>
#include <vector>

#include "fw/ui/printing.h"
#include "ui/qt_graphics.h"

namespace {

struct Drawn {
    std::string text;
    int x, y;
};

class RecordingGraphics final : public fw::qt::DeviceGraphics {
  public:
    RecordingGraphics() : device_(8, 8, QImage::Format_RGB32) {
        device_.setDotsPerMeterX(2835);  // 72 dpi, like the printer
        device_.setDotsPerMeterY(2835);
        SetTextFont("Courier");
        SetTextSize(10);
    }
    void DrawPicture(const fw::Ref<fw::Picture>&, int32_t, int32_t, int32_t, int32_t, int32_t,
                     int32_t, int32_t, int32_t) override {}
    void DrawLine(int32_t, int32_t, int32_t, int32_t) override {}
    void DrawString(const fw::String& text, int32_t x, int32_t y, int32_t, bool) override {
        drawn.push_back({text.Bytes(), x, y});
    }
    void FillRect(int32_t, int32_t, int32_t, int32_t) override {}
    int32_t Width() const override { return 540; }
    int32_t Height() const override { return 720; }
    const QPaintDevice* Device() const override { return &device_; }

    qreal Measure(const std::string& s) const {
        return QFontMetricsF(fw::qt::ResolveFont(*this, &device_), &device_)
            .horizontalAdvance(QString::fromStdString(s));
    }
    qreal LineSpacing() const {
        return QFontMetricsF(fw::qt::ResolveFont(*this, &device_), &device_).lineSpacing();
    }

    std::vector<Drawn> drawn;

  private:
    QImage device_;
};

class TextPrinterTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char arg0[] = "fw_printing_text_test";
            static char* argv[] = {arg0, nullptr};
            static QApplication app(argc, argv);
        }
    }

    // Draws blocks until the printer is done; returns the number of blocks.
    int PrintAll(const std::string& text, int width, int height) {
        fw::Ref<fw::StyledTextPrinter> p = fw::New<fw::StyledTextPrinter>(text, g_, width);
        int blocks = 0;
        while (!p->Eof()) {
            const size_t before = g_->drawn.size();
            p->DrawBlock(36, 36, height);
            ++blocks;
            for (size_t i = before; i < g_->drawn.size(); ++i) block_.push_back(blocks);
            if (blocks > 1000) break;
        }
        return blocks;
    }

    fw::Ref<RecordingGraphics> g_ = fw::New<RecordingGraphics>();
    std::vector<int> block_;  // block number of each drawn line
};

TEST_F(TextPrinterTest, LinesFitTheWidthKeepEveryWordAndStackByLineSpacing) {
    std::string text;
    for (int i = 0; i < 120; ++i) text += (i ? (i % 5 ? " " : "  ") : "") + std::to_string(i);
    text += "\r\rlast paragraph";
    const int height = 100;
    const int blocks = PrintAll(text, 150, height);
    ASSERT_GE(g_->drawn.size(), 4u);
    std::string joined;
    const qreal spacing = g_->LineSpacing();
    for (size_t i = 0; i < g_->drawn.size(); ++i) {
        const Drawn& d = g_->drawn[i];
        EXPECT_LE(g_->Measure(d.text), 150.0) << d.text;
        EXPECT_EQ(d.x, 36);
        EXPECT_GT(d.y, 36);
        EXPECT_LE(d.y, 36 + height);
        if (i > 0 && block_[i] == block_[i - 1]) {
            // One line down, or two across the paragraph gap.
            const int step = d.y - g_->drawn[i - 1].y;
            EXPECT_NEAR(step, step > 1.5 * spacing ? 2 * spacing : spacing, 1.0) << i;
        }
        joined += (joined.empty() ? "" : " ") + d.text;
    }
    // Blanks inside a line stay as typed.
    for (size_t at; (at = joined.find("  ")) != std::string::npos;) joined.erase(at, 1);
    std::string expected;
    for (int i = 0; i < 120; ++i) expected += (i ? " " : "") + std::to_string(i);
    expected += " last paragraph";
    EXPECT_EQ(joined, expected);
    EXPECT_EQ(blocks, block_.back());
    EXPECT_EQ(g_->drawn.back().text, "last paragraph");
}

TEST_F(TextPrinterTest, OverlongWordIsBrokenAnywhere) {
    const std::string word(60, 'x');
    PrintAll(word, 100, 700);
    std::string joined;
    for (const Drawn& d : g_->drawn) {
        EXPECT_LE(g_->Measure(d.text), 100.0);
        joined += d.text;
    }
    EXPECT_GT(g_->drawn.size(), 1u);
    EXPECT_EQ(joined, word);
}

struct BlockCase {
    const char* name;
    std::string text;
    int height;
    std::vector<std::string> lines;
    std::vector<int> blocks;
};

TEST_F(TextPrinterTest, BlocksEndWhereTheyShould) {
    const BlockCase cases[] = {
        // A block too low for one line still takes one, so printing ends.
        {"too_low", "a\rb\rc", 1, {"a", "b", "c"}, {1, 2, 3}},
        // The paragraph gap that would open the second block is dropped.
        {"gap_at_top", "a\r\rb", 14, {"a", "b"}, {1, 2}},
        {"gap_inside", "a\r\rb", 100, {"a", "b"}, {1, 1}},
        {"trailing_breaks_add_nothing", "a\r\r\r\r  ", 14, {"a"}, {1}},
        {"crlf_and_lf", "a\r\nb\nc", 100, {"a", "b", "c"}, {1, 1, 1}},
        {"only_blanks", " \r\r ", 100, {}, {}},
    };
    for (const BlockCase& c : cases) {
        g_->drawn.clear();
        block_.clear();
        PrintAll(c.text, 300, c.height);
        std::vector<std::string> lines;
        for (const Drawn& d : g_->drawn) lines.push_back(d.text);
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(block_, c.blocks) << c.name;
    }
}

}  // namespace
