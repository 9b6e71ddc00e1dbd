// The album and the music strip behind the movie control: local and http
// album servers, picks by mouse and keyboard, page turns, the quiet player.

#include "HttpTestServer.h"
#include "TestUtils.h"
#include "app/AlbumData.h"
#include "app/AlbumThumbnail.h"
#include "app/AlbumView.h"
#include "app/MusicStrip.h"
#include "app/ShockwaveFlash.h"
#include "engine/TemplateFixtures.h"
#include "platform/CodePage.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace lumavo;

namespace {

// Holds the control the way the browser does and counts the keys that the
// album leaves to its window.
class KeyRecorder : public QWidget {
public:
    int enters = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            ++enters;
    }
};

// A program folder of our own whose setting.ini names the template root.
struct ProgramSandbox {
    test::Sandbox sandbox;
    explicit ProgramSandbox(const QString& templateRoot)
    {
        SetProgramFolderForTesting(sandbox.path());
        WriteProfileString(SettingsPath(), QLatin1String(kSettingsSection), QLatin1String(kTempPathKey), templateRoot);
    }
    ~ProgramSandbox() { SetProgramFolderForTesting(QString()); }
};

// A template whose background is `fill` and whose foreground is a frame of
// `frame` around a transparent middle.
void WriteTemplate(const QString& root, const QString& name, QSize size, QColor fill, QColor frame)
{
    const QString folder = QDir(root).filePath(name);
    QDir().mkpath(folder);
    QImage background(size, QImage::Format_RGB32);
    background.fill(fill);
    ASSERT_TRUE(background.save(folder + QStringLiteral("/bs.lmv"), "PNG"));
    const QImage foreground = test::MakeFlatFrame(size, frame,
        QRect(QPoint(0, 0), size).adjusted(size.width() / 5, size.height() / 5, -size.width() / 5, -size.height() / 5));
    ASSERT_TRUE(foreground.save(folder + QStringLiteral("/fs.lmv"), "PNG"));
}

bool WaitForAllThumbnails(CAlbumView* album, int timeoutMs = 10000)
{
    return QTest::qWaitFor(
        [album] {
            if (!album->isLoaded())
                return false;
            for (int i = 0; i < album->count(); ++i) {
                if (!album->HasThumbnail(i))
                    return false;
            }
            return true;
        },
        timeoutMs);
}

} // namespace

TEST(AlbumData, ReadsUtf8AndGbkAndDropsUnsafeEntries)
{
    const QString xml
        = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n<album>"
                         "<template folder=\"春日花语\" caption=\"春日\" thumbnail=\"ablum/thumbs/a.jpg\"/>"
                         "<template folder=\"../escape\"/><template folder=\"a/b\"/><template folder=\"春日花语\"/>"
                         "<template folder=\"plain\" thumbnail=\"../../etc/passwd\"/>"
                         "<music><track title=\"晨光\" file=\"ablum/music/a.wav\"/><track file=\"/etc/x.wav\"/>"
                         "<track file=\"ablum/music/b.mp3\"/></music></album>");
    for (const bool gbk : { false, true }) {
        const QByteArray bytes
            = gbk ? ToGbk(xml.arg(QStringLiteral("GBK"))) : xml.arg(QStringLiteral("UTF-8")).toUtf8();
        const std::optional<AlbumData> data = ParseAlbumXml(bytes);
        ASSERT_TRUE(data) << (gbk ? "GBK" : "UTF-8");
        ASSERT_EQ(data->templates.size(), 2u);
        EXPECT_EQ(data->templates[0].folder, QStringLiteral("春日花语"));
        EXPECT_EQ(data->templates[0].ShownName(), QStringLiteral("春日"));
        EXPECT_EQ(data->templates[0].thumbnail, QStringLiteral("ablum/thumbs/a.jpg"));
        EXPECT_EQ(data->templates[1].folder, QStringLiteral("plain"));
        EXPECT_TRUE(data->templates[1].thumbnail.isEmpty());
        ASSERT_EQ(data->tracks.size(), 2u);
        EXPECT_EQ(data->tracks[0].title, QStringLiteral("晨光"));
        EXPECT_EQ(data->tracks[1].title, QStringLiteral("b")); // from the file name
    }
    EXPECT_FALSE(ParseAlbumXml("<album><template folder=\"x\">"));
    EXPECT_FALSE(ParseAlbumXml("<other/>"));
    EXPECT_FALSE(ParseAlbumXml(""));
}

