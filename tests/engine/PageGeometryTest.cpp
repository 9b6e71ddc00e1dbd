#include "printing/PageGeometry.h"

#include "printing/EffectiveResolution.h"

#include <gtest/gtest.h>

namespace lumavo {
namespace {

const PrintFormat& Format(const char* name)
{
    const PrintFormat* format = FindPrintFormat(QString::fromLatin1(name));
    EXPECT_NE(format, nullptr) << name;
    return *format;
}

Paper MakePaper(double width, double height, double margin = 0.0, const char* name = "")
{
    return Paper { QString::fromLatin1(name), QSizeF(width, height), QMarginsF(margin, margin, margin, margin) };
}

void ExpectRect(const QRectF& actual, double x, double y, double width, double height)
{
    EXPECT_NEAR(actual.x(), x, 0.005);
    EXPECT_NEAR(actual.y(), y, 0.005);
    EXPECT_NEAR(actual.width(), width, 0.005);
    EXPECT_NEAR(actual.height(), height, 0.005);
}

TEST(PaperChoice, TheFormatsOwnPaperFirstBorderlessPreferredElseThePaperLoaded)
{
    const QList<Paper> papers { MakePaper(210, 297, 3, "a4"), MakePaper(101.6, 152.4, 3, "4x6"),
        MakePaper(101.6, 152.4, 0, "4x6-borderless"), MakePaper(127, 177.8, 3, "5x7") };
    EXPECT_EQ(ChoosePaper(papers, 0, Format("4R")), 2); // 4 x 6 inches is a 4R
    EXPECT_EQ(ChoosePaper(papers, 0, Format("5R")), 3); // 5 x 7 inches, with borders only
    EXPECT_EQ(ChoosePaper(papers, 0, Format("A5")), 0); // not offered: the A4 loaded
    EXPECT_EQ(ChoosePaper(papers, 7, Format("A5")), 0); // a default out of the list
    EXPECT_EQ(ChoosePaper({}, -1, Format("A5")), -1);
    // A roll printer that lists its paper the long side across.
    EXPECT_EQ(ChoosePaper({ MakePaper(210, 297), MakePaper(152, 102) }, 0, Format("4R")), 1);
    // 6R (152 x 203) is not 6 x 9 inches.
    EXPECT_EQ(ChoosePaper({ MakePaper(210, 297), MakePaper(152.4, 228.6) }, 0, Format("6R")), 0);
}

TEST(PrintPlacement, OnItsOwnPaperThePictureReachesTheEdges)
{
    // A 2:3 picture on 4R paper (102 x 152 mm, a little slimmer than 2:3).
    const Paper paper = MakePaper(102, 152);
    const PrintPlacement whole = PlacePrint(Format("4R"), paper, QSize(1400, 2100), FitMode::Whole);
    ExpectRect(whole.frameMm, 0, 0, 102, 152);
    // Whole: 152 mm high, 152 * 2 / 3 = 101.33 mm wide, even borders of 0.33 mm.
    ExpectRect(whole.pictureMm, 1.0 / 3, 0, 304.0 / 3, 152);
    EXPECT_EQ(whole.sourcePx, QRect(0, 0, 1400, 2100));
    EXPECT_FALSE(whole.turned);
    EXPECT_FALSE(whole.reduced);

    // Fill: 102 mm wide takes 1400 px, so 152 mm take 2086 px; 7 px go off
    // the top and the bottom each.
    const PrintPlacement fill = PlacePrint(Format("4R"), paper, QSize(1400, 2100), FitMode::Fill);
    ExpectRect(fill.pictureMm, 0, 0, 102, 152);
    EXPECT_EQ(fill.sourcePx, QRect(0, 7, 1400, 2086));
    EXPECT_NEAR(fill.mmPerPixel, 102.0 / 1400, 1e-9);
}

TEST(PrintPlacement, CentredOnLargerPaperTurnedThePapersWayRound)
{
    const Paper a4 = MakePaper(210, 297, 5);
    const PrintPlacement upright = PlacePrint(Format("4R"), a4, QSize(1000, 1500), FitMode::Whole);
    ExpectRect(upright.frameMm, 54, 72.5, 102, 152);
    EXPECT_FALSE(upright.beyondPrintable);

    // A landscape picture on the upright size: turned a quarter, and
    // filling crops its long side, which now runs down the page.
    const PrintPlacement turned = PlacePrint(Format("4R"), a4, QSize(2100, 1400), FitMode::Fill);
    EXPECT_TRUE(turned.turned);
    ExpectRect(turned.pictureMm, 54, 72.5, 102, 152);
    EXPECT_EQ(turned.sourcePx, QRect(7, 0, 2086, 1400));
    // Shown whole it keeps its proportions the other way: 101.33 mm across.
    const PrintPlacement turnedWhole = PlacePrint(Format("4R"), a4, QSize(2100, 1400), FitMode::Whole);
    ExpectRect(turnedWhole.pictureMm, 54 + 1.0 / 3, 72.5, 304.0 / 3, 152);

    // Paper fed long side first: the size lies across, a landscape picture stays as it is.
    const PrintPlacement across = PlacePrint(Format("4R"), MakePaper(297, 210), QSize(2100, 1400), FitMode::Fill);
    EXPECT_FALSE(across.turned);
    ExpectRect(across.frameMm, 72.5, 54, 152, 102);
    // A square picture is never turned.
    EXPECT_FALSE(PlacePrint(Format("4R"), a4, QSize(900, 900), FitMode::Whole).turned);
}

TEST(PrintPlacement, PaperTooSmallShrinksOntoWhatThePrinterCanPrint)
{
    // A4 on 4R paper with 3 mm margins: 96 x 146 mm printable; A4's
    // proportions make it 96 wide and 96 * 297 / 210 = 135.77 high.
    const PrintPlacement reduced = PlacePrint(Format("A4"), MakePaper(102, 152, 3), QSize(2100, 2970), FitMode::Whole);
    EXPECT_TRUE(reduced.reduced);
    ExpectRect(reduced.frameMm, 3, 3 + (146 - 96 * 297.0 / 210) / 2, 96, 96 * 297.0 / 210);
    EXPECT_FALSE(reduced.beyondPrintable);
}

TEST(PrintPlacement, CalibrationScalesAboutTheCentreThenMoves)
{
    // 4R on A4: centre (105, 148.5); 1 % larger, 2.0 mm right, 1.5 mm up.
    const PrintPlacement corrected = PlacePrint(
        Format("4R"), MakePaper(210, 297), QSize(1020, 1520), FitMode::Whole, Calibration { 20, -15, 1010 });
    ExpectRect(corrected.frameMm, 105 - 51.51 + 2, 148.5 - 76.76 - 1.5, 103.02, 153.52);
    ExpectRect(corrected.pictureMm, 105 - 51.51 + 2, 148.5 - 76.76 - 1.5, 103.02, 153.52);
    EXPECT_NEAR(corrected.mmPerPixel, 0.1 * 1.01, 1e-9);

    // On its own paper with margins the print still lies from the paper's
    // edges (a margin cuts it off, never moves it), and says it runs onto them.
    const PrintPlacement margins = PlacePrint(Format("4R"), MakePaper(102, 152, 2), QSize(1020, 1520), FitMode::Fill);
    ExpectRect(margins.pictureMm, 0, 0, 102, 152);
    EXPECT_TRUE(margins.beyondPrintable);
    ExpectRect(margins.printableMm, 2, 2, 98, 148);
    // The test sheet's frame alone.
    const PrintPlacement frame = PlacePrint(Format("5R"), MakePaper(210, 297), QSize(), FitMode::Whole);
    ExpectRect(frame.pictureMm, 41.5, 59.5, 127, 178);
    EXPECT_EQ(frame.mmPerPixel, 0.0);
}

TEST(EffectiveResolution, PicturesAndPhotosInPrintedInches)
{
    // A 1400 x 2100 picture 152 mm (5.984 inches) high: 350.9 dpi.
    const PrintPlacement placement = PlacePrint(Format("4R"), MakePaper(102, 152), QSize(1400, 2100), FitMode::Whole);
    const PrintResolution sharp = EffectiveResolution(placement, QSize(1200, 1600), QRect(300, 400, 800, 1100));
    EXPECT_NEAR(sharp.pictureDpi, 2100 / (152 / 25.4), 0.01);
    // The photo's 1200 px over 800 picture pixels, 57.9 mm: 526 dpi across;
    // 1600 px over 1100 picture pixels down: 510.5 dpi, the lesser.
    EXPECT_NEAR(sharp.photoDpi, 1600 / (1100 * 152.0 / 2100 / 25.4), 0.01);
    EXPECT_FALSE(sharp.photoTooLow);

    // A small photo blown up into the same opening: 400 px over 3.13 inches down.
    const PrintResolution soft = EffectiveResolution(placement, QSize(300, 400), QRect(300, 400, 800, 1100));
    EXPECT_NEAR(soft.photoDpi, 400 / (1100 * 152.0 / 2100 / 25.4), 0.01);
    EXPECT_TRUE(soft.photoTooLow);

    // No photo: only the picture's resolution.
    const PrintResolution none = EffectiveResolution(placement, QSize(), QRect());
    EXPECT_EQ(none.photoDpi, 0.0);
    EXPECT_FALSE(none.photoTooLow);
}

} // namespace
} // namespace lumavo
