#include <gtest/gtest.h>

#include <QEvent>
#include <QPalette>

#include "tests/ui/QtTestApp.h"
#include "ui/ProgressLayout.h"
#include "ui/ctrProgress.h"

using ui::ctrProgress;
using ui::ProgressLayout;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

class ProgressWidget : public ::testing::Test {
protected:
    void SetUp() override { testsupport::EnsureQtApp(); }
    // A shown control of the given size, its layout applied.
    void Show(ctrProgress& bar, int w, int h)
    {
        bar.resize(w, h);
        bar.show();
        QCoreApplication::processEvents();
    }
};

}  // namespace

TEST(ProgressLayoutTest, ValueIsClampedAndStored)
{
    ProgressLayout layout;
    layout.ResizePixels(200, 20);
    layout.SetValue(-5);
    EXPECT_EQ(layout.Value(), 0);
    EXPECT_EQ(layout.Bar().width, 0);
    layout.SetValue(250);
    EXPECT_EQ(layout.Value(), 100);
    EXPECT_EQ(layout.Bar().width, 200);
}

TEST(ProgressLayoutTest, HorizontalBarGrowsFromTheLeftRoundingHalvesToEven)
{
    ProgressLayout layout;
    layout.ResizePixels(425, 20);
    layout.SetValue(50);
    EXPECT_EQ(layout.Bar(), (ui::RectGeometry{0, 0, 212, 20}));
    layout.SetValue(0);
    EXPECT_EQ(layout.Bar().width, 0);
    layout.SetValue(100);
    EXPECT_EQ(layout.Bar().width, 425);
    // 50 / 100 * 7 = 3.5 -> 4 and * 5 = 2.5 -> 2: halves go to the even side.
    layout.ResizePixels(50, 20);
    layout.SetValue(7);
    EXPECT_EQ(layout.Bar().width, 4);
    layout.SetValue(5);
    EXPECT_EQ(layout.Bar().width, 2);
    // In double precision 427 / 100 is just below 4.27, so * 50 stays below
    // 213.5 and gives 213, not 214.
    layout.ResizePixels(427, 20);
    layout.SetValue(50);
    EXPECT_EQ(layout.Bar().width, 213);
    EXPECT_EQ(layout.BarHatch(), ui::Hatch::Vertical);
}

TEST(ProgressLayoutTest, VerticalBarGrowsUpwardsFromTheBottom)
{
    ProgressLayout layout;
    layout.ResizePixels(30, 20);
    layout.SetOrientation(1);
    layout.SetValue(25);
    EXPECT_EQ(layout.Bar(), (ui::RectGeometry{0, 15, 30, 5}));
    EXPECT_EQ(layout.BarHatch(), ui::Hatch::Horizontal);
    layout.SetValue(100);
    EXPECT_EQ(layout.Bar(), (ui::RectGeometry{0, 0, 30, 20}));
    layout.SetValue(0);
    EXPECT_EQ(layout.Bar(), (ui::RectGeometry{0, 20, 30, 0}));
}

TEST(ProgressLayoutTest, OrientationChangeKeepsTheValueAndRedrawsInTheNewDirection)
{
    ProgressLayout layout;
    layout.ResizePixels(200, 40);
    layout.SetValue(25);
    EXPECT_EQ(layout.Bar(), (ui::RectGeometry{0, 0, 50, 40}));
    layout.SetOrientation(1);
    EXPECT_EQ(layout.Value(), 25);
    EXPECT_EQ(layout.Bar(), (ui::RectGeometry{0, 30, 200, 10}));
    layout.SetOrientation(0);
    EXPECT_EQ(layout.Bar(), (ui::RectGeometry{0, 0, 50, 40}));
}

TEST(ProgressLayoutTest, UnknownOrientationIsStoredButLeavesTheBarWhereItWas)
{
    ProgressLayout layout;
    layout.ResizePixels(200, 40);
    layout.SetValue(25);
    const ui::RectGeometry before = layout.Bar();
    layout.SetOrientation(7);
    EXPECT_EQ(layout.Orientation(), 7);
    layout.SetValue(80);
    EXPECT_EQ(layout.Value(), 80);
    EXPECT_EQ(layout.Bar(), before);
    layout.ResizePixels(300, 50);
    EXPECT_EQ(layout.Bar(), before);
}