TEST(AlbumThumbnail, CacheFollowsAChangedTemplate)
{
    test::Sandbox root;
    WriteTemplate(root.path(), QStringLiteral("t"), QSize(300, 400), Qt::red, Qt::blue);
    const QString folder = root.File(QStringLiteral("t"));
    const QImage first = CachedTemplateThumbnail(folder, QSize(60, 80));
    ASSERT_EQ(first.size(), QSize(60, 80));
    EXPECT_EQ(first.pixelColor(30, 40), QColor(Qt::red));
    EXPECT_EQ(CachedTemplateThumbnail(folder, QSize(60, 80)).pixelColor(30, 40), QColor(Qt::red));
    WriteTemplate(root.path(), QStringLiteral("t"), QSize(310, 400), Qt::green, Qt::blue);
    EXPECT_EQ(CachedTemplateThumbnail(folder, QSize(60, 80)).pixelColor(30, 40), QColor(Qt::green));
}

#ifndef _WIN32
// A template folder named in GBK bytes (an archive from an old Chinese
// system) is in the album under its Chinese name, with its thumbnail.
TEST(AlbumData, GbkNamedFoldersAreListedWithTheirThumbnails)
{
    test::Sandbox root;
    WriteTemplate(root.path(), QStringLiteral("plain"), QSize(300, 400), Qt::green, Qt::blue);
    WriteTemplate(root.path(), QStringLiteral("spring"), QSize(300, 400), Qt::red, Qt::blue);
    ASSERT_TRUE(test::RenameToBytes(root.File(QStringLiteral("spring")), ToGbk(QStringLiteral("春日花语"))));

    const std::vector<AlbumTemplate> templates = ListTemplateFolders(root.path());
    ASSERT_EQ(templates.size(), 2u);
    EXPECT_EQ(templates[0].folder, QStringLiteral("plain"));
    EXPECT_EQ(templates[1].folder, QStringLiteral("春日花语"));
    const QImage thumbnail = CachedTemplateThumbnail(root.File(templates[1].folder), QSize(60, 80));
    ASSERT_EQ(thumbnail.size(), QSize(60, 80));
    EXPECT_EQ(thumbnail.pixelColor(30, 40), QColor(Qt::red));
    EXPECT_EQ(thumbnail.pixelColor(2, 2), QColor(Qt::blue));
}
#endif

