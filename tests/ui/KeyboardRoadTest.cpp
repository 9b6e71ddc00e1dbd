// The operator's whole road by keys alone, through the real program on a
// bare X server (no window manager, as kiosks run), driven with xdotool.

#include "TestUtils.h"
#include "engine/CameraPortrait.h"
#include "faces/FaceFinder.h"
#include "templates/TemplateFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace lumavo {
namespace {

// Generous: a loaded two-core machine, maybe a sanitizer build.
constexpr int kWaitMs = 60000;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

// An Xvfb of 800 x 600 on a display number it picks itself.
class BareXServer {
public:
    bool Start()
    {
        m_process.setProgram(QStringLiteral("Xvfb"));
        m_process.setArguments(
            { "-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset", "-nocursor" });
        m_process.start();
        if (!m_process.waitForStarted(kWaitMs))
            return false;
        // The display number comes on standard output once the server listens.
        const bool listening = WaitUntil([this] {
            m_process.waitForReadyRead(100);
            m_output += m_process.readAllStandardOutput();
            return m_output.contains('\n') || m_process.state() != QProcess::Running;
        });
        if (!listening || m_process.state() != QProcess::Running)
            return false;
        display = QStringLiteral(":") + QString::fromLatin1(m_output.trimmed());
        return true;
    }
    ~BareXServer()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    QString display;

private:
    QProcess m_process;
    QByteArray m_output;
};

// Keys and window look-ups on one X display, through xdotool.
class XdoDriver {
public:
    explicit XdoDriver(const QString& display = QString())
        : m_display(display)
    {
    }

    // Runs xdotool; its standard output, trimmed; null when it failed.
    QString Xdo(const QStringList& arguments, int timeoutMs = 20000) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral("xdotool"), arguments);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(5000);
            return QString();
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return QString();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    void Keys(const QStringList& keys) const { Xdo(QStringList { "key", "--delay", "60" } + keys); }
    void Type(const QString& text) const { Xdo({ "type", "--delay", "15", text }); }

    // The visible windows whose title matches a pattern, lowest first.
    QStringList Windows(const QString& pattern) const
    {
        const QString found = Xdo({ "search", "--onlyvisible", "--name", pattern }, 10000);
        return found.isEmpty() ? QStringList() : found.split(u'\n');
    }
    QString WaitForWindow(const QString& pattern) const
    {
        QString id;
        WaitUntil([&] {
            const QStringList found = Windows(pattern);
            id = found.isEmpty() ? QString() : found.last();
            return !id.isEmpty();
        });
        return id;
    }
    bool WaitUntilGone(const QString& id) const
    {
        return WaitUntil([&] { return !Windows(QStringLiteral(".*")).contains(id); });
    }
    QString Focus() const { return Xdo({ "getwindowfocus" }); }
    QString Name(const QString& id) const { return Xdo({ "getwindowname", id }); }
    bool WaitForFocus(const QString& id) const
    {
        return WaitUntil([&] { return Focus() == id; });
    }
    QString Geometry(const QString& id) const
    {
        const QString text = Xdo({ "getwindowgeometry", id });
        const qsizetype at = text.indexOf(QStringLiteral("Geometry: "));
        return at < 0 ? text : text.mid(at + 10).trimmed();
    }

private:
    QString m_display;
};