TEST(ProgressLayoutTest, FrameLinesFollowTheSize)
{
    ProgressLayout layout;
    layout.ResizePixels(100, 12);
    EXPECT_EQ(layout.LinUp().x1, 0);
    EXPECT_EQ(layout.LinUp().y1, 0);
    EXPECT_EQ(layout.LinUp().x2, 100);
    EXPECT_EQ(layout.LinUp().y2, 0);
    EXPECT_EQ(layout.LinDown().y1, 11);
    EXPECT_EQ(layout.LinDown().x2, 100);
    EXPECT_EQ(layout.LinDown().y2, 11);
    EXPECT_EQ(layout.LinLeft().x2, 0);
    EXPECT_EQ(layout.LinLeft().y2, 12);
    EXPECT_EQ(layout.LinRight().x1, 99);
    EXPECT_EQ(layout.LinRight().x2, 99);
    EXPECT_EQ(layout.LinRight().y2, 12);
}

TEST(ProgressLayoutTest, SizeInTwipsIsRoundedThenDividedWhole)
{
    ProgressLayout layout(15, 15);
    layout.ResizeTwips(6374.6, 299.4);  // 6375 / 15 = 425; 299 / 15 = 19
    EXPECT_EQ(layout.Width(), 425);
    EXPECT_EQ(layout.Height(), 19);
}

TEST_F(ProgressWidget, NewControlHasItsDefaults)
{
    ctrProgress bar;
    EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
    EXPECT_EQ(bar.FillColor(), 0x00A56D3Au);
    EXPECT_EQ(bar.Orientation(), 0);
    EXPECT_TRUE(bar.Show3D());
    EXPECT_EQ(bar.Value(), 100);
    Show(bar, 120, 16);
    EXPECT_EQ(bar.Layout().Bar(), (ui::RectGeometry{0, 0, 120, 16}));
    EXPECT_TRUE(bar.Layout().LinUp().visible);
}

TEST_F(ProgressWidget, ColoursAreBlueGreenRedAndSystemColoursFollowThePalette)
{
    ctrProgress bar;
    EXPECT_EQ(bar.ResolvedFillColor(), QColor(0x3A, 0x6D, 0xA5));
    QPalette palette = bar.palette();
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    bar.setPalette(palette);
    EXPECT_EQ(bar.ResolvedBackColor(), QColor(1, 2, 3));
    bar.SetBackColor(0x00FF0000u);
    EXPECT_EQ(bar.ResolvedBackColor(), QColor(0, 0, 255));
}

TEST_F(ProgressWidget, ResizeLaysOutFrameAndBar)
{
    ctrProgress bar;
    bar.SetValue(50);
    Show(bar, 425, 20);
    EXPECT_EQ(bar.Layout().Width(), 425);
    EXPECT_EQ(bar.Layout().Bar().width, 212);
    EXPECT_EQ(bar.Layout().LinDown().y1, 19);
    bar.SetOrientation(1);
    bar.resize(40, 20);
    QCoreApplication::processEvents();
    bar.SetValue(25);
    EXPECT_EQ(bar.Layout().Bar(), (ui::RectGeometry{0, 15, 40, 5}));
}

TEST_F(ProgressWidget, Show3DFalseHidesTheFourLinesOnly)
{
    ctrProgress bar;
    Show(bar, 100, 10);
    bar.SetValue(40);
    const ui::RectGeometry before = bar.Layout().Bar();
    bar.SetShow3D(false);
    const auto& l = bar.Layout();
    EXPECT_FALSE(l.LinUp().visible);
    EXPECT_FALSE(l.LinDown().visible);
    EXPECT_FALSE(l.LinLeft().visible);
    EXPECT_FALSE(l.LinRight().visible);
    EXPECT_EQ(l.Bar(), before);
    // A later resize keeps them hidden.
    bar.resize(150, 10);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar.Layout().LinRight().visible);
}

TEST_F(ProgressWidget, MainWindowSettings)
{
    ctrProgress bar;
    ui::ConfigureAsMainProgress(bar);
    EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
    EXPECT_EQ(bar.FillColor(), 0x00A56D3Au);
    EXPECT_EQ(bar.Orientation(), 0);
    EXPECT_FALSE(bar.Show3D());
    EXPECT_EQ(bar.Value(), 0);
}

