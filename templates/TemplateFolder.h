#pragma once

#include "imaging/PhotoImage.h"
#include "platform/ProfileFile.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

namespace lumavo {

inline const QString kTemplateLibraryError = QStringLiteral("图库错误，请重装");

// A template's folder: template root + separator + name + separator.
class TemplateFolder {
public:
    // None when the name could reach outside the root: it holds "/" or "\"
    // (or a NUL character), or is "." or "..". An empty name is refused too,
    // and so is an empty root (the name would then hang off the top folder).
    static std::optional<TemplateFolder> Make(const QString& root, const QString& name);
    // Takes a folder path as it is (a separator is added when missing).
    static TemplateFolder FromPath(const QString& folderPath);

    // Always ends with the platform's separator.
    const QString& path() const { return m_path; }
    // The folder text followed directly by the file name.
    QString File(const QString& fileName) const { return m_path + fileName; }

private:
    QString m_path;
};

// Most memory one template picture may take decoded (see DecodedBytes): the
// finished picture has the background's size, and a rendering holds three
// pictures of it, so that one rendering stays within about 1.5 GB. 64
// megapixels in 8-bit colour; an A4 page at 350 dpi is 12.
inline constexpr uint64_t kMaxTemplatePictureBytes = 256ull << 20;

inline constexpr const char* kBackgroundFile = "bs.lmv";
inline constexpr const char* kForegroundFile = "fs.lmv";
inline constexpr const char* kLayerFile = "layer.lmv";

// The photo opening in background pixels.
struct LayerRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const LayerRect&, const LayerRect&) = default;
};

// Reads section "layer" of layer.lmv afresh: x, y, width, height (0 when absent).
LayerRect ReadLayerRect(const TemplateFolder& folder);

// The opening with whether its file could be read at all (a missing,
// refused or unreadable file gives the opening (0, 0, 0, 0)).
struct LayerReading {
    LayerRect rect;
    ProfileFileState state = ProfileFileState::Missing;
    // Read, and the opening has a width and a height.
    bool usable() const
    {
        return state == ProfileFileState::Read && int64_t(rect.right) - rect.left > 0
            && int64_t(rect.bottom) - rect.top > 0;
    }
};
LayerReading ReadLayerFile(const TemplateFolder& folder);

struct TemplatePictures {
    // Either may be absent (never tried) or failed (non-zero status, 0 x 0).
    std::unique_ptr<PhotoImage> background;
    std::unique_ptr<PhotoImage> foreground;
    // kTemplateLibraryError when a picture failed; empty otherwise. The
    // caller shows it once.
    QString error;
    // The failed picture's status (OutOfMemory: larger than kMaxTemplatePictureBytes).
    Status status = Ok;
};

// Reads bs.lmv and fs.lmv side by side (the one reader of a template's
// pictures). Without a background no foreground is handed back.
TemplatePictures LoadTemplatePictures(const TemplateFolder& folder);

} // namespace lumavo
