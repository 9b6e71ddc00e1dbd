#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QTcpServer>

#include <atomic>
#include <map>
#include <memory>

class QTcpSocket;
class QThread;

namespace lumavo::test {

// A tiny http server on the loopback interface that answers GET requests
// from tables of paths; other paths get 404. It also plays the servers an
// album must survive: silent, trickling and redirecting ones.
class HttpTestServer : public QTcpServer {
public:
    HttpTestServer();

    // Listens on a free loopback port; false when none could be had.
    bool Listen();
    QString base() const;

    std::map<QByteArray, QByteArray> files;
    // Paths that are never answered.
    QSet<QByteArray> silent;
    // Paths answered with a chunked body of one byte every kTrickleMs.
    QSet<QByteArray> trickling;
    static constexpr int kTrickleMs = 50;
    // Paths answered with "302 Found" and this Location.
    std::map<QByteArray, QByteArray> redirects;

    QList<QByteArray> requested;

private:
    void Answer(QTcpSocket* socket);
    void SendTrickle(QTcpSocket* socket);
};

// A server on a thread of its own that answers every request with a chunked
// body without end, sent as fast as the network takes it (up to kLimit), so
// a client's event loop does not pace it.
class FloodServer {
public:
    FloodServer();
    ~FloodServer();
    FloodServer(const FloodServer&) = delete;
    FloodServer& operator=(const FloodServer&) = delete;

    // Empty when no port could be had.
    QString base() const;
    // Bytes got out to clients so far.
    qint64 sent() const { return m_sent; }

    static constexpr qint64 kLimit = 1024 * 1024 * 1024;

private:
    void Serve(QTcpSocket* socket);

    std::unique_ptr<QThread> m_thread;
    std::atomic<quint16> m_port { 0 };
    std::atomic<bool> m_stop { false };
    std::atomic<qint64> m_sent { 0 };
};

} // namespace lumavo::test
