// WriteProfileString into an existing file of arbitrary bytes, then a read
// back that must give what was written, and a second key that must survive
// the write untouched.
#include "fuzz/FuzzSupport.h"
#include "platform/ProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

namespace {

bool HasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

// The names the writer promises to accept.
bool Writable(const QString& section, const QString& key, const QString& value)
{
    const QString s = section.trimmed();
    const QString k = key.trimmed();
    if (s.isEmpty() || k.isEmpty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    return !k.contains(u'=') && k.front() != u'[' && k.front() != u';' && k.front() != u'#';
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    lumavo::fuzz::StartQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace lumavo;
    FuzzedDataProvider input(data, size);
    const QString section = QString::fromStdString(input.ConsumeRandomLengthString(12));
    const QString key = QString::fromStdString(input.ConsumeRandomLengthString(12));
    const QString value = QString::fromStdString(input.ConsumeRandomLengthString(24));
    const std::string existing = input.ConsumeRemainingBytesAsString();
    const QString path
        = fuzz::WriteScratchFile(reinterpret_cast<const uint8_t*>(existing.data()), existing.size(), ".ini");

    // Another key of the file, read before the write; it must read the same after.
    const QString otherSection = QStringLiteral("Setting");
    const QString otherKey = QStringLiteral("Quality");
    const QString absent = QStringLiteral("\x01absent");
    const bool sameKey = section.trimmed().compare(otherSection, Qt::CaseInsensitive) == 0
        && key.trimmed().compare(otherKey, Qt::CaseInsensitive) == 0;
    const QString otherBefore = GetProfileString(path, otherSection, otherKey, absent);

    const bool written = WriteProfileString(path, section, key, value);
    if (written != Writable(section, key, value))
        abort();
    if (!written)
        return 0;
    if (GetProfileString(path, section, key, absent) != value)
        abort();
    if (!sameKey && GetProfileString(path, otherSection, otherKey, absent) != otherBefore)
        abort();
    return 0;
}
