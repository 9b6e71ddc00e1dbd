#pragma once

#include "app/AlbumServer.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace lumavo {

// The movie control of the template browser. It knows two movies by the
// end of their address: ".../ablum/loadXml2.swf" runs the template album
// and ".../ablum/mp3player.swf" the music strip; the part before "/ablum/"
// is the album server (a local folder or an http(s) address). The album
// raises FSCommand("bt", folder name) when the operator picks a template.
class CShockwaveFlash : public QWidget {
    Q_OBJECT
public:
    explicit CShockwaveFlash(QWidget* parent = nullptr);
    ~CShockwaveFlash() override;

    // Loads a movie into the control (only layer 0 is used). An address the
    // control does not know leaves it empty, without complaint.
    void LoadMovie(int32_t layer, const QString& url);
    // Starts the loaded movie.
    void Play();

    // The running movie's widget (a CAlbumView or a CMusicStrip), or null
    // when no known movie is loaded. The widget fills the control.
    QWidget* Movie() const;

signals:
    void FSCommand(const QString& command, const QString& args);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<QWidget> m_movie;
    AlbumServer m_server;
    bool m_playing = false;
};

} // namespace lumavo