// The real program on the display, its home and runtime folders in the sandbox.
bool StartProgram(QProcess& program, const QString& display, const test::Sandbox& sandbox)
{
    QDir(sandbox.path()).mkpath(QStringLiteral("home"));
    QDir(sandbox.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(sandbox.File("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("DISPLAY"), display);
    // Launchers and remembered folders land in the sandbox.
    environment.insert(QStringLiteral("HOME"), sandbox.File("home"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), sandbox.File("home/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), sandbox.File("home/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), sandbox.File("runtime"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(test::ProgramDir() + "/lumavo", { "-Embedding" });
    return program.waitForStarted(kWaitMs);
}

// The real program on a bare X server with the keys to drive it: Start()
// brings up both and opens the album's first template with the photo, by
// keys; the program is ended if a test stops early.
class KeyboardRoad : public ::testing::Test {
protected:
    void Start(const QString& photo)
    {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            FAIL() << "Xvfb and xdotool are needed (scripts/install-deps.sh installs them)";
        ASSERT_TRUE(server.Start()) << "Xvfb did not start";
        road = XdoDriver(server.display);
        ASSERT_TRUE(StartProgram(program, server.display, sandbox));

        browser = road.WaitForWindow("^Lumavo$");
        ASSERT_FALSE(browser.isEmpty()) << "the browser did not come up";
        // The pointer rests over the browser's bottom buttons: keys must not follow it.
        road.Xdo({ "mousemove", "315", "570" });
        ASSERT_TRUE(road.WaitForFocus(browser));

        // Album: Right moves the highlight from the name box, Enter picks, Enter opens.
        road.Keys({ "Right", "Return", "Return" });
        const QString photoDialog = road.WaitForWindow("^打开图片预览对话框$");
        ASSERT_FALSE(photoDialog.isEmpty()) << "the photo dialog did not open";
        ASSERT_TRUE(road.WaitForFocus(photoDialog));
        road.Type(photo);
        road.Keys({ "Return" });

        layout = road.WaitForWindow("^相片排版 - ");
        ASSERT_FALSE(layout.isEmpty()) << "the layout window did not open";
    }

    // The portrait the command line renders of the photo on a template,
    // with the given placing options.
    void RenderByCommandLine(
        const QString& photo, const QString& templateName, const QStringList& placing, QImage& rendered)
    {
        const QString expected = sandbox.File("expected.png");
        const test::ProgramRun cli = test::RunWithoutDisplay(test::ProgramDir() + "/lumavo-cli",
            QStringList {
                "render", "--root", test::ProgramDir() + "/temple", "--template", templateName, "--photo", photo }
                + placing + QStringList { "--out", expected },
            kWaitMs);
        ASSERT_TRUE(cli.finished);
        ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
        rendered = QImage(expected);
    }

    // Ends the program if a test stops early.
    ~KeyboardRoad() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(10000);
        }
    }

    test::Sandbox sandbox;
    BareXServer server;
    XdoDriver road;
    QProcess program;
    QString browser;
    QString layout;
};

TEST_F(KeyboardRoad, AlbumToSavedPortraitAndBackByKeysOnABareXServer)
{
    // A lossless photo, so the window and the command line start from the same pixels.
    const QString photo = sandbox.File("customer.png");
    ASSERT_TRUE(QImage(test::ProgramDir() + "/samples/photos/portrait-woman.jpg").save(photo));
    const QString saved = sandbox.File("portrait.png");
    ASSERT_NO_FATAL_FAILURE(Start(photo));
    const QString firstTemplate = road.Name(layout).section(QStringLiteral(" - "), 1);
    EXPECT_EQ(firstTemplate, QStringLiteral("4R-classic-cream"));
    EXPECT_EQ(road.Geometry(layout), QStringLiteral("800x600"));
    ASSERT_TRUE(road.WaitForFocus(layout)) << "focus stayed with " << road.Focus().toStdString();
    road.Keys({ "Right", "Right", "Down", "KP_Add", "Return" });

    const QString output = road.WaitForWindow("^输出相片$");
    ASSERT_FALSE(output.isEmpty()) << "the output window did not open";
    EXPECT_EQ(road.Geometry(output), QStringLiteral("800x600"));
    ASSERT_TRUE(road.WaitForFocus(output));

    // A name of no known type: the message box, then the focus comes back.
    road.Keys({ "Return" });
    QString saveDialog = road.WaitForWindow("^保存相片$");
    ASSERT_FALSE(saveDialog.isEmpty()) << "the save dialog did not open";
    ASSERT_TRUE(road.WaitForFocus(saveDialog));
    road.Type(sandbox.File("portrait.xyz"));
    road.Keys({ "Return" });
    ASSERT_TRUE(road.WaitUntilGone(saveDialog));
    QString message;
    ASSERT_TRUE(WaitUntil([&] {
        const QStringList found = road.Windows("^输出相片$");
        message = found.size() > 1 && found.contains(output) ? found.last() : QString();
        return !message.isEmpty() && message != output;
    })) << "no message about the unknown file type";
    ASSERT_TRUE(road.WaitForFocus(message));
    road.Keys({ "Return" });
    ASSERT_TRUE(road.WaitUntilGone(message));
    ASSERT_TRUE(road.WaitForFocus(output)) << "focus went to " << road.Focus().toStdString();

    // The real save.
    road.Keys({ "Return" });
    saveDialog = road.WaitForWindow("^保存相片$");
    ASSERT_FALSE(saveDialog.isEmpty());
    ASSERT_TRUE(road.WaitForFocus(saveDialog));
    road.Type(saved);
    road.Keys({ "Return" });
    ASSERT_TRUE(road.WaitUntilGone(saveDialog));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(saved); })) << "nothing saved";
    ASSERT_TRUE(road.WaitForFocus(output)) << "focus went to " << road.Focus().toStdString();

    // Esc back to the layout, Esc back to the album.
    road.Keys({ "Escape" });
    ASSERT_TRUE(road.WaitUntilGone(output));
    ASSERT_TRUE(road.WaitForFocus(layout)) << "focus went to " << road.Focus().toStdString();
    road.Keys({ "Escape" });
    ASSERT_TRUE(road.WaitUntilGone(layout));
    ASSERT_TRUE(road.WaitForFocus(browser)) << "focus went to " << road.Focus().toStdString();

    // The album takes keys again: the next template opens.
    road.Keys({ "Right", "Return", "Return" });
    const QString secondDialog = road.WaitForWindow("^打开图片预览对话框$");
    ASSERT_FALSE(secondDialog.isEmpty()) << "the album took no keys after the road";
    ASSERT_TRUE(road.WaitForFocus(secondDialog));
    road.Keys({ "Escape" });
    const QString secondLayout = road.WaitForWindow("^相片排版 - ");
    ASSERT_FALSE(secondLayout.isEmpty());
    EXPECT_EQ(road.Name(secondLayout).section(QStringLiteral(" - "), 1), QStringLiteral("6R-sage-landscape"));
    ASSERT_TRUE(road.WaitForFocus(secondLayout));
    road.Keys({ "Escape" });
    ASSERT_TRUE(road.WaitUntilGone(secondLayout));
    ASSERT_TRUE(road.WaitForFocus(browser));
    road.Keys({ "Escape" });
    ASSERT_TRUE(program.waitForFinished(kWaitMs)) << "Esc did not end the program";
    EXPECT_EQ(program.exitCode(), 0);

    // The saved portrait is the one the command line makes for the same keys.
    QImage theirs;
    ASSERT_NO_FATAL_FAILURE(RenderByCommandLine(
        photo, firstTemplate, { "--move", "5,0", "--move", "5,0", "--move", "0,5", "--zoom", "5" }, theirs));
    const QImage ours(saved);
    ASSERT_FALSE(ours.isNull());
    EXPECT_EQ(ours.size(), QSize(1400, 2100));
    EXPECT_EQ(test::CompareImages(ours, theirs).maxChannelDelta, 0);
}

