#include "app/AlbumView.h"

#include "app/AlbumSource.h"
#include "app/AlbumThumbnail.h"
#include "app/MoviePalette.h"
#include "framing/FramingSettings.h"
#include "framing/TemplateTrial.h"
#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRunnable>
#include <QThreadPool>
#include <QVariantAnimation>

#include <algorithm>

namespace lumavo {

namespace {

// A calm studio look: warm paper background, dark warm text, one accent.
const QColor kBackgroundTop(0xF6, 0xF3, 0xEE);
const QColor kBackgroundBottom = palette::kPaper;
const QColor kText = palette::kText;
const QColor kQuietText(0x8A, 0x82, 0x78);
const QColor kAccent = palette::kAccent;
const QColor kPlaceholder(0xE2, 0xDC, 0xD2);

constexpr int kMargin = 14;
constexpr int kFooterHeight = 44;
constexpr int kCaptionHeight = 26;
constexpr int kCellPadding = 8;
constexpr int kMat = 4; // the white border around a thumbnail, like a print's
constexpr int kArrowSize = 30;

QRect FitInto(QSize size, const QRect& box)
{
    if (size.isEmpty())
        return box;
    const QSize fitted = size.scaled(box.size(), Qt::KeepAspectRatio);
    return QRect(box.x() + (box.width() - fitted.width()) / 2, box.y() + (box.height() - fitted.height()) / 2,
        fitted.width(), fitted.height());
}

QRect PictureBox(const QRect& cell)
{
    return cell.adjusted(kCellPadding + kMat + 2, kCellPadding + kMat + 2, -(kCellPadding + kMat + 2),
        -(kCellPadding + kCaptionHeight + kMat));
}

} // namespace

CAlbumView::CAlbumView(QWidget* parent)
    : QWidget(parent)
    , m_pool(std::make_unique<QThreadPool>())
    , m_turn(std::make_unique<QVariantAnimation>())
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Two makers keep the thumbnails coming without starving the window.
    m_pool->setMaxThreadCount(2);
    m_turn->setDuration(kTurnMs);
    m_turn->setStartValue(0.0);
    m_turn->setEndValue(1.0);
    m_turn->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_turn.get(), &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_turnProgress = value.toReal();
        update();
    });
    connect(m_turn.get(), &QVariantAnimation::finished, this, [this] {
        m_turnProgress = 1.0;
        update();
    });
}

CAlbumView::~CAlbumView()
{
    // Makers still running post their results to this object: wait for them.
    m_pool->clear();
    m_pool->waitForDone();
}

void CAlbumView::Start(const AlbumServer& server, const QString& templateRoot)
{
    if (m_source)
        return;
    m_source = std::make_unique<CAlbumSource>(server, templateRoot);
    connect(m_source.get(), &CAlbumSource::Loaded, this, [this](const AlbumData& data) { OnLoaded(data); });
    m_source->Start();
}

QString CAlbumView::FolderAt(int index) const
{
    return index >= 0 && index < count() ? m_entries[index].info.folder : QString();
}

bool CAlbumView::HasThumbnail(int index) const
{
    return index >= 0 && index < count() && !m_entries[index].thumbnail.isNull();
}

QImage CAlbumView::Thumbnail(int index) const
{
    return index >= 0 && index < count() ? m_entries[index].thumbnail : QImage();
}

int CAlbumView::PageCount() const
{
    return std::max(1, (count() + kPerPage - 1) / kPerPage);
}

QString CAlbumView::PickedFolder() const
{
    return FolderAt(m_picked);
}

bool CAlbumView::IsTurning() const
{
    return m_turn->state() == QAbstractAnimation::Running;
}

void CAlbumView::OnLoaded(const AlbumData& data)
{
    ++m_generation;
    m_entries.clear();
    for (const AlbumTemplate& info : data.templates)
        m_entries.push_back(Entry { info, QImage(), false });
    m_loaded = true;
    m_page = 0;
    m_fromPage = 0;
    m_highlight = m_entries.empty() ? -1 : 0;
    m_picked = -1;

    // Made once at the size they are shown (the control is placed before it
    // plays), for the screen's pixel ratio; a later resize only rescales.
    const qreal ratio = devicePixelRatioF();
    const QSize box = (QSizeF(PictureBox(SlotRect(0)).size()) * ratio).toSize().expandedTo(QSize(120, 100));
    m_thumbnailBox = box;
    // In order, so the first page comes first.
    for (int i = 0; i < count(); ++i)
        RequestThumbnail(i, box);
    update();
    emit Loaded(count());
}

