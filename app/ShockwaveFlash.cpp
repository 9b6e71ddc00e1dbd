#include "app/ShockwaveFlash.h"

#include "app/AlbumData.h"
#include "app/AlbumView.h"
#include "app/MusicStrip.h"
#include "app/Startup.h"

namespace lumavo {

CShockwaveFlash::CShockwaveFlash(QWidget* parent)
    : QWidget(parent)
{
}

CShockwaveFlash::~CShockwaveFlash() = default;

void CShockwaveFlash::LoadMovie(int32_t layer, const QString& url)
{
    if (layer != 0)
        return;
    // A new movie replaces the old one, as with the original control.
    m_movie.reset();
    m_playing = false;
    const MovieAddress address = ParseMovieAddress(url);
    switch (address.kind) {
    case MovieKind::Album: {
        auto album = std::make_unique<CAlbumView>(this);
        connect(album.get(), &CAlbumView::Picked, this,
            [this](const QString& folder) { emit FSCommand(QStringLiteral("bt"), folder); });
        // The control passes its keyboard focus on to the album.
        setFocusProxy(album.get());
        setFocusPolicy(Qt::StrongFocus);
        m_movie = std::move(album);
        break;
    }
    case MovieKind::MusicPlayer:
        m_movie = std::make_unique<CMusicStrip>(this);
        setFocusProxy(nullptr);
        setFocusPolicy(Qt::NoFocus);
        break;
    case MovieKind::None:
        setFocusProxy(nullptr);
        return;
    }
    m_server = address.server;
    m_movie->setGeometry(rect());
    m_movie->show();
}

void CShockwaveFlash::Play()
{
    if (!m_movie)
        return;
    if (auto* album = qobject_cast<CAlbumView*>(m_movie.get())) {
        if (!m_playing)
            album->Start(m_server, TemplateRoot());
    } else if (auto* strip = qobject_cast<CMusicStrip*>(m_movie.get())) {
        strip->Start(m_server);
    }
    m_playing = true;
}

QWidget* CShockwaveFlash::Movie() const
{
    return m_movie.get();
}

void CShockwaveFlash::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_movie)
        m_movie->setGeometry(rect());
}

} // namespace lumavo