TEST_F(ProgressWidget, RepaintsAtOnceOnlyWhenTheBarLengthChanges)
{
    ctrProgress bar;
    ui::ConfigureAsMainProgress(bar);
    Show(bar, 50, 10);
    PaintCounter counter;
    bar.installEventFilter(&counter);

    bar.SetValue(10);  // 5 pixels: painted before any event processing
    EXPECT_EQ(counter.count, 1);
    bar.SetValue(11);  // 5.5 -> 6 pixels
    EXPECT_EQ(counter.count, 2);
    bar.SetValue(12);  // 6 pixels: nothing to redraw
    EXPECT_EQ(counter.count, 2);
    bar.SetValue(-3);
    bar.SetValue(0);  // already empty
    EXPECT_EQ(counter.count, 3);
    bar.removeEventFilter(&counter);
}

TEST_F(ProgressWidget, PropertiesRoundTripThroughTheBag)
{
    ctrProgress source;
    source.SetBackColor(0x00112233u);
    source.SetFillColor(0x8000000Du);
    source.SetOrientation(1);
    source.SetShow3D(false);
    source.SetValue(37);
    ui::PropertyBag bag;
    source.WriteProperties(bag);
    ASSERT_EQ(bag.Entries().size(), 5u);
    EXPECT_EQ(bag.Entries()[0].first, "BackColor");
    EXPECT_EQ(bag.Entries()[1].first, "FillColor");
    EXPECT_EQ(bag.Entries()[2].first, "Orientation");
    EXPECT_EQ(bag.Entries()[3].first, "Show3D");
    EXPECT_EQ(bag.Entries()[4].first, "Value");

    ctrProgress copy;
    copy.ReadProperties(bag);
    EXPECT_EQ(copy.BackColor(), 0x00112233u);
    EXPECT_EQ(copy.FillColor(), 0x8000000Du);
    EXPECT_EQ(copy.Orientation(), 1);
    EXPECT_FALSE(copy.Show3D());
    EXPECT_EQ(copy.Value(), 37);

    // Saving writes every property, defaults included.
    ui::PropertyBag defaults;
    ctrProgress().WriteProperties(defaults);
    EXPECT_EQ(defaults.Entries().size(), 5u);
}

TEST_F(ProgressWidget, LoadingSkipsMissingAndUnreadableEntries)
{
    ui::PropertyBag bag;
    bag.Write("BackColor", QString("rosso"));            // unreadable
    bag.Write("FillColor", QString("&H000000FF"));        // hex text reads
    bag.Write("Orientation", QVariant(5000000000LL));    // beyond 32 bits
    // Show3D missing
    bag.Write("Value", QString("250"));                   // read, then clamped

    ctrProgress bar;
    bar.ReadProperties(bag);
    EXPECT_EQ(bar.BackColor(), ctrProgress::kDefaultBackColor);
    EXPECT_EQ(bar.FillColor(), 0x000000FFu);
    EXPECT_EQ(bar.Orientation(), 0);
    EXPECT_TRUE(bar.Show3D());
    EXPECT_EQ(bar.Value(), 100);

    ui::PropertyBag other;
    other.Write("show3d", QString("False"));  // names are not case-sensitive
    other.Write("Value", QVariant());         // no value at all
    other.Write("BackColor", QVariant(-2147483633));  // &H8000000F written as a signed Long
    bar.SetValue(20);
    bar.ReadProperties(other);
    EXPECT_FALSE(bar.Show3D());
    EXPECT_EQ(bar.Value(), 20);
    EXPECT_EQ(bar.BackColor(), 0x8000000Fu);
}

TEST(PropertyBagConversions, ReadWhatTheTypeAllows)
{
    EXPECT_EQ(ui::BagToInt32(QVariant(12.5)), 12);  // rounds half to even
    EXPECT_EQ(ui::BagToInt32(QVariant(QString(" 7 "))), 7);
    EXPECT_FALSE(ui::BagToInt32(QVariant(QString(""))).has_value());
    EXPECT_FALSE(ui::BagToInt32(QVariant(4294967295u)).has_value());
    EXPECT_EQ(ui::BagToColor(QVariant(4294967295u)), 0xFFFFFFFFu);
    EXPECT_EQ(ui::BagToColor(QVariant(QString("&H8000000F&"))), 0x8000000Fu);
    EXPECT_FALSE(ui::BagToColor(QVariant(QString("&H1FFFFFFFF"))).has_value());
    EXPECT_EQ(ui::BagToBool(QVariant(QString("true"))), true);
    EXPECT_EQ(ui::BagToBool(QVariant(0)), false);
    EXPECT_EQ(ui::BagToBool(QVariant(-1)), true);
    EXPECT_FALSE(ui::BagToBool(QVariant(QString("forse"))).has_value());
}
