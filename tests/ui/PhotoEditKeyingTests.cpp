// Keying the sample portraits through the edit window: a click on the
// backdrop, the tolerance changed afterwards, a second region, and the
// finished picture drawn from the keyed photo.

#include "TestUtils.h"
#include "templates/Composition.h"
#include "templates/OutputRender.h"
#include "templates/TemplateFolder.h"
#include "ui/EditWindowTesting.h"
#include "ui/PhotoCanvas.h"
#include "ui/PhotoEditDlg.h"

#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lumavo {
namespace {

// Clicks the canvas where a picture point is shown (the picture is scaled down to fit).
void ClickShownPoint(CPhotoEditDlg& window, QPointF share)
{
    CPhotoCanvas* canvas = window.Canvas();
    const QRect shown = canvas->DisplayRect();
    const QPoint at(shown.left() + int(share.x() * shown.width()), shown.top() + int(share.y() * shown.height()));
    QTest::mouseClick(canvas, Qt::LeftButton, {}, at);
}

// The mask's pixels whose whole (2r+1) square is subject (or backdrop).
std::vector<uint8_t> Interior(const QImage& mask, bool subject, int radius)
{
    const int w = mask.width(), h = mask.height();
    std::vector<uint8_t> rows(size_t(w) * h), out(size_t(w) * h);
    const int wanted = subject ? 255 : 0;
    for (int y = 0; y < h; ++y) {
        const uchar* line = mask.constScanLine(y);
        int run = 0; // pixels of the wanted value ending at x
        std::vector<int> lengths(static_cast<size_t>(w));
        for (int x = 0; x < w; ++x)
            lengths[size_t(x)] = run = line[x] == wanted ? run + 1 : 0;
        for (int x = 0; x < w; ++x) {
            const int right = std::min(w - 1, x + radius);
            rows[size_t(y) * w + x] = lengths[size_t(right)] >= right - std::max(0, x - radius) + 1;
        }
    }
    for (int x = 0; x < w; ++x) {
        int run = 0;
        std::vector<int> lengths(static_cast<size_t>(h));
        for (int y = 0; y < h; ++y)
            lengths[size_t(y)] = run = rows[size_t(y) * w + x] ? run + 1 : 0;
        for (int y = 0; y < h; ++y) {
            const int bottom = std::min(h - 1, y + radius);
            out[size_t(y) * w + x] = lengths[size_t(bottom)] >= bottom - std::max(0, y - radius) + 1;
        }
    }
    return out;
}

struct Shares {
    double removed = 0; // of the backdrop: alpha at most 10%
    double kept = 0; // of the subject: alpha at least 90%
};

Shares Measure(const std::vector<uint8_t>& backdrop, const std::vector<uint8_t>& subject, const QImage& keyed)
{
    size_t inBackdrop = 0, removed = 0, inSubject = 0, kept = 0;
    const QImage argb = keyed.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const uint32_t*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const size_t i = size_t(y) * argb.width() + x;
            const uint32_t alpha = line[x] >> 24;
            if (backdrop[i]) {
                ++inBackdrop;
                removed += alpha <= 25;
            } else if (subject[i]) {
                ++inSubject;
                kept += alpha >= 230;
            }
        }
    }
    return { double(removed) / double(std::max<size_t>(inBackdrop, 1)),
        double(kept) / double(std::max<size_t>(inSubject, 1)) };
}

struct Finished {
    QImage picture;
    PhotoPlacement placement;
};

// The finished picture of a photo in a sample template, as the output window draws it.
Finished RenderFinished(const PhotoImage& photo)
{
    const auto folder = TemplateFolder::Make(test::ProgramDir() + "/temple", QStringLiteral("4R-classic-cream"));
    EXPECT_TRUE(folder);
    if (!folder)
        return {};
    const LayerReading layer = ReadLayerFile(*folder);
    OutputTemplate layers = OutputTemplate::Load(*folder);
    const QSize size = layers.size();
    const PhotoPlacement placement = PlacePhoto(layer.rect, int32_t(photo.Width()), int32_t(photo.Height()));
    RenderResult result
        = RenderOutput(std::move(layers), &photo, placement, size.width(), size.height(), QStringLiteral("测试"));
    EXPECT_TRUE(result.picture) << result.error.toStdString();
    if (!result.picture)
        return {};
    return { result.picture->image().convertToFormat(QImage::Format_RGB32), placement };
}

// Within the placement, the finished pixels whose photo pixel is inside the
// subject (away from its outline) and in `area` (shares of the photo), and
// how many of them differ between the two finished pictures.
struct Agreement {
    size_t compared = 0;
    size_t differing = 0;
};

Agreement CompareSubject(const Finished& keyed, const Finished& plain, const std::vector<uint8_t>& subject,
    QSize photoSize, QRectF area = QRectF(0, 0, 1, 1))
{
    Agreement agreement;
    const PhotoPlacement& p = plain.placement;
    const QRect bounds = QRect(p.x, p.y, p.width, p.height).intersected(plain.picture.rect());
    for (int y = bounds.top(); y <= bounds.bottom(); ++y)
        for (int x = bounds.left(); x <= bounds.right(); ++x) {
            const int px = int((x - p.x + 0.5) * photoSize.width() / p.width);
            const int py = int((y - p.y + 0.5) * photoSize.height() / p.height);
            if (px < 0 || py < 0 || px >= photoSize.width() || py >= photoSize.height())
                continue;
            if (!area.contains(QPointF(double(px) / photoSize.width(), double(py) / photoSize.height())))
                continue;
            if (!subject[size_t(py) * photoSize.width() + px])
                continue;
            ++agreement.compared;
            const QRgb a = keyed.picture.pixel(x, y), b = plain.picture.pixel(x, y);
            const int delta = std::max(
                { std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)) });
            agreement.differing += delta > 24;
        }
    return agreement;
}

