// The album against servers that misbehave: answers without end, servers
// that trickle, redirects that leave the album server or go round in circles,
// and a local album file that is no file.

#include "HttpTestServer.h"
#include "TestUtils.h"
#include "app/AlbumSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

using namespace lumavo;

namespace {

// A template root with two templates of its own, the fallback's list.
struct LocalTemplates {
    test::Sandbox sandbox;
    LocalTemplates()
    {
        QImage background(8, 8, QImage::Format_RGB32);
        background.fill(Qt::white);
        for (const QString& name : { QStringLiteral("本地一"), QStringLiteral("本地二") }) {
            QDir().mkpath(sandbox.File(name));
            background.save(sandbox.File(name + QStringLiteral("/bs.lmv")), "PNG");
        }
    }
    QString root() const { return sandbox.path(); }
};

struct LoadResult {
    bool loaded = false;
    bool fromServer = false;
    QStringList folders;
    qint64 elapsedMs = 0;
};

// Reads the album from `server` as the album view does and waits for it.
LoadResult LoadAlbum(const QString& server, const QString& templateRoot, int timeoutMs = 10000)
{
    CAlbumSource source(AlbumServer::FromText(server), templateRoot);
    LoadResult result;
    QObject::connect(&source, &CAlbumSource::Loaded, [&result](const AlbumData& data, bool fromServer) {
        result.loaded = true;
        result.fromServer = fromServer;
        for (const AlbumTemplate& entry : data.templates)
            result.folders.append(entry.folder);
    });
    QElapsedTimer clock;
    clock.start();
    source.Start();
    (void)QTest::qWaitFor([&result] { return result.loaded; }, timeoutMs);
    result.elapsedMs = clock.elapsed();
    return result;
}

const QStringList kLocalFolders = { QStringLiteral("本地一"), QStringLiteral("本地二") };

// What the loopback sockets may hold beyond what the client has taken: the
// kernel grows a receive buffer up to 32 MB (Debian's tcp_rmem maximum).
constexpr qint64 kSocketSlack = 40 * 1024 * 1024;

} // namespace

TEST(AlbumSource, AnswersWithoutEndCostNoMoreThanTheCap)
{
    LocalTemplates local;
    test::FloodServer flood;
    ASSERT_FALSE(flood.base().isEmpty());
    const LoadResult result = LoadAlbum(flood.base() + QStringLiteral("/endless"), local.root(), 30000);
    ASSERT_TRUE(result.loaded);
    EXPECT_FALSE(result.fromServer);
    EXPECT_EQ(result.folders, kLocalFolders);
    EXPECT_LT(flood.sent(), CAlbumSource::kMaxAlbumDataBytes + kSocketSlack);

    // Any other file of the album has a cap of its own.
    const qint64 before = flood.sent();
    CAlbumSource source(AlbumServer::FromText(flood.base() + QStringLiteral("/endless")), local.root());
    bool answered = false;
    bool ok = true;
    QByteArray bytes = "untouched";
    source.Fetch(QStringLiteral("ablum/thumbs/a.png"), [&](const QByteArray& got, bool gotOk) {
        answered = true;
        bytes = got;
        ok = gotOk;
    });
    ASSERT_TRUE(QTest::qWaitFor([&answered] { return answered; }, 30000));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_LT(flood.sent() - before, CAlbumSource::kMaxTransferBytes + kSocketSlack);
}

TEST(AlbumSource, TricklingServerGivesWayToTheLocalTemplates)
{
    LocalTemplates local;
    test::HttpTestServer http;
    ASSERT_TRUE(http.Listen());
    http.trickling.insert("/slow/ablum/album.xml");
    constexpr int kDeadlineMs = 800;
    CAlbumSource::SetDeadlineForTesting(kDeadlineMs);
    const LoadResult result = LoadAlbum(http.base() + QStringLiteral("/slow"), local.root(), 8000);
    CAlbumSource::SetDeadlineForTesting(0);
    ASSERT_TRUE(result.loaded);
    EXPECT_FALSE(result.fromServer);
    EXPECT_EQ(result.folders, kLocalFolders);
    // The server kept sending all along: the deadline counts the whole request.
    EXPECT_GE(result.elapsedMs, kDeadlineMs - 50);
    EXPECT_LT(result.elapsedMs, kDeadlineMs + 3000);
}

