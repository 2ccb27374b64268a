// The picture editor's own states, which no builder shows from outside: a
// second attach, a nil attach, the row wrap and a render with nothing held.
#include <gtest/gtest.h>

#include "picture_editor.h"
#include "recording_host.h"

extern "C" void REALPluginMain(PluginResolver resolver);

namespace rechost {
namespace {

class EditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.LoadLinked(&REALPluginMain);
        a = host.NewPicture(2, 2);
        b = host.NewPicture(3, 1);
        host.calls.clear();
    }
    void TearDown() override {
        host.Unlock(a);
        host.Unlock(b);
        EXPECT_EQ(host.LivePictures(), 0);
    }
    RecordingHost host;
    PluginPicture a = nullptr;
    PluginPicture b = nullptr;
};

TEST_F(EditorTest, SecondAttachReleasesTheFirstPictureInFull) {
    zuvshot::PictureWriter writer;
    ASSERT_TRUE(writer.GetPictureEditor(a));
    EXPECT_EQ(host.Refs(a), 2);
    host.calls.clear();
    ASSERT_TRUE(writer.GetPictureEditor(b));
    EXPECT_EQ(host.CallCount("unlockPictureDescription", a), 1);
    EXPECT_EQ(host.CallCount("REALPictureClearCache", a), 1);
    EXPECT_EQ(host.CallCount("REALUnlockObject", a), 1);
    EXPECT_EQ(host.CallNames().front(), "unlockPictureDescription");
    EXPECT_EQ(host.Refs(a), 1);
    EXPECT_EQ(host.Locks(a), 0);
    EXPECT_EQ(writer.Width(), 3);
}

TEST_F(EditorTest, NilAttachReleasesAndFails) {
    zuvshot::PictureWriter writer;
    ASSERT_TRUE(writer.GetPictureEditor(a));
    EXPECT_FALSE(writer.GetPictureEditor(nullptr));
    EXPECT_EQ(host.Refs(a), 1);
    EXPECT_EQ(host.Locks(a), 0);
    EXPECT_EQ(writer.RenderPictureWriter(), nullptr);
}

TEST_F(EditorTest, RenderOfADetachedEditorCallsNothing) {
    zuvshot::PictureWriter writer;
    EXPECT_EQ(writer.RenderPictureWriter(), nullptr);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(EditorTest, RowsPastTheLastWrapToRowZero) {
    zuvshot::PictureWriter writer;
    ASSERT_TRUE(writer.GetPictureEditor(a));
    writer.SetPixel(1, 1, 1);
    writer.SetPixel(1, 1, 1);
    writer.NextRow();
    writer.SetPixel(2, 2, 2);
    writer.SetPixel(2, 2, 2);
    writer.NextRow();  // y is now the height: back to row 0
    writer.SetPixel(9, 8, 7);
    writer.MoveTo(1, 5);  // a row past the end also means row 0
    writer.SetPixel(6, 5, 4);
    EXPECT_EQ(host.PixelAt(a, 0, 0), (Rgb{9, 8, 7}));
    EXPECT_EQ(host.PixelAt(a, 1, 0), (Rgb{6, 5, 4}));
    EXPECT_EQ(host.PixelAt(a, 0, 1), (Rgb{2, 2, 2}));
    PluginPicture p = writer.RenderPictureWriter();
    EXPECT_EQ(p, a);
    EXPECT_EQ(host.Refs(a), 2);  // the test's own and the caller's from the render
    host.Unlock(p);
}

TEST_F(EditorTest, DestructionReleasesAnAttachedPicture) {
    {
        zuvshot::PictureWriter writer;
        ASSERT_TRUE(writer.GetPictureEditor(a));
    }
    EXPECT_EQ(host.Refs(a), 1);
    EXPECT_EQ(host.Locks(a), 0);
    EXPECT_EQ(host.CallCount("REALPictureClearCache", a), 1);
}

TEST_F(EditorTest, AlphaPixelsOfADesktopPicture) {
    host.Unlock(a);
    host.alphaInfo = 2;
    host.hasAlphaChannel = true;
    a = host.NewPicture(1, 1);
    zuvshot::PictureWriter writer;
    ASSERT_TRUE(writer.GetPictureEditor(a));
    writer.SetPixelAlpha(0, 10, 20, 30);
    EXPECT_EQ(host.RawBytes(a, 0, 0), (std::vector<uint8_t>{0, 10, 20, 30}));
}

}  // namespace
}  // namespace rechost
