#include "HttpTestServer.h"

#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace lumavo::test {

namespace {

QByteArray Chunk(const QByteArray& data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

constexpr const char* kChunkedHeader = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n"
                                       "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";

} // namespace

HttpTestServer::HttpTestServer()
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool HttpTestServer::Listen()
{
    return listen(QHostAddress::LocalHost);
}

QString HttpTestServer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}

void HttpTestServer::Answer(QTcpSocket* socket)
{
    const QByteArray request = socket->readAll();
    const QByteArray path = request.split(' ').value(1);
    requested.append(path);
    if (silent.contains(path))
        return;
    if (trickling.contains(path))
        return SendTrickle(socket);
    if (const auto redirect = redirects.find(path); redirect != redirects.end()) {
        socket->write("HTTP/1.1 302 Found\r\nLocation: " + redirect->second
            + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const auto found = files.find(path);
    const QByteArray body = found != files.end() ? found->second : QByteArray("missing");
    const QByteArray status = found != files.end() ? "200 OK" : "404 Not Found";
    socket->write("HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

void HttpTestServer::SendTrickle(QTcpSocket* socket)
{
    socket->write(kChunkedHeader);
    socket->write(Chunk("<album>"));
    auto* timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [socket] { socket->write(Chunk(" ")); });
    timer->start(kTrickleMs);
}

FloodServer::FloodServer()
{
    std::atomic<bool> listening { false };
    m_thread.reset(QThread::create([this, &listening] {
        QTcpServer server;
        if (server.listen(QHostAddress::LocalHost))
            m_port = server.serverPort();
        listening = true;
        while (!m_stop && server.isListening()) {
            if (server.waitForNewConnection(20)) {
                std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
                Serve(socket.get());
            }
        }
    }));
    m_thread->start();
    while (!listening)
        QThread::msleep(1);
}

FloodServer::~FloodServer()
{
    m_stop = true;
    m_thread->wait();
}

QString FloodServer::base() const
{
    return m_port ? QStringLiteral("http://127.0.0.1:%1").arg(m_port) : QString();
}

void FloodServer::Serve(QTcpSocket* socket)
{
    while (!socket->canReadLine() && socket->waitForReadyRead(5000)) { }
    qint64 written = socket->write(kChunkedHeader);
    written += socket->write(Chunk("<album>"));
    const QByteArray chunk = Chunk(QByteArray(1024 * 1024, ' '));
    qint64 counted = 0;
    const auto count = [&] {
        const qint64 out = written - socket->bytesToWrite();
        m_sent += out - counted;
        counted = out;
    };
    // Until the client goes away; a client that only stops reading is
    // waited for a while.
    while (!m_stop && written < kLimit && socket->state() == QAbstractSocket::ConnectedState) {
        if (socket->bytesToWrite() < chunk.size())
            written += socket->write(chunk);
        if (!socket->waitForBytesWritten(2000))
            break;
        count();
    }
    count();
}

} // namespace lumavo::test
