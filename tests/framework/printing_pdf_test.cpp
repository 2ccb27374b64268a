// The print sink: printer graphics that write a PDF, read back with pdftotext.
#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

#include "fw/testing/printing.h"
#include "fw/ui/printing.h"

namespace {

class PrintSinkTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char arg0[] = "fw_printing_pdf_test";
            static char* argv[] = {arg0, nullptr};
            static QApplication app(argc, argv);
        }
    }
    void TearDown() override { fw::testing::ShowPrintDialogs(); }

    QString Run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        EXPECT_TRUE(p.waitForFinished(30000)) << program.toStdString();
        EXPECT_EQ(p.exitCode(), 0) << program.toStdString();
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    QTemporaryDir dir_;
};

// The help printout's loop: text in blocks, a footer on every page.
int PrintLikeHelp(const fw::String& text, const fw::String& stamp) {
    fw::Ref<fw::Graphics> g = fw::OpenPrinterDialog();
    if (!g) return 0;
    g->SetTextFont("Courier");
    g->SetTextSize(10);
    g->SetForeColor(fw::Color::RGBA(0, 0, 0, 0));
    g->SetBold(true);
    fw::Ref<fw::StyledTextPrinter> printer = fw::New<fw::StyledTextPrinter>(text, g, 492);
    int page = 1;
    auto footer = [&] {
        g->SetTextFont("Arial");
        g->SetBold(false);
        g->DrawString(fw::String("page " + std::to_string(page)), 40, 720);
        g->DrawString(stamp, 100, 720);
    };
    while (!printer->Eof()) {
        printer->DrawBlock(36, 36, 672);
        if (!printer->Eof()) {
            footer();
            g->SetTextFont("Courier");
            g->SetBold(true);
            ++page;
            g->NextPage();
        }
    }
    footer();
    return page;
}

// Paragraphs of numbered words, separated by two carriage returns.
std::string NumberedText(int paragraphs, int wordsEach) {
    std::string text;
    int n = 0;
    for (int p = 0; p < paragraphs; ++p) {
        if (p) text += "\r\r";
        for (int w = 0; w < wordsEach; ++w) {
            if (w) text += w % 7 == 0 ? "  " : " ";
            text += "word" + std::to_string(1000 + n++);
        }
    }
    return text;
}

TEST_F(PrintSinkTest, TwoPageTextGivesTwoLetterPagesWithItsWordsAndFooters) {
    const QString pdf = dir_.filePath("help.pdf");
    fw::testing::PrintToPdf(pdf.toStdString());
    const int paragraphs = 8, words = 60;
    EXPECT_EQ(PrintLikeHelp(fw::String(NumberedText(paragraphs, words)), "10:42, 03/04/25"), 2);
    EXPECT_EQ(fw::testing::PrintDialogCount(), 1);

    EXPECT_TRUE(Run("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+2\\b")));
    EXPECT_TRUE(Run("pdfinfo", {pdf}).contains("612 x 792 pts"));

    const QStringList pages = Run("pdftotext", {"-layout", pdf, "-"}).split('\f');
    ASSERT_GE(pages.size(), 2);
    int next = 1000;
    for (int page = 0; page < 2; ++page) {
        const QStringList lines = pages[page].split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        const QString footer = lines.last().simplified();
        EXPECT_EQ(footer, QString("page %1 10:42, 03/04/25").arg(page + 1)) << page;
        int longest = 0;
        for (const QString& line : lines.mid(0, lines.size() - 1)) {
            longest = std::max<int>(longest, int(line.trimmed().size()));
            for (const QString& word : line.simplified().split(' ', Qt::SkipEmptyParts)) {
                EXPECT_EQ(word, QString("word%1").arg(next)) << "page " << page + 1;
                ++next;
            }
        }
        // A Courier-like 10-point face has 6-point advances: 492 points hold 82.
        EXPECT_LE(longest, 82);
        if (page == 0) {
            EXPECT_GE(longest, 70);
        }
    }
    EXPECT_EQ(next, 1000 + paragraphs * words);
}

TEST_F(PrintSinkTest, EmptyTextGivesOnePageWithOnlyTheFooter) {
    const QString pdf = dir_.filePath("empty.pdf");
    fw::testing::PrintToPdf(pdf.toStdString());
    EXPECT_EQ(PrintLikeHelp("", "stamp"), 1);
    EXPECT_TRUE(Run("pdfinfo", {pdf}).contains(QRegularExpression("Pages:\\s+1\\b")));
    EXPECT_EQ(Run("pdftotext", {pdf, "-"}).simplified(), "page 1 stamp");
}

TEST_F(PrintSinkTest, CancelledDialogGivesNilAndPrintsNothing) {
    fw::testing::CancelPrintDialogs();
    EXPECT_FALSE(fw::OpenPrinterDialog());
    EXPECT_EQ(PrintLikeHelp("text", "stamp"), 0);
    EXPECT_EQ(fw::testing::PrintDialogCount(), 2);
}

TEST_F(PrintSinkTest, PrinterPageIsInPointsInsideHalfInchMargins) {
    fw::testing::PrintToPdf(dir_.filePath("size.pdf").toStdString());
    fw::Ref<fw::Graphics> g = fw::OpenPrinterDialog();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Width(), 540);
    EXPECT_EQ(g->Height(), 720);
}

}  // namespace
