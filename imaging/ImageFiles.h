#pragma once

#include "imaging/PhotoImage.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace lumavo {

// The encoder chosen for one file name (or MIME type), for one save.
class ImageEncoder {
public:
    // Looks the encoder up: the lower-cased text's part from its last "."
    // becomes "*.ext"; text without "." stays whole (a MIME type). The first
    // encoder whose MIME type equals the key, or whose extension list holds
    // it as a substring, is chosen.
    explicit ImageEncoder(const QString& text);

    bool found() const { return m_found; }
    const QString& mimeType() const { return m_mimeType; }
    // The Qt image format the encoder writes ("jpeg", "png", ...).
    const QByteArray& format() const { return m_format; }
    int32_t quality = 75;
    int32_t compression = 2; // LZW, for TIFF

    // Writes the picture; 1 when no encoder was found, otherwise the write's
    // status (also stored in the picture's lastStatus). The file at the path
    // is replaced only by a complete, successful write.
    Status Save(PhotoImage& picture, const QString& path) const;

private:
    bool m_found = false;
    QString m_mimeType;
    QByteArray m_format;
};

// One entry of the encoder list, in the order the lookup walks it.
struct EncoderInfo {
    QByteArray format; // Qt image format
    QString extensions; // e.g. "*.JPG;*.JPEG;*.JPE;*.JFIF"
    QString mimeType; // e.g. "image/jpeg"
};
// The installed encoders (those Qt can write here).
const QList<EncoderInfo>& InstalledEncoders();

// Saves the picture with the encoder the path's extension selects; JPEG
// takes the quality. On success (0) the picture is released (reset); on
// failure it stays the caller's and the old file, if any, is untouched.
Status SaveImage(std::unique_ptr<PhotoImage>& picture, const QString& path, int32_t quality);

} // namespace lumavo
