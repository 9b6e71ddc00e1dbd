#pragma once

#include "imaging/PhotoImage.h"
#include "templates/Composition.h"
#include "templates/TemplateFolder.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

namespace lumavo {

struct TemplateLayers;

inline const QString kOutputReadError = QStringLiteral("读取图库时出错，请重装图库试试");
// A finished picture is never handed back with a layer missing.
inline const QString kOutputMemoryError = QStringLiteral("内存不足，无法制作成品相片，请关闭其他程序后再试");
inline constexpr float kOutputResolution = 350.0f;

struct RenderResult {
    std::unique_ptr<PhotoImage> picture; // none when rendering was refused or failed
    QString error; // why there is none; shown once by the caller
};

// The template half of a finished picture: bs.lmv and fs.lmv read afresh
// and the foreground laid over the background, ready for the photo. Made
// apart from the rendering so that a caller may prepare it while the photo
// is still decoding.
class OutputTemplate {
public:
    static OutputTemplate Load(const TemplateFolder& folder);
    // From pictures read already (the foreground is fitted to the background).
    static OutputTemplate FromPictures(const QImage& background, const QImage& foreground);
    // From layers combined already, shared with whoever else holds them.
    static OutputTemplate FromLayers(std::shared_ptr<TemplateLayers> layers);

    OutputTemplate(OutputTemplate&&) noexcept;
    OutputTemplate& operator=(OutputTemplate&&) noexcept;
    ~OutputTemplate();

    // kOutputReadError when a template picture could not be read.
    const QString& error() const { return m_error; }
    // The background's size (0 x 0 when it could not be read).
    QSize size() const { return m_size; }

private:
    OutputTemplate();
    std::shared_ptr<TemplateLayers> m_layers;
    QSize m_size { 0, 0 };
    QString m_error;
    bool m_outOfMemory = false;

    friend RenderResult RenderOutput(OutputTemplate&& layers, const PhotoImage* photo, const PhotoPlacement& placement,
        int32_t recordedWidth, int32_t recordedHeight, const QString& captionText);
};

// The finished picture: the template's layers read afresh from its folder,
// the photo (borrowed) at the placement scaled from the recorded background
// size to the loaded one, the caption line, 350 dpi, no alpha. Either every
// layer is drawn or there is no picture: kOutputReadError when a template
// picture cannot be read, kOutputMemoryError when memory ran out.
RenderResult RenderOutput(const TemplateFolder& folder, const PhotoImage* photo, const PhotoPlacement& placement,
    int32_t recordedWidth, int32_t recordedHeight, const QString& captionText);
// The same on template layers prepared beforehand (used up by the rendering).
RenderResult RenderOutput(OutputTemplate&& layers, const PhotoImage* photo, const PhotoPlacement& placement,
    int32_t recordedWidth, int32_t recordedHeight, const QString& captionText);

} // namespace lumavo
