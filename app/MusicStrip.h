#pragma once

#include "app/AlbumData.h"
#include "app/AlbumServer.h"

#include <QWidget>

#include <memory>
#include <vector>

class QAudioOutput;
class QMediaPlayer;

namespace lumavo {

class CAlbumSource;

// The music strip under the album: plays the album's tracks in turn, round
// and round, with play/pause and next buttons and the track's title. Quiet
// by design: with no sound device it shows the title greyed and plays
// nothing; a track the player cannot play is skipped; when none can be
// played, the strip says "无音乐". Nothing is ever shown in a message box.
class CMusicStrip : public QWidget {
    Q_OBJECT
public:
    explicit CMusicStrip(QWidget* parent = nullptr);
    ~CMusicStrip() override;

    // Reads the album's tracks from the server and starts the first one.
    void Start(const AlbumServer& server);

    int TrackCount() const { return static_cast<int>(m_tracks.size()); }
    int CurrentTrack() const { return m_current; }
    QString CurrentTitle() const;
    // What the strip shows: the title, or "无音乐".
    QString ShownText() const;
    // The operator's choice: playing (true) or paused.
    bool WantsToPlay() const { return m_wantPlay; }

    void TogglePlay();
    void Next();

signals:
    void Loaded(int trackCount);
    void TrackChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnLoaded(const AlbumData& data);
    void PlayTrack(int index);
    void OnPlayerError();
    void AdvanceAfter(int index);
    QUrl TrackUrl(int index) const;
    QRect PlayButtonRect() const;
    QRect NextButtonRect() const;

    std::unique_ptr<CAlbumSource> m_source;
    // The output outlives the player that plays into it.
    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
    std::vector<AlbumTrack> m_tracks;
    std::vector<bool> m_failed;
    int m_current = -1;
    bool m_loaded = false;
    bool m_wantPlay = true;
    bool m_noDevice = false;
};

} // namespace lumavo