TEST(AlbumView, SampleAlbumPicksByMouseAndKeyboard)
{
    ProgramSandbox program(QDir(test::ProgramDir()).filePath(QStringLiteral("temple")));
    KeyRecorder window;
    window.resize(800, 600);
    CShockwaveFlash control(&window);
    control.setGeometry(80, 60, 640, 460);
    QSignalSpy commands(&control, &CShockwaveFlash::FSCommand);
    control.LoadMovie(0, test::ProgramDir() + QStringLiteral("/ablum/loadXml2.swf"));
    control.Play();
    window.show();

    auto* album = qobject_cast<CAlbumView*>(control.Movie());
    ASSERT_NE(album, nullptr);
    EXPECT_EQ(album->geometry(), QRect(0, 0, 640, 460));
    ASSERT_TRUE(WaitForAllThumbnails(album));
    ASSERT_EQ(album->count(), 4);
    EXPECT_EQ(album->FolderAt(0), QStringLiteral("3R-linen-blue"));
    EXPECT_EQ(album->FolderAt(3), QStringLiteral("春日花语"));
    EXPECT_EQ(album->PageCount(), 1);
    // Made from the template itself: the landscape one comes out landscape.
    EXPECT_GT(album->Thumbnail(2).width(), album->Thumbnail(2).height());
    EXPECT_LT(album->Thumbnail(3).width(), album->Thumbnail(3).height());

    // A click picks exactly once, a double click adds nothing.
    QTest::mouseClick(album, Qt::LeftButton, Qt::NoModifier, album->CellRect(3).center());
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0][0].toString(), QStringLiteral("bt"));
    EXPECT_EQ(commands[0][1].toString(), QStringLiteral("春日花语"));
    // A double click arrives as a click followed by a double-click event.
    const QPointF at = album->CellRect(0).center();
    QTest::mouseClick(album, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    QMouseEvent doubleClick(
        QEvent::MouseButtonDblClick, at, album->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(album, &doubleClick);
    EXPECT_EQ(commands.size(), 2);
    EXPECT_EQ(album->PickedFolder(), QStringLiteral("3R-linen-blue"));
    // A right click does nothing.
    QTest::mouseClick(album, Qt::RightButton, Qt::NoModifier, album->CellRect(1).center());
    EXPECT_EQ(commands.size(), 2);

    // Keyboard: Right Right then Enter picks the landscape template; the
    // window does not see that Enter, but it sees the next one.
    album->setFocus();
    QTest::keyClick(album, Qt::Key_Right);
    QTest::keyClick(album, Qt::Key_Right);
    QTest::keyClick(album, Qt::Key_Return);
    ASSERT_EQ(commands.size(), 3);
    EXPECT_EQ(commands[2][1].toString(), QStringLiteral("6R-sage-landscape"));
    EXPECT_EQ(window.enters, 0);
    QTest::keyClick(album, Qt::Key_Return);
    EXPECT_EQ(commands.size(), 3);
    EXPECT_EQ(window.enters, 1);
    // Down from the top row lands on the fourth; Space picks it.
    QTest::keyClick(album, Qt::Key_Left);
    QTest::keyClick(album, Qt::Key_Left);
    QTest::keyClick(album, Qt::Key_Down);
    QTest::keyClick(album, Qt::Key_Space);
    ASSERT_EQ(commands.size(), 4);
    EXPECT_EQ(commands[3][1].toString(), QStringLiteral("春日花语"));
}

TEST(AlbumView, ManyTemplatesTurnPagesAndMakeThumbnailsFromBothLayers)
{
    test::Sandbox server; // a local server without album.xml
    const QString root = server.File(QStringLiteral("temple"));
    for (int i = 1; i <= 14; ++i) {
        // Names sort by number value: 2 before 10.
        WriteTemplate(root, QStringLiteral("模板%1").arg(i), QSize(300, 400), Qt::red, Qt::blue);
    }
    QDir().mkpath(root + QStringLiteral("/no-background")); // not a template
    ProgramSandbox program(root);

    CShockwaveFlash control;
    control.resize(640, 460);
    QSignalSpy commands(&control, &CShockwaveFlash::FSCommand);
    control.LoadMovie(0, QUrl::fromLocalFile(server.path()).toString() + QStringLiteral("/ablum/loadXml2.swf"));
    control.Play();
    control.show();
    auto* album = qobject_cast<CAlbumView*>(control.Movie());
    ASSERT_NE(album, nullptr);
    ASSERT_TRUE(WaitForAllThumbnails(album));
    ASSERT_EQ(album->count(), 14);
    EXPECT_EQ(album->FolderAt(1), QStringLiteral("模板2"));
    EXPECT_EQ(album->FolderAt(9), QStringLiteral("模板10"));
    EXPECT_EQ(album->PageCount(), 3);

    // The thumbnail shows the background through the foreground's opening.
    const QImage thumbnail = MakeTemplateThumbnail(QDir(root).filePath(QStringLiteral("模板1")), QSize(90, 90));
    ASSERT_EQ(thumbnail.size(), QSize(67, 90));
    EXPECT_EQ(thumbnail.pixelColor(33, 45), QColor(Qt::red));
    EXPECT_EQ(thumbnail.pixelColor(2, 2), QColor(Qt::blue));

    const auto waitTurned = [album] { return QTest::qWaitFor([album] { return !album->IsTurning(); }, 2000); };
    album->setFocus();
    QTest::keyClick(album, Qt::Key_PageDown);
    EXPECT_EQ(album->CurrentPage(), 1);
    EXPECT_TRUE(album->IsTurning());
    ASSERT_TRUE(waitTurned());
    EXPECT_EQ(album->Highlighted(), 6);
    QWheelEvent wheel(QPointF(300, 200), QPointF(300, 200), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(album, &wheel);
    EXPECT_EQ(album->CurrentPage(), 2);
    ASSERT_TRUE(waitTurned());
    QTest::keyClick(album, Qt::Key_PageDown); // already on the last page
    EXPECT_EQ(album->CurrentPage(), 2);
    EXPECT_FALSE(album->IsTurning());
    // Left from the first of a page goes back to the last of the page before.
    album->Highlight(12);
    QTest::keyClick(album, Qt::Key_Left);
    EXPECT_EQ(album->Highlighted(), 11);
    EXPECT_EQ(album->CurrentPage(), 1);
    // A click during the turn counts on the incoming page.
    QTest::mouseClick(album, Qt::LeftButton, Qt::NoModifier, album->CellRect(7).center());
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0][1].toString(), QStringLiteral("模板8"));
}

