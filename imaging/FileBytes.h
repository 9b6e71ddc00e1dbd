#pragma once

#include "imaging/PhotoImage.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>

namespace lumavo {

// A picture file's bytes for a decoder: mapped into memory where the file
// allows it, read whole otherwise. Valid while the object lives.
class FileBytes {
public:
    explicit FileBytes(const QString& path);
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // Ok, or FileNotFound / AccessDenied when the file could not be opened.
    Status status() const { return m_status; }
    const uchar* data() const { return m_data; }
    size_t size() const { return m_size; }

private:
    QFile m_file;
    QByteArray m_copy;
    const uchar* m_data = nullptr;
    size_t m_size = 0;
    Status m_status = Ok;
};

} // namespace lumavo
