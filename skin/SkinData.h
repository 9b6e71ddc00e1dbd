#pragma once

#include <QByteArray>
#include <QMap>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

namespace lumavo::skin {

// One button a skin object adds to its window. The click sends `command`.
struct SkinButton {
    QString name;
    QString label;
    int command = 0;
    QRect rect; // client pixels
    bool primary = false; // drawn in the accent colour
};

// A named entry of the skin data: the look of a window and its buttons.
struct SkinObject {
    QString name;
    QString styleSheet; // colour names already resolved
    std::vector<std::pair<QPalette::ColorRole, QColor>> palette;
    QSize clientSize; // invalid: the window keeps its own size
    std::vector<SkinButton> buttons;

    const SkinButton* FindButton(const QString& buttonName) const;
};

struct SkinData {
    QMap<QString, SkinObject> objects;

    const SkinObject* FindObject(const QString& objectName) const;
};

// Parses the skin data (JSON, format in docs/skin.md). A malformed file
// gives nothing at all rather than a half-read skin.
std::optional<SkinData> ParseSkinData(const QByteArray& bytes, QString* error = nullptr);

} // namespace lumavo::skin