void CAlbumView::RequestThumbnail(int index, QSize box)
{
    const AlbumTemplate& info = m_entries[index].info;
    const QString templateFolder = QDir(m_source->templateRoot()).filePath(info.folder);
    auto fromTemplate = [templateFolder, box] { return CachedTemplateThumbnail(templateFolder, box); };
    const AlbumServer& server = m_source->server();
    if (info.thumbnail.isEmpty()) {
        RunThumbnailJob(index, fromTemplate);
    } else if (!server.isRemote()) {
        const QString file = server.LocalFile(info.thumbnail).value_or(QString());
        RunThumbnailJob(index, [file, box, fromTemplate] {
            const QImage image = LoadThumbnailFile(file, box);
            return image.isNull() ? fromTemplate() : image;
        });
    } else {
        const int generation = m_generation;
        m_source->Fetch(info.thumbnail, [this, generation, index, box, fromTemplate](const QByteArray& bytes, bool ok) {
            if (generation != m_generation)
                return;
            if (!ok) {
                RunThumbnailJob(index, fromTemplate);
                return;
            }
            RunThumbnailJob(index, [bytes, box, fromTemplate] {
                const QImage image = DecodeThumbnail(bytes, box);
                return image.isNull() ? fromTemplate() : image;
            });
        });
    }
}

void CAlbumView::RunThumbnailJob(int index, std::function<QImage()> job)
{
    const int generation = m_generation;
    m_pool->start([this, generation, index, job = std::move(job)] {
        const QImage image = job();
        // Safe: the destructor waits for every job before this object goes.
        QMetaObject::invokeMethod(
            this, [this, generation, index, image] { DeliverThumbnail(generation, index, image); },
            Qt::QueuedConnection);
    });
}

void CAlbumView::DeliverThumbnail(int generation, int index, const QImage& image)
{
    if (generation != m_generation || index < 0 || index >= count())
        return;
    Entry& entry = m_entries[index];
    // The customer's photo in the template is not replaced by the template alone.
    if (entry.trial)
        return;
    entry.thumbnail = image;
    entry.failed = image.isNull();
    if (index / kPerPage == m_page || (IsTurning() && index / kPerPage == m_fromPage))
        update();
    emit ThumbnailReady(index);
}

void CAlbumView::ShowPhoto(const QString& photoPath)
{
    m_trialPath = photoPath;
    const int generation = ++m_trialGeneration;
    m_trialReading = true;
    m_trialTotal = 0;
    m_trialDone = 0;
    update();
    m_pool->start([this, generation, photoPath] {
        auto photo = std::make_shared<const TrialPhoto>(LoadTrialPhoto(photoPath, true));
        // Safe: the destructor waits for every job before this object goes.
        QMetaObject::invokeMethod(
            this, [this, generation, photo] { StartTrials(generation, photo); }, Qt::QueuedConnection);
    });
}

void CAlbumView::StartTrials(int generation, std::shared_ptr<const TrialPhoto> photo)
{
    if (generation != m_trialGeneration || !m_source)
        return;
    m_trialReading = false;
    update();
    if (!photo->usable()) {
        m_trialPath.clear();
        emit TrialProblem(photo->error);
        return;
    }
    if (!photo->faceError.isEmpty())
        emit TrialProblem(photo->faceError);
    const FramingGoal goal = ReadFramingGoal(SettingsPath());
    const QSize box = m_thumbnailBox.isValid() ? m_thumbnailBox : QSize(200, 160);
    // The page on view first, then the rest in order.
    std::vector<int> order;
    for (int i = m_page * kPerPage; i < std::min(count(), (m_page + 1) * kPerPage); ++i)
        order.push_back(i);
    for (int i = 0; i < count(); ++i) {
        if (i / kPerPage != m_page)
            order.push_back(i);
    }
    m_trialTotal = int(order.size());
    for (const int index : order) {
        const QString folder = QDir(m_source->templateRoot()).filePath(m_entries[index].info.folder);
        m_pool->start([this, generation, index, folder, photo, box, goal] {
            const TrialPicture trial = MakeTrialPicture(TemplateFolder::FromPath(folder), *photo, box, goal);
            QMetaObject::invokeMethod(
                this, [this, generation, index, image = trial.image] { DeliverTrial(generation, index, image); },
                Qt::QueuedConnection);
        });
    }
}

