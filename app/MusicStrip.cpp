#include "app/MusicStrip.h"

#include "app/AlbumSource.h"
#include "app/MoviePalette.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>

namespace lumavo {

namespace {

const QColor kStripFill = palette::kPaper;
const QColor kStripEdge(0xD8, 0xD1, 0xC6);
const QColor kText = palette::kText;
const QColor kQuietText(0xA8, 0xA0, 0x96);
const QColor kAccent = palette::kAccent;

constexpr float kVolume = 0.6f;

} // namespace

CMusicStrip::CMusicStrip(QWidget* parent)
    : QWidget(parent)
{
    // The keys belong to the album; the strip is for the mouse.
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CMusicStrip::~CMusicStrip()
{
    if (m_player) {
        m_player->disconnect(this);
        m_player->stop();
    }
}

void CMusicStrip::Start(const AlbumServer& server)
{
    if (m_source) {
        if (!m_wantPlay)
            TogglePlay();
        return;
    }
    m_source = std::make_unique<CAlbumSource>(server, QString()); // the tracks only
    connect(m_source.get(), &CAlbumSource::Loaded, this, [this](const AlbumData& data) { OnLoaded(data); });
    m_source->Start();
}

QString CMusicStrip::CurrentTitle() const
{
    return m_current >= 0 && m_current < TrackCount() ? m_tracks[m_current].title : QString();
}

QString CMusicStrip::ShownText() const
{
    if (!m_loaded)
        return QString();
    const bool anyPlayable = std::find(m_failed.begin(), m_failed.end(), false) != m_failed.end();
    if (m_tracks.empty() || !anyPlayable)
        return tr("无音乐");
    return CurrentTitle();
}

QUrl CMusicStrip::TrackUrl(int index) const
{
    return m_source->server().Url(m_tracks[index].file);
}

void CMusicStrip::OnLoaded(const AlbumData& data)
{
    m_tracks.clear();
    for (const AlbumTrack& track : data.tracks) {
        // A track the server cannot name (its address would leave the server)
        // is not offered: the player would sit on it without a word.
        if (m_source->server().Url(track.file).isValid())
            m_tracks.push_back(track);
    }
    m_failed.assign(m_tracks.size(), false);
    m_loaded = true;
    m_current = m_tracks.empty() ? -1 : 0;
    emit Loaded(TrackCount());
    if (m_tracks.empty()) {
        update();
        return;
    }
    // Without a sound device the strip still shows the music, silently.
    m_noDevice = QMediaDevices::audioOutputs().isEmpty();
    if (!m_noDevice) {
        m_output = std::make_unique<QAudioOutput>();
        m_output->setVolume(kVolume);
        m_player = std::make_unique<QMediaPlayer>();
        m_player->setAudioOutput(m_output.get());
        connect(m_player.get(), &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
            if (status == QMediaPlayer::EndOfMedia) {
                // Later, not from inside the player's own signal.
                const int ended = m_current;
                QTimer::singleShot(0, this, [this, ended] { AdvanceAfter(ended); });
            } else if (status == QMediaPlayer::InvalidMedia)
                OnPlayerError();
        });
        connect(m_player.get(), &QMediaPlayer::errorOccurred, this, [this] { OnPlayerError(); });
    }
    PlayTrack(0);
}

void CMusicStrip::PlayTrack(int index)
{
    if (index < 0 || index >= TrackCount())
        return;
    m_current = index;
    if (m_player) {
        m_player->setSource(TrackUrl(index));
        if (m_wantPlay)
            m_player->play();
    }
    update();
    emit TrackChanged(index);
}

void CMusicStrip::OnPlayerError()
{
    if (m_current < 0 || m_failed[m_current])
        return;
    m_failed[m_current] = true;
    // Later, not from inside the player's own signal.
    const int failed = m_current;
    QTimer::singleShot(0, this, [this, failed] { AdvanceAfter(failed); });
    update();
}

void CMusicStrip::AdvanceAfter(int index)
{
    for (int step = 1; step <= TrackCount(); ++step) {
        const int candidate = (index + step) % TrackCount();
        if (!m_failed[candidate]) {
            PlayTrack(candidate);
            return;
        }
    }
    // Nothing left that plays.
    if (m_player)
        m_player->stop();
    update();
}

void CMusicStrip::TogglePlay()
{
    m_wantPlay = !m_wantPlay;
    if (m_player) {
        if (m_wantPlay)
            m_player->play();
        else
            m_player->pause();
    }
    update();
}

void CMusicStrip::Next()
{
    if (TrackCount() > 0)
        AdvanceAfter(m_current);
}

QRect CMusicStrip::PlayButtonRect() const
{
    return QRect(6, 0, 22, height());
}

QRect CMusicStrip::NextButtonRect() const
{
    return QRect(30, 0, 22, height());
}

void CMusicStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().window());
    painter.setPen(QPen(kStripEdge, 1));
    painter.setBrush(kStripFill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), height() / 2.0, height() / 2.0);

    const QString text = ShownText();
    const bool sounding = m_player && !text.isEmpty() && m_current >= 0 && !m_failed[m_current];
    const bool usable = m_loaded && !m_tracks.empty();
    QColor iconColour = usable ? kAccent : kQuietText;

    // Play (or pause) and next, drawn so they match on every font.
    const QRectF play = QRectF(PlayButtonRect()).adjusted(6, 5, -6, -5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(iconColour);
    if (m_wantPlay && usable) {
        const qreal bar = play.width() * 0.34;
        painter.drawRect(QRectF(play.left(), play.top(), bar, play.height()));
        painter.drawRect(QRectF(play.right() - bar, play.top(), bar, play.height()));
    } else {
        QPainterPath triangle;
        triangle.moveTo(play.topLeft());
        triangle.lineTo(play.right(), play.center().y());
        triangle.lineTo(play.bottomLeft());
        triangle.closeSubpath();
        painter.drawPath(triangle);
    }
    const QRectF next = QRectF(NextButtonRect()).adjusted(5, 5, -5, -5);
    QPainterPath skip;
    skip.moveTo(next.topLeft());
    skip.lineTo(next.right() - 2.5, next.center().y());
    skip.lineTo(next.bottomLeft());
    skip.closeSubpath();
    painter.drawPath(skip);
    painter.drawRect(QRectF(next.right() - 2.0, next.top(), 2.0, next.height()));

    QFont font = painter.font();
    font.setPixelSize(std::max(10, height() - 8));
    painter.setFont(font);
    const QRect textArea(NextButtonRect().right() + 10, 0, width() - NextButtonRect().right() - 20, height());
    QString counter;
    if (usable && TrackCount() > 1)
        counter = QStringLiteral("%1 / %2").arg(m_current + 1).arg(TrackCount());
    const int counterWidth = counter.isEmpty() ? 0 : painter.fontMetrics().horizontalAdvance(counter) + 12;
    painter.setPen(sounding ? kText : kQuietText);
    const QRect titleArea = textArea.adjusted(0, 0, -counterWidth, 0);
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(text, Qt::ElideRight, titleArea.width()));
    if (!counter.isEmpty()) {
        painter.setPen(kQuietText);
        painter.drawText(textArea, Qt::AlignRight | Qt::AlignVCenter, counter);
    }
}

void CMusicStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPoint position = event->position().toPoint();
    if (PlayButtonRect().contains(position))
        TogglePlay();
    else if (NextButtonRect().contains(position))
        Next();
    event->accept();
}

} // namespace lumavo
