#include "templates/TemplateFolder.h"

#include "imaging/PixelAccess.h"
#include "platform/ParallelFor.h"

#include <QDir>

#include <new>

namespace lumavo {

namespace {

bool EndsWithSeparator(const QString& path)
{
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QDir::separator());
}

} // namespace

std::optional<TemplateFolder> TemplateFolder::Make(const QString& root, const QString& name)
{
    // The name comes from the album; it must name one folder directly under
    // the root and nothing else. An empty root would turn the name into a
    // folder at the top of the file system.
    if (root.isEmpty() || name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return std::nullopt;
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
        return std::nullopt;
    TemplateFolder folder;
    folder.m_path = root + QDir::separator() + name + QDir::separator();
    return folder;
}

TemplateFolder TemplateFolder::FromPath(const QString& folderPath)
{
    TemplateFolder folder;
    folder.m_path = folderPath;
    if (!EndsWithSeparator(folder.m_path))
        folder.m_path += QDir::separator();
    return folder;
}

LayerReading ReadLayerFile(const TemplateFolder& folder)
{
    const ProfileContents layer(folder.File(QString::fromLatin1(kLayerFile)));
    const QString section = QStringLiteral("layer");
    const int32_t x = layer.Int(section, QStringLiteral("x"), 0);
    const int32_t y = layer.Int(section, QStringLiteral("y"), 0);
    const int32_t width = layer.Int(section, QStringLiteral("width"), 0);
    const int32_t height = layer.Int(section, QStringLiteral("height"), 0);
    // A hand-edited file may hold values whose sum leaves the 32-bit range;
    // the edge then stops at the range's end instead of wrapping around.
    return { { x, y, SaturateInt32(int64_t(x) + width), SaturateInt32(int64_t(y) + height) }, layer.state() };
}

LayerRect ReadLayerRect(const TemplateFolder& folder)
{
    return ReadLayerFile(folder).rect;
}

namespace {

// A template picture; memory running out on the way is a failed picture,
// not an exception on a thread of its own.
std::unique_ptr<PhotoImage> LoadTemplatePicture(const QString& path)
{
    try {
        return PhotoImage::FromFile(path, kMaxTemplatePictureBytes);
    } catch (const std::bad_alloc&) {
        return PhotoImage::Adopt(QImage(), OutOfMemory);
    }
}

} // namespace

TemplatePictures LoadTemplatePictures(const TemplateFolder& folder)
{
    TemplatePictures pictures;
    // The foreground decodes on a second thread while the background does.
    const QString foregroundPath = folder.File(QString::fromLatin1(kForegroundFile));
    std::unique_ptr<PhotoImage> foreground;
    RunBeside([&] { foreground = LoadTemplatePicture(foregroundPath); },
        [&] { pictures.background = LoadTemplatePicture(folder.File(QString::fromLatin1(kBackgroundFile))); });
    pictures.status = pictures.background->TakeStatus();
    if (pictures.status != Ok) {
        // Without a background there is no template; no foreground is handed out.
        pictures.error = kTemplateLibraryError;
        return pictures;
    }
    pictures.foreground = std::move(foreground);
    pictures.status = pictures.foreground->TakeStatus();
    if (pictures.status != Ok)
        pictures.error = kTemplateLibraryError;
    return pictures;
}

} // namespace lumavo
