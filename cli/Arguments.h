#pragma once

#include "cli/EditOptions.h"
#include "templates/RoadSteps.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace lumavo::cli {

// Exit codes of lumavo-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

enum class CommandKind { Help, Templates, Place, Render, Batch, Proof, Print, PrintTest };

// The retouching edits of the photo edit window (by their command-line
// names) and the operator's moves and zooms, as the portrait takes them.
using lumavo::PhotoEdit;
using lumavo::PlacementStep;

struct Arguments {
    CommandKind command = CommandKind::Help;
    QString root;
    QString templateName;
    QString photo;
    QString out;
    QString outDir;
    QString format = QStringLiteral("jpg"); // batch output format
    std::optional<int32_t> quality;
    std::optional<QString> caption;
    QList<PhotoEdit> edits; // in command-line order
    QList<KeyClick> keys; // the clicks of the Key edits ("key:X,Y"), in order
    QList<PlacementStep> steps; // moves and zooms in command-line order
    QStringList photos; // batch
    bool fitFaces = false; // --fit face: the first placement frames the faces
    // print and print-test
    QString printSize; // a size name known to the print engine ("4R")
    QString printer; // empty: the system's default printer
    int32_t copies = 1;
    bool fill = false; // --fit fill: the size filled, the picture cropped evenly
};

struct ParsedArguments {
    std::optional<Arguments> arguments; // none on a usage error
    QString error; // one line, when arguments is none
};

// Parses the arguments after the program name. Options take their value as
// the next argument or after "=" (--quality=90); a next argument starting
// with "--" is taken for a missing value, not as the value.
ParsedArguments ParseArguments(const QStringList& arguments);

// The short usage text, with the exit codes.
QString UsageText();

// The file-name extension of a batch format ("jpg" -> ".jpg"); empty when unknown.
QString ExtensionOfFormat(const QString& format);

} // namespace lumavo::cli
