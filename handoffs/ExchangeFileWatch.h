#pragma once

#include "handoffs/FileStamp.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

namespace lumavo {

// Watches the exchange file after it was handed to an outside program and
// tells (`Rewritten`) each time the program has written it back: the file
// differs from what was handed over and has stayed the same for a moment, so
// a program still writing is not reported half-way. Change notices from the
// file system make it prompt; a slow look at the file catches what they miss
// (a file put in place by renaming, folders the system cannot watch).
class ExchangeFileWatch : public QObject {
    Q_OBJECT
public:
    explicit ExchangeFileWatch(QObject* parent = nullptr);

    // Starts watching `path`, which holds `handedOver` (taken right after
    // writing it, before the program started, so a quick program is seen).
    void Start(const QString& path, const FileStamp& handedOver);
    void Stop();
    bool IsWatching() const { return !m_path.isEmpty(); }

    // How long the file must stay unchanged before it counts as written.
    static constexpr int kSettleMs = 300;
    static constexpr int kLookMs = 1000;

signals:
    void Rewritten();

private:
    void Noticed();
    void Look();
    void WatchPaths();

    QString m_path;
    FileStamp m_handedOver;
    FileStamp m_seen;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_look;
};

} // namespace lumavo