TEST(AlbumSource, RedirectsStayOnTheServerAndEnd)
{
    LocalTemplates local;
    test::HttpTestServer http;
    ASSERT_TRUE(http.Listen());
    const QByteArray album = "<album><template folder=\"远程\"/></album>";

    // Within the server, relative or absolute: followed.
    http.redirects["/kiosk/ablum/album.xml"] = "moved.xml";
    http.redirects["/kiosk/ablum/moved.xml"] = http.base().toLatin1() + "/kiosk/ablum/new/album.xml";
    http.files["/kiosk/ablum/new/album.xml"] = album;
    const LoadResult moved = LoadAlbum(http.base() + QStringLiteral("/kiosk"), local.root());
    ASSERT_TRUE(moved.loaded);
    EXPECT_TRUE(moved.fromServer);
    EXPECT_EQ(moved.folders, QStringList { QStringLiteral("远程") });

    // Out of the server's folder, or to another host name for the same
    // machine: not followed, the local templates instead.
    http.files["/elsewhere/ablum/album.xml"] = album;
    http.redirects["/out/ablum/album.xml"] = "/elsewhere/ablum/album.xml";
    http.redirects["/host/ablum/album.xml"]
        = QStringLiteral("http://localhost:%1/host/ablum/new.xml").arg(http.serverPort()).toLatin1();
    http.files["/host/ablum/new.xml"] = album;
    for (const char* server : { "/out", "/host" }) {
        const LoadResult out = LoadAlbum(http.base() + QLatin1String(server), local.root());
        ASSERT_TRUE(out.loaded) << server;
        EXPECT_FALSE(out.fromServer) << server;
        EXPECT_EQ(out.folders, kLocalFolders) << server;
    }
    EXPECT_FALSE(http.requested.contains("/elsewhere/ablum/album.xml"));
    EXPECT_FALSE(http.requested.contains("/host/ablum/new.xml"));

    // Round in circles: given up after a few turns.
    http.redirects["/loop/ablum/album.xml"] = "/loop/ablum/again.xml";
    http.redirects["/loop/ablum/again.xml"] = "/loop/ablum/album.xml";
    const LoadResult loop = LoadAlbum(http.base() + QStringLiteral("/loop"), local.root());
    ASSERT_TRUE(loop.loaded);
    EXPECT_FALSE(loop.fromServer);
    EXPECT_EQ(loop.folders, kLocalFolders);
    const qsizetype turns
        = http.requested.count("/loop/ablum/album.xml") + http.requested.count("/loop/ablum/again.xml");
    EXPECT_GE(turns, 2);
    EXPECT_LE(turns, 6);
}

TEST(AlbumSource, LocalAlbumFileThatIsNoFileFallsBack)
{
    LocalTemplates local;
    test::Sandbox server;
    ASSERT_TRUE(QDir().mkpath(server.File(QStringLiteral("ablum"))));
    // A device that never ends; then one byte past the cap.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), server.File(QStringLiteral("ablum/album.xml"))));
    const LoadResult device = LoadAlbum(server.path(), local.root());
    ASSERT_TRUE(device.loaded);
    EXPECT_FALSE(device.fromServer);
    EXPECT_EQ(device.folders, kLocalFolders);

    ASSERT_TRUE(QFile::remove(server.File(QStringLiteral("ablum/album.xml"))));
    QByteArray tooLong = "<album><template folder=\"远程\"/>";
    tooLong += QByteArray(CAlbumSource::kMaxAlbumDataBytes - tooLong.size() - 7, ' ') + "</album>";
    ASSERT_TRUE(test::WriteFile(server.File(QStringLiteral("ablum/album.xml")), tooLong));
    EXPECT_FALSE(LoadAlbum(server.path(), local.root()).fromServer);
    tooLong.remove(tooLong.size() - 9, 1); // exactly at the cap: still read
    ASSERT_TRUE(test::WriteFile(server.File(QStringLiteral("ablum/album.xml")), tooLong));
    EXPECT_TRUE(LoadAlbum(server.path(), local.root()).fromServer);
}
