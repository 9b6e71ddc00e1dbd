#pragma once

#include <QString>
#include <QStringList>

namespace lumavo {

// Exit codes of the tone tool.
inline constexpr int kToneToolDone = 0;
inline constexpr int kToneToolUsage = 2; // not exactly one argument
inline constexpr int kToneToolUnreadable = 3; // missing, unreadable or not a picture
inline constexpr int kToneToolUnwritable = 4; // the result could not replace the file

struct ToneToolResult {
    int exitCode = kToneToolDone;
    QString message; // a short line for stderr when exitCode is not 0
};

// Tones the picture whose path is the only argument and writes it back to
// that path in the format its extension names. The file is replaced only by
// a complete result; on any failure it stays as it was.
ToneToolResult RunToneTool(const QStringList& arguments);

} // namespace lumavo