// Smart framing by its key through the real program: F frames the face,
// Right moves the result by 5, and the saved portrait is the one the command
// line makes with --fit face --move 5,0, with the face on its goals.
TEST_F(KeyboardRoad, SmartFramingKeyThenArrowOnABareXServer)
{
    const QString photo = sandbox.File("customer.png");
    ASSERT_TRUE(test::MakeCameraPortrait("grace_hopper.jpg", QSize(3000, 2000)).photo.save(photo));
    const QString saved = sandbox.File("portrait.png");
    ASSERT_NO_FATAL_FAILURE(Start(photo));
    const QString templateName = road.Name(layout).section(QStringLiteral(" - "), 1);
    ASSERT_TRUE(road.WaitForFocus(layout));

    // At the operator's pace: the arrow and Enter come while the faces are still looked for.
    road.Keys({ "f", "Right", "Return" });
    const QString output = road.WaitForWindow("^输出相片$");
    ASSERT_FALSE(output.isEmpty()) << "the output window did not open";
    ASSERT_TRUE(road.WaitForFocus(output));
    road.Keys({ "Return" });
    const QString saveDialog = road.WaitForWindow("^保存相片$");
    ASSERT_FALSE(saveDialog.isEmpty());
    ASSERT_TRUE(road.WaitForFocus(saveDialog));
    road.Type(saved);
    road.Keys({ "Return" });
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(saved); })) << "nothing saved";
    ASSERT_TRUE(road.WaitForFocus(output));
    road.Keys({ "Escape" });
    ASSERT_TRUE(road.WaitUntilGone(output));
    road.Keys({ "Escape" });
    ASSERT_TRUE(road.WaitUntilGone(layout));
    road.Keys({ "Escape" });
    ASSERT_TRUE(program.waitForFinished(kWaitMs)) << "Esc did not end the program";

    const QImage ours(saved);
    ASSERT_FALSE(ours.isNull());
    QImage theirs;
    ASSERT_NO_FATAL_FAILURE(RenderByCommandLine(photo, templateName, { "--fit", "face", "--move", "5,0" }, theirs));
    EXPECT_EQ(test::CompareImages(ours, theirs).maxChannelDelta, 0);

    // The face, found again on the saved portrait, sits on its goals.
    auto finder = FaceFinder::Load(FaceFinder::DefaultFolders(test::ProgramDir()));
    ASSERT_NE(finder, nullptr);
    const FaceSearch search = finder->Find(ours);
    ASSERT_FALSE(search.faces.empty());
    const LayerRect opening = ReadLayerRect(*TemplateFolder::Make(test::ProgramDir() + "/temple", templateName));
    const double width = opening.right - opening.left;
    const double height = opening.bottom - opening.top;
    EXPECT_LE(std::abs(search.faces.front().box.center().x() - (opening.left + width / 2)), 0.05 * width);
    EXPECT_LE(std::abs(search.faces.front().EyeLine() - (opening.top + 0.4 * height)), 0.05 * height);
}

} // namespace
} // namespace lumavo
