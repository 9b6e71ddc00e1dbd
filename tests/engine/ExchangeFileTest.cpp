#include "handoffs/ExchangeFile.h"

#include "TestUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumavo {
namespace {

using test::ReadFile;
using test::Sandbox;
using test::WriteFile;

// Points the exchange file into a sandbox for one test.
class ExchangeFolderOverride {
public:
    explicit ExchangeFolderOverride(const QString& folder) { SetExchangeFolderForTesting(folder); }
    ~ExchangeFolderOverride() { SetExchangeFolderForTesting({}); }
};

// A picture whose left half is fully transparent.
std::unique_ptr<PhotoImage> HalfTransparentPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgba(200, 40, 30, 255));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width / 2; ++x)
            image.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
    return PhotoImage::Adopt(image);
}

#ifdef Q_OS_UNIX
mode_t ModeOf(const QString& path)
{
    struct stat info { };
    if (lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode;
}

TEST(ExchangeFileTest, PrivateFolderIsOursAlone)
{
    Sandbox box;
    const QString made = box.File("deep/lumavo-test");
    ASSERT_TRUE(EnsurePrivateFolder(made));
    EXPECT_TRUE(S_ISDIR(ModeOf(made)));
    EXPECT_EQ(ModeOf(made) & 07777, mode_t(0700));
    EXPECT_TRUE(EnsurePrivateFolder(made)); // again, as it is

    const QString open = box.File("open");
    ASSERT_TRUE(QDir().mkdir(open));
    ASSERT_EQ(chmod(QFile::encodeName(open).constData(), 0777), 0);
    EXPECT_TRUE(EnsurePrivateFolder(open));
    EXPECT_EQ(ModeOf(open) & 07777, mode_t(0700));

    // A link planted in the folder's place is refused and its target left alone.
    const QString target = box.File("target");
    ASSERT_TRUE(QDir().mkdir(target));
    ASSERT_EQ(chmod(QFile::encodeName(target).constData(), 0755), 0);
    const QString link = box.File("link");
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_FALSE(EnsurePrivateFolder(link));
    EXPECT_EQ(ModeOf(target) & 07777, mode_t(0755));

    const QString file = box.File("plain");
    ASSERT_TRUE(WriteFile(file, "x"));
    EXPECT_FALSE(EnsurePrivateFolder(file));

    EXPECT_FALSE(EnsurePrivateFolder(QString()));

    // In a parent others may write, the folder could be swapped under us,
    // unless the parent is sticky as /tmp is.
    const QString shared = box.File("shared");
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 0777), 0);
    EXPECT_FALSE(EnsurePrivateFolder(shared + QStringLiteral("/lumavo-x")));
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    EXPECT_TRUE(EnsurePrivateFolder(shared + QStringLiteral("/lumavo-x")));
}

// Sets an environment variable for one test and restores it after.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QString& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvironmentOverride()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

TEST(ExchangeFileTest, StandardFolderIsPrivateWithCacheFallback)
{
    Sandbox box;
    ASSERT_TRUE(QDir().mkdir(box.File("tmp")));
    EnvironmentOverride temp("TMPDIR", box.File("tmp"));
    EnvironmentOverride cache("XDG_CACHE_HOME", box.File("cache"));
    SetExchangeFolderForTesting({});

    // Not the shared temporary folder itself, but a private folder in it.
    const QString own = box.File("tmp/lumavo-") + QString::number(getuid());
    EXPECT_EQ(ExchangeFolder(), own + u'/');
    EXPECT_EQ(ModeOf(own) & 07777, mode_t(0700));
    EXPECT_EQ(ExchangeFilePath(), own + QStringLiteral("/VIVudiz2UR.png"));

    // Someone planted a link under that name: the user's cache folder serves instead.
    ASSERT_TRUE(QDir(own).removeRecursively());
    ASSERT_TRUE(QDir().mkdir(box.File("elsewhere")));
    ASSERT_TRUE(QFile::link(box.File("elsewhere"), own));
    EXPECT_EQ(ExchangeFolder(), box.File("cache/lumavo/"));
    EXPECT_EQ(ModeOf(box.File("cache/lumavo")) & 07777, mode_t(0700));

    // $TMPDIR at a folder anyone may write (not sticky): not used, even
    // where our own private folder already stands in it.
    ASSERT_TRUE(QDir().mkdir(box.File("open-tmp")));
    ASSERT_TRUE(EnsurePrivateFolder(box.File("open-tmp/lumavo-") + QString::number(getuid())));
    ASSERT_EQ(chmod(QFile::encodeName(box.File("open-tmp")).constData(), 0777), 0);
    EnvironmentOverride openTemp("TMPDIR", box.File("open-tmp"));
    EXPECT_EQ(ExchangeFolder(), box.File("cache/lumavo/"));
}
#endif

