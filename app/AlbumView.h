#pragma once

#include "app/AlbumData.h"
#include "app/AlbumServer.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QThreadPool;
class QVariantAnimation;

namespace lumavo {

class CAlbumSource;
struct TrialPhoto;

// The template album: pages of thumbnails (3 x 2) that turn with a slide.
//
// Keys: Left/Right move the highlight (across pages), Up/Down by a row (Down
// into the last row's gap lands on the last template),
// PageUp/PageDown turn a page, Home/End go to the first/last template, Space
// picks the highlighted template. Enter picks it too, unless it is already
// the picked one: then Enter is left to the window around the album (the
// browser opens the picked template), so Enter, Enter picks and opens.
// Mouse: a click picks, the wheel and the arrows at the bottom turn pages.
// A pick raises Picked with the template's folder name.
class CAlbumView : public QWidget {
    Q_OBJECT
public:
    explicit CAlbumView(QWidget* parent = nullptr);
    ~CAlbumView() override;

    // Reads the album from the server; thumbnails follow as they are made.
    void Start(const AlbumServer& server, const QString& templateRoot);

    static constexpr int kColumns = 3;
    static constexpr int kRows = 2;
    static constexpr int kPerPage = kColumns * kRows;
    static constexpr int kTurnMs = 320;

    bool isLoaded() const { return m_loaded; }
    int count() const { return static_cast<int>(m_entries.size()); }
    QString FolderAt(int index) const;
    bool HasThumbnail(int index) const;
    // The thumbnail as made (null until it is ready or when it failed).
    QImage Thumbnail(int index) const;
    int PageCount() const;
    int CurrentPage() const { return m_page; }
    int Highlighted() const { return m_highlight; }
    QString PickedFolder() const;
    bool IsTurning() const;
    // Where a template's thumbnail sits while its page is shown; empty for
    // templates on other pages.
    QRect CellRect(int index) const;

    // Turns by whole pages (animated); stops at the first and last page.
    void TurnPage(int delta);
    // Moves the highlight, turning to its page when needed.
    void Highlight(int index);
    // Highlights and picks a template: raises Picked.
    void Pick(int index);

    // Shows the customer's photo in every template: the photo is read and
    // its faces looked for once, then each thumbnail is replaced by the
    // template with the photo set in (framed on the faces where found, else
    // the whole-photo fit) as it is made, the shown page first, all off the
    // user-interface thread. TrialProblem when the photo cannot be used.
    void ShowPhoto(const QString& photoPath);
    QString TrialPhotoPath() const { return m_trialPath; }
    // Thumbnails that show the photo now.
    int TrialCount() const;

signals:
    void Picked(const QString& folder);
    // The album's list is in (count may be 0).
    void Loaded(int count);
    void ThumbnailReady(int index);
    // The photo cannot be used (message), or faces could not be looked for
    // (message, the thumbnails come all the same).
    void TrialProblem(const QString& message);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Entry {
        AlbumTemplate info;
        QImage thumbnail;
        bool failed = false;
        bool trial = false; // the thumbnail shows the customer's photo
    };

    void OnLoaded(const AlbumData& data);
    void RequestThumbnail(int index, QSize box);
    void RunThumbnailJob(int index, std::function<QImage()> job);
    void DeliverThumbnail(int generation, int index, const QImage& image);
    void StartTrials(int generation, std::shared_ptr<const TrialPhoto> photo);
    void DeliverTrial(int generation, int index, const QImage& image);
    void FinishTurn();
    bool HandlesKey(const QKeyEvent* event) const;

    QRect GridRect() const;
    QRect SlotRect(int slot) const;
    QRect PrevArrowRect() const;
    QRect NextArrowRect() const;
    int IndexAt(QPoint position) const;
    void PaintPage(QPainter& painter, int page, int dx) const;
    void PaintCell(QPainter& painter, int index, const QRect& cell) const;
    void PaintFooter(QPainter& painter) const;

    std::unique_ptr<CAlbumSource> m_source;
    std::unique_ptr<QThreadPool> m_pool;
    std::unique_ptr<QVariantAnimation> m_turn;
    std::vector<Entry> m_entries;
    bool m_loaded = false;
    int m_generation = 0;
    int m_page = 0;
    int m_fromPage = 0;
    qreal m_turnProgress = 1.0;
    int m_highlight = -1;
    int m_picked = -1;
    int m_wheelAccumulator = 0;
    QString m_trialPath;
    int m_trialGeneration = 0;
    bool m_trialReading = false; // the photo is being read and searched
    int m_trialTotal = 0; // thumbnails being made with the photo
    int m_trialDone = 0;
    QSize m_thumbnailBox;
};

} // namespace lumavo
