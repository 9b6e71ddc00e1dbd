#pragma once

#include "imaging/PhotoImage.h"
#include "templates/Composition.h"
#include "templates/TemplateFolder.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace lumavo {

inline const QString kOutputReadError = QStringLiteral("读取图库时出错，请重装图库试试");
inline constexpr float kOutputResolution = 350.0f;

struct RenderResult {
    std::unique_ptr<PhotoImage> picture; // none when rendering was refused
    QString error;                       // shown once by the caller when set
};

// The finished picture: the template's layers read afresh from its folder,
// the photo (borrowed) at the placement scaled from the recorded background
// size to the loaded one, the caption line, 350 dpi, no alpha.
RenderResult RenderOutput(const TemplateFolder& folder, const PhotoImage* photo, const PhotoPlacement& placement,
                          int32_t recordedWidth, int32_t recordedHeight, const QString& captionText);

} // namespace lumavo
