#include "PortraitTruth.h"
#include "TestUtils.h"
#include "faces/FaceFinder.h"
#include "templates/FaceFraming.h"
#include "templates/TemplateFolder.h"

#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace lumavo {
namespace {

LayerRect SampleOpening(const char* templateName)
{
    const auto folder = TemplateFolder::Make(
        QDir(test::ProgramDir()).filePath(QStringLiteral("temple")), QString::fromLatin1(templateName));
    return folder ? ReadLayerRect(*folder) : LayerRect {};
}

// A real portrait as a camera delivers it, found, framed into the sample
// templates' openings: the marked eyes land within 5% of the goals.
TEST(PortraitFraming, RealPortraitsReachTheGoalsInRealOpenings)
{
    auto finder = FaceFinder::Load(FaceFinder::DefaultFolders(test::ProgramDir()));
    ASSERT_NE(finder, nullptr);
    const auto marked = test::ReadMarkedFaces(QDir(test::PortraitFolder()).filePath(QStringLiteral("faces.txt")));
    for (const char* name : { "grace_hopper.jpg", "astronaut.jpg", "O0.jpg" }) {
        const QString file = QString::fromLatin1(name);
        const QImage portrait = QImage(QDir(test::PortraitFolder()).filePath(file));
        ASSERT_FALSE(portrait.isNull());
        const test::MarkedFace& truth = marked.at(file).front();
        ASSERT_TRUE(truth.leftEye && truth.rightEye);
        // Enlarged to camera size inside a wider view, as a studio shot
        // leaves room around the sitter.
        const double scale = 2000.0 / portrait.height();
        const QPointF at((6000 - portrait.width() * scale) / 2, 1000);
        QImage photo(6000, 4000, QImage::Format_RGB32);
        photo.fill(portrait.pixel(2, 2));
        {
            QPainter painter(&photo);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(at, QSizeF(portrait.width() * scale, 2000)), portrait);
        }
        const QPointF eyes(at.x() + (truth.leftEye->x() + truth.rightEye->x()) / 2.0 * scale,
            at.y() + (truth.leftEye->y() + truth.rightEye->y()) / 2.0 * scale);

        const FaceSearch search = finder->Find(photo);
        ASSERT_FALSE(search.faces.empty()) << name;
        const FaceGroup group = GroupOf({ search.faces.front() });
        const FramingSubject subject { group.box.x(), group.box.y(), group.box.width(), group.box.height(),
            group.eyeLine };
        for (const char* templateName : { "4R-classic-cream", "6R-sage-landscape" }) {
            SCOPED_TRACE(std::string(name) + " in " + templateName);
            const LayerRect opening = SampleOpening(templateName);
            ASSERT_GT(opening.right - opening.left, 0);
            const auto placement = FramePlacement(opening, photo.width(), photo.height(), subject);
            ASSERT_TRUE(placement);
            const double ow = opening.right - opening.left, oh = opening.bottom - opening.top;
            const double landedX = placement->x + eyes.x() * placement->width / photo.width();
            const double landedY = placement->y + eyes.y() * placement->height / photo.height();
            EXPECT_LE(std::abs(landedX - (opening.left + ow / 2)), 0.05 * ow);
            EXPECT_LE(std::abs(landedY - (opening.top + 0.4 * oh)), 0.05 * oh);
        }
    }
}

} // namespace
} // namespace lumavo
