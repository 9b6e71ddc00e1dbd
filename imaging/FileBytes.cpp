#include "imaging/FileBytes.h"

#include "platform/DiskPath.h"

#include <algorithm>

namespace lumavo {

FileBytes::FileBytes(const QString& path)
{
    // Opened through the names on disk, which Qt alone may not find.
    if (const OpenError error = OpenForReading(m_file, path); error != OpenError::None) {
        m_status = error == OpenError::Unreadable ? AccessDenied : FileNotFound;
        return;
    }
    m_size = size_t(std::max<qint64>(m_file.size(), 0));
    m_data = m_size > 0 ? m_file.map(0, qint64(m_size)) : nullptr;
    if (!m_data) {
        m_copy = m_file.readAll();
        m_data = reinterpret_cast<const uchar*>(m_copy.constData());
        m_size = size_t(m_copy.size());
    }
}

} // namespace lumavo