TEST(ExchangeFileTest, WritesOpaque24BitFileAndReadsItBack)
{
    Sandbox box;
    ExchangeFolderOverride folder(box.path());

    std::unique_ptr<PhotoImage> picture = HalfTransparentPicture(40, 30);
    picture->SetStatus(InvalidParameter);
    QString path;
    ASSERT_EQ(WriteExchangeFile(*picture, &path), Ok);
    EXPECT_EQ(path, box.File("VIVudiz2UR.png"));
    EXPECT_EQ(picture->lastStatus(), Ok); // the copy's status, also when it is Ok

    QImageReader reader(path);
    EXPECT_EQ(reader.format(), "png");
    const QImage written = reader.read();
    ASSERT_FALSE(written.isNull());
    EXPECT_FALSE(written.hasAlphaChannel());
    EXPECT_EQ(written.size(), QSize(40, 30));

    Status status = GenericError;
    std::unique_ptr<PhotoImage> back = ReadExchangeFile(350.0f, &status);
    ASSERT_TRUE(back);
    EXPECT_EQ(status, Ok);
    EXPECT_EQ(back->Format(), PixelFormat32bppPARGB);
    EXPECT_EQ(back->image().size(), QSize(40, 30));
    EXPECT_FLOAT_EQ(back->HorizontalResolution(), 350.0f);
    EXPECT_FLOAT_EQ(back->VerticalResolution(), 350.0f);
    EXPECT_EQ(qAlpha(back->image().pixel(5, 5)), 255); // opaque where the original was clear
    EXPECT_EQ(back->image().pixel(35, 5), qRgb(200, 40, 30));

    // The file is not held: it can be replaced and read again.
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(ReadExchangeFile(96.0f, &status));
    EXPECT_EQ(status, FileNotFound);
    ASSERT_TRUE(WriteFile(path, "not a picture"));
    EXPECT_FALSE(ReadExchangeFile(96.0f, &status));
    EXPECT_NE(status, Ok);

    // A picture that cannot be copied gives 1 and writes nothing.
    std::unique_ptr<PhotoImage> failed = PhotoImage::Adopt(QImage());
    EXPECT_EQ(WriteExchangeFile(*failed), GenericError);
    EXPECT_EQ(ReadFile(path), QByteArray("not a picture"));
}

#ifdef Q_OS_UNIX
TEST(ExchangeFileTest, NeverFollowsPlantedLinkNorLosesOldFile)
{
    Sandbox box;
    const QString exchange = box.File("exchange");
    ASSERT_TRUE(QDir().mkdir(exchange));
    ExchangeFolderOverride folder(exchange);
    const QString path = ExchangeFilePath();

    const QString victim = box.File("victim.txt");
    ASSERT_TRUE(WriteFile(victim, "precious"));
    ASSERT_TRUE(QFile::link(victim, path));
    std::unique_ptr<PhotoImage> picture = HalfTransparentPicture(16, 16);
    ASSERT_EQ(WriteExchangeFile(*picture), Ok);
    EXPECT_EQ(ReadFile(victim), QByteArray("precious"));
    EXPECT_TRUE(S_ISREG(ModeOf(path)));
    EXPECT_FALSE(QImage(path).isNull());

    // A link to nowhere is replaced as well.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(box.File("nowhere.png"), path));
    ASSERT_EQ(WriteExchangeFile(*picture), Ok);
    EXPECT_TRUE(S_ISREG(ModeOf(path)));
    EXPECT_FALSE(QFileInfo::exists(box.File("nowhere.png")));

    // A write that fails half-way (the file size limit stops it, for root
    // too) leaves the previous file whole.
    const QByteArray previous = ReadFile(path);
    ASSERT_FALSE(previous.isEmpty());
    QImage noise(600, 600, QImage::Format_RGB32);
    uint32_t seed = 12345;
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = 0xFF000000u | (seed >> 8);
        }
    }
    std::unique_ptr<PhotoImage> large = PhotoImage::Adopt(noise);
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Status status = Ok;
    {
#if defined(__SANITIZE_ADDRESS__)
        // Qt's PNG writer leaks its row buffer when a write fails half-way.
        __lsan::ScopedDisabler qtLeaksOnFailedWrites;
#endif
        status = WriteExchangeFile(*large);
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(status, Ok);
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(QDir(exchange).entryList(QDir::Files | QDir::Hidden).size(), 1); // no half-written file left

    // A folder in the file's place is not removed; the write fails.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/inside")));
    EXPECT_NE(WriteExchangeFile(*picture), Ok);
    EXPECT_TRUE(QFileInfo(path + QStringLiteral("/inside")).isDir());
}
#endif

} // namespace
} // namespace lumavo