TEST(AlbumView, HttpServerFeedsTheAlbumWithoutBlocking)
{
    test::Sandbox local;
    const QString root = local.File(QStringLiteral("temple"));
    WriteTemplate(root, QStringLiteral("远程二"), QSize(200, 300), Qt::yellow, Qt::darkGreen);
    ProgramSandbox program(root);

    test::HttpTestServer http;
    ASSERT_TRUE(http.Listen());
    QImage green(40, 30, QImage::Format_RGB32);
    green.fill(Qt::green);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    green.save(&buffer, "PNG");
    http.files["/kiosk/ablum/thumbs/a.png"] = png;
    http.files["/kiosk/ablum/album.xml"] = QStringLiteral(
        "<album><template folder=\"远程一\" caption=\"远程 一\" thumbnail=\"ablum/thumbs/a.png\"/>"
        "<template folder=\"远程二\"/><template folder=\"远程三\" thumbnail=\"ablum/thumbs/none.png\"/>"
        "<music><track title=\"曲\" file=\"ablum/music/t.wav\"/></music></album>")
                                               .toUtf8();

    CShockwaveFlash control;
    control.resize(640, 460);
    QSignalSpy commands(&control, &CShockwaveFlash::FSCommand);
    control.LoadMovie(0, http.base() + QStringLiteral("/kiosk/ablum/loadXml2.swf"));
    control.Play();
    auto* album = qobject_cast<CAlbumView*>(control.Movie());
    ASSERT_NE(album, nullptr);
    EXPECT_FALSE(album->isLoaded()); // Play returned before the server answered
    control.show();
    ASSERT_TRUE(QTest::qWaitFor([album] { return album->isLoaded(); }, 10000));
    ASSERT_EQ(album->count(), 3);
    // From the server; made from the local template; neither (a placeholder).
    ASSERT_TRUE(QTest::qWaitFor([album] { return album->HasThumbnail(0) && album->HasThumbnail(1); }, 10000));
    const QImage first = album->grab(album->CellRect(0)).toImage();
    EXPECT_EQ(first.pixelColor(first.width() / 2, first.height() / 2 - 10), QColor(Qt::green));
    EXPECT_TRUE(http.requested.contains("/kiosk/ablum/thumbs/none.png"));
    QTest::qWait(50);
    EXPECT_FALSE(album->HasThumbnail(2));
    QTest::mouseClick(album, Qt::LeftButton, Qt::NoModifier, album->CellRect(0).center());
    ASSERT_EQ(commands.size(), 1);
    EXPECT_EQ(commands[0][1].toString(), QStringLiteral("远程一"));

    // A server without album.xml: the local templates are offered instead.
    CShockwaveFlash fallback;
    fallback.LoadMovie(0, http.base() + QStringLiteral("/elsewhere/ablum/loadXml2.swf"));
    fallback.Play();
    auto* local_album = qobject_cast<CAlbumView*>(fallback.Movie());
    ASSERT_TRUE(QTest::qWaitFor([local_album] { return local_album->isLoaded(); }, 10000));
    ASSERT_EQ(local_album->count(), 1);
    EXPECT_EQ(local_album->FolderAt(0), QStringLiteral("远程二"));
}

TEST(AlbumServer, RemotePathsStayBelowTheServer)
{
    const AlbumServer server = AlbumServer::FromText(QStringLiteral("http://127.0.0.1:1/kiosk"));
    EXPECT_EQ(
        server.Url(QStringLiteral("ablum/a%20b.png")), QUrl(QStringLiteral("http://127.0.0.1:1/kiosk/ablum/a b.png")));
    // Dots hidden from the plain-path check by percent-encoding are dots all the same.
    for (const char* path : { "../x.png", "%2e%2e/x.png", "ablum/%2E%2E/%2e%2e/x.png", "/x.png", "http://other/x" })
        EXPECT_FALSE(server.Url(QString::fromLatin1(path)).isValid()) << path;

    // A track the server cannot name is not offered to the player.
    test::HttpTestServer http;
    ASSERT_TRUE(http.Listen());
    http.files["/kiosk/ablum/album.xml"] = "<album><music><track file=\"%2e%2e/%2e%2e/secret.wav\"/>"
                                           "<track title=\"t\" file=\"ablum/music/t.wav\"/></music></album>";
    CMusicStrip strip;
    QSignalSpy loaded(&strip, &CMusicStrip::Loaded);
    strip.Start(AlbumServer::FromText(http.base() + QStringLiteral("/kiosk")));
    ASSERT_TRUE(loaded.wait(10000));
    ASSERT_EQ(strip.TrackCount(), 1);
    EXPECT_EQ(strip.CurrentTitle(), QStringLiteral("t"));
}

