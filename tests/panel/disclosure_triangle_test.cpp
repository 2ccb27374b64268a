// The disclosure triangle stand-in: its look in both states and its click.
#include "plugins/disclosure_triangle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "fw/testing/headless.h"
#include "fw/ui/graphics.h"
#include "fw/ui/picture.h"

namespace {

// Drawn points of an 18 x 18 triangle, per row and per column.
struct Shape {
    std::vector<int> rows, cols;
};

Shape Draw(bool expanded) {
    fw::Ref<DisclosureTriangle> t = fw::New<DisclosureTriangle>();
    t->Constructor();
    fw::RuntimeMassPropertySetter(t, {{"Width", 18}, {"Height", 18}, {"Value", expanded}});
    fw::Ref<fw::Picture> pic = fw::Picture::New(18, 18);
    {
        fw::Ref<fw::Graphics> g = pic->GetGraphics();
        g->SetForeColor(fw::Color::RGBA(255, 255, 255));
        g->FillRect(0, 0, 18, 18);
        t->PaintOn(*g);
    }
    Shape s{std::vector<int>(18), std::vector<int>(18)};
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 18; ++x)
            if (pic->Pixels()[y * pic->RowBytes() + x * 4] < 128) ++s.rows[y], ++s.cols[x];
    return s;
}

// The widest line of points and whether the lines narrow away from it.
int Widest(const std::vector<int>& v) {
    return int(std::max_element(v.begin(), v.end()) - v.begin());
}

TEST(DisclosureTriangle, PointsDownWhenExpandedAndRightWhenShrunk) {
    fw::testing::Headless h;
    const Shape down = Draw(true);
    const Shape right = Draw(false);
    // Down: the base is a row at the top, the tip below it.
    const int base = Widest(down.rows);
    EXPECT_GT(down.rows[base], 4);
    EXPECT_LT(down.rows[base + 3], down.rows[base]);
    // Right: the base is a column on the left, the tip to its right.
    const int col = Widest(right.cols);
    EXPECT_GT(right.cols[col], 4);
    EXPECT_LT(right.cols[col + 3], right.cols[col]);
    EXPECT_NE(down.rows, right.rows);
}

TEST(DisclosureTriangle, ClickTurnsItAndRaisesAction) {
    fw::testing::Headless h;
    fw::Ref<DisclosureTriangle> t = fw::New<DisclosureTriangle>();
    t->Constructor();
    fw::RuntimeMassPropertySetter(
        t, {{"Width", 18}, {"Height", 18}, {"Value", true}, {"Facing", 0}, {"AcceptFocus", false}});
    EXPECT_FALSE(t->AcceptFocus());
    std::vector<bool> seen;
    fw::RuntimeAddEventHandler(t, "Action",
                               [&](const fw::Ref<fw::Object>&) { seen.push_back(t->Value()); });
    t->Click(5, 5);
    t->Click(5, 5);
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
    // Setting the value by code raises nothing.
    t->SetValue(false);
    EXPECT_EQ(seen.size(), 2u);
}

}  // namespace