void CAlbumView::DeliverTrial(int generation, int index, const QImage& image)
{
    if (generation != m_trialGeneration || index < 0 || index >= count())
        return;
    ++m_trialDone;
    update(QRect(0, height() - kFooterHeight, width(), kFooterHeight));
    // A template that cannot be drawn keeps the thumbnail it had.
    if (image.isNull())
        return;
    Entry& entry = m_entries[index];
    entry.thumbnail = image;
    entry.failed = false;
    entry.trial = true;
    if (index / kPerPage == m_page || (IsTurning() && index / kPerPage == m_fromPage))
        update();
}

int CAlbumView::TrialCount() const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& entry) { return entry.trial; }));
}

void CAlbumView::FinishTurn()
{
    if (IsTurning())
        m_turn->stop();
    m_turnProgress = 1.0;
}

void CAlbumView::TurnPage(int delta)
{
    const int target = std::clamp(m_page + delta, 0, PageCount() - 1);
    if (target == m_page)
        return;
    FinishTurn();
    m_fromPage = m_page;
    m_page = target;
    // The highlight follows to the same place on the new page.
    if (m_highlight >= 0 && m_highlight / kPerPage != m_page)
        m_highlight = std::min(m_page * kPerPage + m_highlight % kPerPage, count() - 1);
    m_turnProgress = 0.0;
    m_turn->start();
    update();
}

void CAlbumView::Highlight(int index)
{
    if (index < 0 || index >= count())
        return;
    m_highlight = index;
    if (index / kPerPage != m_page)
        TurnPage(index / kPerPage - m_page);
    update();
}

void CAlbumView::Pick(int index)
{
    if (index < 0 || index >= count())
        return;
    Highlight(index);
    m_picked = index;
    update();
    emit Picked(m_entries[index].info.folder);
}

// ---- geometry

QRect CAlbumView::GridRect() const
{
    return QRect(kMargin, kMargin, width() - 2 * kMargin, height() - kMargin - kFooterHeight);
}

QRect CAlbumView::SlotRect(int slot) const
{
    const QRect grid = GridRect();
    const int column = slot % kColumns;
    const int row = slot / kColumns;
    const int left = grid.left() + grid.width() * column / kColumns;
    const int right = grid.left() + grid.width() * (column + 1) / kColumns;
    const int top = grid.top() + grid.height() * row / kRows;
    const int bottom = grid.top() + grid.height() * (row + 1) / kRows;
    return QRect(left, top, right - left, bottom - top);
}

QRect CAlbumView::CellRect(int index) const
{
    if (index < 0 || index >= count() || index / kPerPage != m_page)
        return {};
    return SlotRect(index % kPerPage);
}

QRect CAlbumView::PrevArrowRect() const
{
    const int y = height() - kFooterHeight + (kFooterHeight - kArrowSize) / 2;
    return QRect(kMargin + 8, y, kArrowSize, kArrowSize);
}

QRect CAlbumView::NextArrowRect() const
{
    const int y = height() - kFooterHeight + (kFooterHeight - kArrowSize) / 2;
    return QRect(width() - kMargin - 8 - kArrowSize, y, kArrowSize, kArrowSize);
}

int CAlbumView::IndexAt(QPoint position) const
{
    for (int slot = 0; slot < kPerPage; ++slot) {
        const int index = m_page * kPerPage + slot;
        if (index < count()
            && SlotRect(slot).adjusted(kCellPadding, kCellPadding, -kCellPadding, -kCellPadding).contains(position))
            return index;
    }
    return -1;
}