TEST(AlbumView, ClosingMidwayIsHarmless)
{
    test::Sandbox local;
    const QString root = local.File(QStringLiteral("temple"));
    for (int i = 1; i <= 8; ++i)
        WriteTemplate(root, QStringLiteral("t%1").arg(i), QSize(1200, 1600), Qt::red, Qt::blue);
    ProgramSandbox program(root);
    test::HttpTestServer http;
    ASSERT_TRUE(http.Listen());

    // Closed while thumbnails are being made and their requests are still
    // unanswered: nothing waits for the server, nothing arrives afterwards.
    QByteArray xml = "<album>";
    for (int i = 1; i <= 8; ++i) {
        xml += "<template folder=\"t" + QByteArray::number(i) + "\"" + (i % 2 ? " thumbnail=\"ablum/slow.png\"" : "")
            + "/>";
    }
    http.files["/slow/ablum/album.xml"] = xml + "</album>";
    http.silent.insert("/slow/ablum/slow.png");
    for (int round = 0; round < 3; ++round) {
        auto control = std::make_unique<CShockwaveFlash>();
        control->resize(640, 460);
        control->LoadMovie(0, http.base() + QStringLiteral("/slow/ablum/loadXml2.swf"));
        control->Play();
        QPointer<CAlbumView> album = qobject_cast<CAlbumView*>(control->Movie());
        ASSERT_TRUE(QTest::qWaitFor([album] { return album->isLoaded(); }, 10000));
        ASSERT_EQ(album->count(), 8);
        EXPECT_TRUE(QTest::qWaitFor([&http] { return http.requested.count("/slow/ablum/slow.png") > 0; }, 5000));
        QTest::qWait(round * 20);
        QElapsedTimer clock;
        clock.start();
        control.reset();
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_TRUE(album.isNull());
        QTest::qWait(50); // anything still queued for the album would land here
    }
}

TEST(ShockwaveFlash, UnknownMovieLeavesAnEmptyControl)
{
    CShockwaveFlash control;
    control.resize(640, 460);
    QSignalSpy commands(&control, &CShockwaveFlash::FSCommand);
    control.LoadMovie(0, test::ProgramDir() + QStringLiteral("/ablum/loadXml2.swf"));
    ASSERT_NE(control.Movie(), nullptr);
    control.LoadMovie(0, test::ProgramDir() + QStringLiteral("/ablum/other.swf"));
    EXPECT_EQ(control.Movie(), nullptr);
    control.Play();
    control.LoadMovie(0, QStringLiteral("http://127.0.0.1:1/loadXml2.swf"));
    control.Play();
    EXPECT_EQ(control.Movie(), nullptr);
    EXPECT_TRUE(control.findChildren<QWidget*>().isEmpty());
    QTest::mouseClick(&control, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(commands.size(), 0);
}

TEST(MusicStrip, PlaysTheSampleTrackOrStaysQuiet)
{
    ProgramSandbox program(QDir(test::ProgramDir()).filePath(QStringLiteral("temple")));
    CShockwaveFlash control;
    control.setGeometry(80, 520, 640, 20);
    control.LoadMovie(0, test::ProgramDir() + QStringLiteral("/ablum/mp3player.swf"));
    control.Play();
    control.show();
    auto* strip = qobject_cast<CMusicStrip*>(control.Movie());
    ASSERT_NE(strip, nullptr);
    QSignalSpy loaded(strip, &CMusicStrip::Loaded);
    ASSERT_TRUE(loaded.wait(5000));
    ASSERT_EQ(strip->TrackCount(), 1);
    EXPECT_EQ(strip->ShownText(), QStringLiteral("晨光小调"));
    EXPECT_TRUE(strip->WantsToPlay());
    // The buttons work whether or not there is a sound device.
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, QPoint(16, 10));
    EXPECT_FALSE(strip->WantsToPlay());
    QTest::mouseClick(strip, Qt::LeftButton, Qt::NoModifier, QPoint(40, 10));
    EXPECT_EQ(strip->CurrentTrack(), 0); // one track goes round to itself
    control.Play(); // plays again after the pause
    EXPECT_TRUE(strip->WantsToPlay());
    QTest::qWait(300);
    EXPECT_FALSE(strip->grab().toImage().isNull());

    // A server with no music says so.
    test::Sandbox empty;
    CShockwaveFlash silent;
    silent.LoadMovie(0, empty.path() + QStringLiteral("/ablum/mp3player.swf"));
    silent.Play();
    auto* none = qobject_cast<CMusicStrip*>(silent.Movie());
    ASSERT_TRUE(QSignalSpy(none, &CMusicStrip::Loaded).wait(5000));
    EXPECT_EQ(none->TrackCount(), 0);
    EXPECT_EQ(none->ShownText(), QStringLiteral("无音乐"));
}