// Both sample portraits, from a click high on the left and one low on the
// right of the backdrop.
TEST(PhotoEditKeyingTest, AClickOnTheBackdropKeepsTheSubjectIntoTheFinishedPicture)
{
    struct Sample {
        const char* name;
        QPointF click;
        QPointF second; // a further region: beside the shoulder on the other side
    };
    const Sample samples[] = {
        { "portrait-man", QPointF(0.04, 0.05), QPointF(0.97, 0.8) },
        { "portrait-woman", QPointF(0.96, 0.6), QPointF(0.05, 0.1) },
    };
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.name);
        const QString name = QString::fromLatin1(sample.name);
        auto photo = PhotoImage::FromFile(test::ProgramDir() + "/samples/photos/" + name + ".jpg");
        const QImage mask
            = QImage(test::ProgramDir() + "/samples/masks/" + name + ".png").convertToFormat(QImage::Format_Grayscale8);
        if (photo->IsNull() || mask.size() != photo->image().size())
            GTEST_SKIP() << "sample photos not built";
        const QImage original = photo->image();
        const std::vector<uint8_t> backdrop = Interior(mask, false, 2);
        const std::vector<uint8_t> subject = Interior(mask, true, 2);
        // Away from the outline, where strands of hair are kept in part; and
        // well inside it (1% of the photo's width), where nothing may go.
        const std::vector<uint8_t> inner = Interior(mask, true, 8);
        const std::vector<uint8_t> deep = Interior(mask, true, 24);

        CPhotoEditDlg window;
        window.SetPhoto(std::move(photo));
        test::RunEdit(window, [&](CPhotoEditDlg& edit) {
            edit.OnCommand(1053);
            ClickShownPoint(edit, sample.click);
            ASSERT_TRUE(edit.IsKeying());
            const QImage first = edit.CurrentPicture()->image();
            const Shares shares = Measure(backdrop, subject, first);
            EXPECT_GE(shares.removed, 0.98);
            EXPECT_GE(shares.kept, 0.995);
            std::printf("%s: %.2f%% of the backdrop removed, %.3f%% of the subject kept\n", sample.name,
                100 * shares.removed, 100 * shares.kept);

            // The tolerance changes the keyed picture, not the steps to take back;
            // back at the first value it is the first picture again.
            auto* slider = edit.findChild<QSlider*>(QStringLiteral("KeyTolerance"));
            ASSERT_NE(slider, nullptr);
            const int steps = edit.History().Count();
            slider->setValue(10);
            EXPECT_EQ(edit.KeyTolerance(), 10);
            EXPECT_NE(edit.CurrentPicture()->image(), first);
            EXPECT_TRUE(edit.IsKeying());
            slider->setValue(BackdropKey::kDefaultTolerance);
            EXPECT_EQ(edit.CurrentPicture()->image(), first);
            EXPECT_EQ(edit.History().Count(), steps);

            // A second click adds its region: one more step, and taking it
            // back gives the first picture exactly.
            ClickShownPoint(edit, sample.second);
            EXPECT_EQ(edit.History().Count(), steps + 1);
            EXPECT_GE(Measure(backdrop, subject, edit.CurrentPicture()->image()).kept, 0.995);
            edit.OnUndo();
            EXPECT_EQ(edit.CurrentPicture()->image(), first);
            edit.OnCommand(1);
        });
        std::unique_ptr<PhotoImage> keyed = window.TakePhoto();
        ASSERT_TRUE(keyed);
        EXPECT_EQ(window.InitialPicture()->image(), original);

        // In the finished picture the subject is the photo's own: the keyed
        // photo and the photo as it came agree inside the subject, and the
        // eyebrows and the hair above the forehead are whole.
        const Finished fromKeyed = RenderFinished(*keyed);
        const Finished fromPlain = RenderFinished(*window.InitialPicture());
        ASSERT_FALSE(fromKeyed.picture.isNull());
        ASSERT_FALSE(fromPlain.picture.isNull());
        const Agreement whole = CompareSubject(fromKeyed, fromPlain, inner, original.size());
        ASSERT_GT(whole.compared, 10000u);
        EXPECT_LE(double(whole.differing) / double(whole.compared), 0.005)
            << whole.differing << " of " << whole.compared;
        for (const QRectF& area : { QRectF(0.36, 0.33, 0.28, 0.08), QRectF(0.3, 0.15, 0.4, 0.14) }) {
            const Agreement part = CompareSubject(fromKeyed, fromPlain, deep, original.size(), area);
            EXPECT_GT(part.compared, 1000u);
            EXPECT_EQ(part.differing, 0u) << "eyebrows / hair at " << area.x() << ", " << area.y();
        }
        // Where the backdrop was, the template shows through.
        EXPECT_NE(fromKeyed.picture.pixel(fromKeyed.placement.x + 3, fromKeyed.placement.y + 3),
            fromPlain.picture.pixel(fromPlain.placement.x + 3, fromPlain.placement.y + 3));
    }
}

} // namespace
} // namespace lumavo