// ---- painting

void CAlbumView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QLinearGradient background(0, 0, 0, height());
    background.setColorAt(0, kBackgroundTop);
    background.setColorAt(1, kBackgroundBottom);
    painter.fillRect(rect(), background);

    if (!m_loaded || m_entries.empty()) {
        painter.setPen(kQuietText);
        painter.drawText(rect(), Qt::AlignCenter, m_loaded ? tr("没有找到模板") : tr("正在打开相册…"));
        return;
    }

    const QRect grid = GridRect();
    painter.save();
    painter.setClipRect(QRect(0, 0, width(), grid.bottom() + 1));
    if (m_turnProgress < 1.0) {
        // The old page leaves as the new one comes in from the side it lies on.
        const int direction = m_page > m_fromPage ? 1 : -1;
        const int travel = static_cast<int>(width() * m_turnProgress);
        PaintPage(painter, m_fromPage, -direction * travel);
        PaintPage(painter, m_page, direction * (width() - travel));
    } else {
        PaintPage(painter, m_page, 0);
    }
    painter.restore();
    PaintFooter(painter);
}

void CAlbumView::PaintPage(QPainter& painter, int page, int dx) const
{
    for (int slot = 0; slot < kPerPage; ++slot) {
        const int index = page * kPerPage + slot;
        if (index >= count())
            break;
        PaintCell(painter, index, SlotRect(slot).translated(dx, 0));
    }
}

void CAlbumView::PaintCell(QPainter& painter, int index, const QRect& cell) const
{
    const Entry& entry = m_entries[index];
    const QRect inner = cell.adjusted(kCellPadding, kCellPadding, -kCellPadding, -kCellPadding);
    const bool picked = index == m_picked;
    const bool highlighted = index == m_highlight && hasFocus();
    if (picked || highlighted) {
        QColor fill = kAccent;
        fill.setAlpha(picked ? 36 : 18);
        painter.setBrush(fill);
        QColor edge = kAccent;
        edge.setAlpha(picked ? 255 : 120);
        painter.setPen(QPen(edge, picked ? 2.0 : 1.2, highlighted && !picked ? Qt::DashLine : Qt::SolidLine));
        painter.drawRoundedRect(QRectF(inner).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }

    const QRect box = PictureBox(cell);
    const QSize pictureSize = entry.thumbnail.isNull() ? QSize(5, 7) : entry.thumbnail.size();
    const QRect picture = FitInto(pictureSize, box);
    const QRect mat = picture.adjusted(-kMat, -kMat, kMat, kMat);
    // A soft shadow under a white mat, like a print lying on the table.
    painter.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        painter.setBrush(QColor(0, 0, 0, 10 + 6 * (3 - i)));
        painter.drawRoundedRect(QRectF(mat).adjusted(-i + 1, -i + 2, i - 1, i + 1), 2 + i, 2 + i);
    }
    painter.setBrush(Qt::white);
    painter.drawRect(mat);
    if (!entry.thumbnail.isNull()) {
        painter.drawImage(picture, entry.thumbnail);
    } else {
        painter.fillRect(picture, kPlaceholder);
        painter.setPen(kQuietText);
        painter.drawText(picture, Qt::AlignCenter, entry.failed ? tr("无预览") : QStringLiteral("…"));
    }

    QRect caption(inner.left() + 4, inner.bottom() - kCaptionHeight + 1, inner.width() - 8, kCaptionHeight - 2);
    QFont font = painter.font();
    font.setBold(picked);
    painter.setFont(font);
    painter.setPen(picked ? kAccent : kText);
    const QString text = painter.fontMetrics().elidedText(entry.info.ShownName(), Qt::ElideMiddle, caption.width());
    painter.drawText(caption, Qt::AlignCenter, text);
    font.setBold(false);
    painter.setFont(font);
}

