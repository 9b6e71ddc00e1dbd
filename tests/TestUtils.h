#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

namespace lumavo::test {

// A fresh folder removed after the test.
class Sandbox {
public:
    Sandbox();
    // Removes names Qt cannot list too (GBK bytes on Linux).
    ~Sandbox();
    QString path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

struct ImageDifference {
    int maxChannelDelta = 0; // largest difference of one channel
    double meanChannelDelta = 0.0;
    double psnr = 0.0; // peak signal-to-noise ratio of the colour channels, dB (infinite when equal)
    bool sameSize = false;
};

// Channel differences of two pictures of the same size (alpha included).
ImageDifference CompareImages(const QImage& a, const QImage& b);

// True when the pictures have the same size and differ by at most maxDelta in
// any channel and by at most meanDelta on average.
bool FuzzyEqual(const QImage& a, const QImage& b, int maxDelta, double meanDelta);

// A smooth, photo-like test picture (gradients and a disc), opaque.
QImage MakeTestPhoto(int width, int height, uint32_t seed = 1);
// A camera-like test picture: smooth light and colour, a face-like disc, and
// fine texture down to single pixels (grain and a weave), opaque.
QImage MakeDetailedPhoto(int width, int height, uint32_t seed = 1);

#ifndef _WIN32
// Renames a file or folder to a name given as bytes on disk, such as GBK
// bytes, which a path in Qt's own text cannot spell on Linux; false on failure.
bool RenameToBytes(const QString& path, const QByteArray& newName);
#endif

// The text as UTF-16 after its byte-order mark, as a Windows editor saves "Unicode".
QByteArray Utf16WithBom(const QString& text, bool littleEndian);

// Writes bytes to a file; false on failure.
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
// Writes an executable "#!/bin/sh" script with the given body; false on failure.
bool WriteScript(const QString& path, const QByteArray& body);

// Waits until the file exists and is not empty (a program started beside
// the test writes it); false after `milliseconds`.
bool WaitForFile(const QString& path, int milliseconds = 5000);

// A finished run of a program.
struct ProgramRun {
    bool finished = false; // ended normally within the time allowed
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
// Runs a program without any display (no DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM) and waits for it.
ProgramRun RunWithoutDisplay(const QString& program, const QStringList& arguments, int timeoutMs);

// The project's source tree and the built program folder.
QString SourceDir();
QString ProgramDir();

} // namespace lumavo::test
