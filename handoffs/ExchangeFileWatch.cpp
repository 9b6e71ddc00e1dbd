#include "handoffs/ExchangeFileWatch.h"

#include <QFileInfo>

namespace lumavo {

ExchangeFileWatch::ExchangeFileWatch(QObject* parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    m_look.setInterval(kLookMs);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &ExchangeFileWatch::Noticed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ExchangeFileWatch::Noticed);
    connect(&m_settle, &QTimer::timeout, this, &ExchangeFileWatch::Look);
    connect(&m_look, &QTimer::timeout, this, &ExchangeFileWatch::Look);
}

void ExchangeFileWatch::Start(const QString& path, const FileStamp& handedOver)
{
    Stop();
    m_path = path;
    m_handedOver = handedOver;
    m_seen = handedOver;
    WatchPaths();
    m_look.start();
    // The program may have been quicker than this call.
    Look();
}

void ExchangeFileWatch::Stop()
{
    m_path.clear();
    m_settle.stop();
    m_look.stop();
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
}

void ExchangeFileWatch::WatchPaths()
{
    // The folder tells when a new file takes the old one's place; the file
    // itself, when it is written in place. A replaced file drops out of the
    // watch and is added again here.
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (!m_watcher.files().contains(m_path) && QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
}

void ExchangeFileWatch::Noticed()
{
    if (!IsWatching())
        return;
    WatchPaths();
    m_seen = FileStamp::Of(m_path);
    m_settle.start();
}

void ExchangeFileWatch::Look()
{
    if (!IsWatching())
        return;
    const FileStamp now = FileStamp::Of(m_path);
    if (now != m_seen) {
        // Still being written (or just noticed by the slow look): wait until it rests.
        m_seen = now;
        WatchPaths();
        m_settle.start();
        return;
    }
    if (m_settle.isActive() || !now.Exists() || now == m_handedOver)
        return;
    m_handedOver = now;
    emit Rewritten();
}

} // namespace lumavo
