#include "framing/ProofSheet.h"

#include "platform/DiskPath.h"
#include "templates/CaptionFont.h"

#include <QCollator>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lumavo {

namespace {

constexpr int kMargin = 32;
constexpr int kGap = 24;
constexpr int kNameHeight = 52;
constexpr double kNamePixels = 30;
constexpr double kSmallestNamePixels = 12;
const QColor kPaper(0xF4, 0xF1, 0xEC);
const QColor kInk(0x35, 0x30, 0x2B);
const QColor kPlaceholder(0xE2, 0xDC, 0xD2);

int ColumnsFor(int count)
{
    return std::max(1, int(std::ceil(std::sqrt(double(std::max(count, 1))))));
}

// The name centred on its line, in the caption's face, made smaller when it
// is too long for the cell.
void DrawName(QPainter& painter, const CaptionFont& font, const QString& name, const QRect& line)
{
    const double em = font.EmWidth(name);
    double pixels = kNamePixels;
    if (em * pixels > line.width())
        pixels = std::max(kSmallestNamePixels, line.width() / std::max(em, 1e-6));
    const double width = em * pixels;
    const QPointF topLeft(line.left() + (line.width() - width) / 2, line.top() + (line.height() - pixels * 1.2) / 2);
    const CaptionFont::LineMask mask = font.RenderLine(name, pixels, topLeft, line);
    if (mask.coverage.isNull())
        return;
    QImage ink(mask.coverage.size(), QImage::Format_ARGB32_Premultiplied);
    ink.fill(kInk);
    ink.setAlphaChannel(mask.coverage);
    painter.drawImage(mask.origin, ink);
}

} // namespace

QStringList ProofTemplateNames(const QString& root)
{
    QStringList names = FolderEntries(root, EntryKind::Folder);
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(
        names.begin(), names.end(), [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    return names;
}

ProofCellGeometry ProofCell(int index, int count)
{
    const int columns = ColumnsFor(count);
    const int column = index % columns;
    const int row = index / columns;
    const int x = kMargin + column * (kProofPictureSide + kGap);
    const int y = kMargin + row * (kProofPictureSide + kNameHeight + kGap);
    return { QRect(x, y, kProofPictureSide, kProofPictureSide),
        QRect(x, y + kProofPictureSide, kProofPictureSide, kNameHeight) };
}

QSize ProofSheetSize(int count)
{
    const int columns = ColumnsFor(count);
    const int rows = (std::max(count, 1) + columns - 1) / columns;
    return QSize(2 * kMargin + columns * kProofPictureSide + (columns - 1) * kGap,
        2 * kMargin + rows * (kProofPictureSide + kNameHeight) + (rows - 1) * kGap);
}

ProofSheet MakeProofSheet(
    const QString& root, const TrialPhoto& photo, const FramingGoal& goal, const ProofProgress& progress)
{
    ProofSheet sheet;
    const QStringList names = ProofTemplateNames(root);
    const int count = int(names.size());
    if (count == 0)
        return sheet;
    sheet.image = QImage(ProofSheetSize(count), QImage::Format_RGB32);
    sheet.image.fill(kPaper);
    const CaptionFont* font = CaptionFont::Default();
    sheet.namesDrawn = font != nullptr;
    QPainter painter(&sheet.image);
    for (int i = 0; i < count; ++i) {
        const QString& name = names[i];
        if (progress)
            progress(i + 1, count, name);
        ProofEntry entry { name, false, {} };
        const ProofCellGeometry cell = ProofCell(i, count);
        const auto folder = TemplateFolder::Make(root, name);
        TrialPicture trial;
        if (folder)
            trial = MakeTrialPicture(*folder, photo, cell.picture.size(), goal);
        else
            trial.error = kTemplateLibraryError;
        if (trial.image.isNull()) {
            entry.error = trial.error;
            painter.fillRect(cell.picture, kPlaceholder);
        } else {
            entry.framed = trial.framed;
            const QSize size = trial.image.size();
            painter.drawImage(QPoint(cell.picture.x() + (cell.picture.width() - size.width()) / 2,
                                  cell.picture.y() + (cell.picture.height() - size.height()) / 2),
                trial.image);
        }
        if (font)
            DrawName(painter, *font, name, cell.name);
        sheet.entries.push_back(entry);
    }
    return sheet;
}

} // namespace lumavo