void CAlbumView::PaintFooter(QPainter& painter) const
{
    const int pages = PageCount();
    const QRect footer(0, height() - kFooterHeight, width(), kFooterHeight);
    painter.setPen(QPen(QColor(0, 0, 0, 22), 1));
    painter.drawLine(kMargin + 40, footer.top() + 1, width() - kMargin - 40, footer.top() + 1);
    painter.setPen(kQuietText);
    QString text = tr("第 %1 / %2 页").arg(m_page + 1).arg(pages);
    // What "用相片选版" is doing, and with which photo.
    if (m_trialReading)
        text += tr("　·　正在读取相片……");
    else if (m_trialDone < m_trialTotal)
        text += tr("　·　正在放入相片 %1 / %2").arg(m_trialDone).arg(m_trialTotal);
    else if (!m_trialPath.isEmpty() && m_trialTotal > 0)
        text += tr("　·　相片：%1").arg(QFileInfo(m_trialPath).fileName());
    painter.drawText(footer, Qt::AlignCenter, text);

    const auto drawArrow = [&painter](const QRect& area, bool enabled, int direction) {
        QColor colour = kAccent;
        colour.setAlpha(enabled ? 255 : 60);
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(enabled ? QColor(255, 255, 255, 170) : Qt::transparent);
        painter.drawEllipse(QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5));
        const QPointF c = QRectF(area).center();
        const qreal s = area.width() * 0.16;
        painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF points[3] = { QPointF(c.x() - direction * s * 0.5, c.y() - s * 1.3),
            QPointF(c.x() + direction * s * 0.6, c.y()), QPointF(c.x() - direction * s * 0.5, c.y() + s * 1.3) };
        painter.drawPolyline(points, 3);
    };
    drawArrow(PrevArrowRect(), m_page > 0, -1);
    drawArrow(NextArrowRect(), m_page < pages - 1, 1);
}

// ---- input

bool CAlbumView::HandlesKey(const QKeyEvent* event) const
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        return m_loaded && !m_entries.empty();
    case Qt::Key_Space:
        return m_highlight >= 0;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Only a new pick; Enter on the picked template belongs to the window.
        return m_highlight >= 0 && m_highlight != m_picked;
    default:
        return false;
    }
}

bool CAlbumView::event(QEvent* event)
{
    // Keys the album uses are claimed before any shortcut of the window sees them.
    if (event->type() == QEvent::ShortcutOverride && HandlesKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void CAlbumView::keyPressEvent(QKeyEvent* event)
{
    if (!HandlesKey(event)) {
        event->ignore();
        return;
    }
    const int current = std::max(m_highlight, 0);
    switch (event->key()) {
    case Qt::Key_Left:
        Highlight(current - 1);
        break;
    case Qt::Key_Right:
        Highlight(current + 1);
        break;
    case Qt::Key_Up:
        Highlight(current - kColumns);
        break;
    case Qt::Key_Down:
        // From above the last row's gap, Down lands on the last template.
        if (current / kColumns < (count() - 1) / kColumns)
            Highlight(std::min(current + kColumns, count() - 1));
        break;
    case Qt::Key_PageUp:
        TurnPage(-1);
        break;
    case Qt::Key_PageDown:
        TurnPage(1);
        break;
    case Qt::Key_Home:
        Highlight(0);
        break;
    case Qt::Key_End:
        Highlight(count() - 1);
        break;
    default: // Space, Enter
        Pick(m_highlight);
        break;
    }
    event->accept();
}

void CAlbumView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // A click during a turn counts on the page that is coming in.
    FinishTurn();
    const QPoint position = event->position().toPoint();
    if (PrevArrowRect().contains(position)) {
        TurnPage(-1);
    } else if (NextArrowRect().contains(position)) {
        TurnPage(1);
    } else if (const int index = IndexAt(position); index >= 0) {
        Pick(index);
    }
    event->accept();
}

void CAlbumView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The first click of the pair already picked; the second adds nothing.
    event->accept();
}

void CAlbumView::wheelEvent(QWheelEvent* event)
{
    m_wheelAccumulator += event->angleDelta().y();
    while (m_wheelAccumulator <= -120) {
        m_wheelAccumulator += 120;
        TurnPage(1);
    }
    while (m_wheelAccumulator >= 120) {
        m_wheelAccumulator -= 120;
        TurnPage(-1);
    }
    event->accept();
}

void CAlbumView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CAlbumView::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

} // namespace lumavo
