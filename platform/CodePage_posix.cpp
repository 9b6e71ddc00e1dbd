#include "CodePage.h"

#include <QByteArray>

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <memory>

namespace lumavo {

namespace {

// Some iconv declarations take the input as const char**, others as char**.
struct IconvInput {
    char** pointer;
    operator char**() const { return pointer; }
    operator const char**() const { return const_cast<const char**>(pointer); }
};

// One conversion descriptor per call: iconv state is not shared between threads.
class Iconv {
public:
    Iconv(const char* to, const char* from)
        : m_cd(iconv_open(to, from))
    {
    }
    ~Iconv()
    {
        if (valid())
            iconv_close(m_cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Code page 936 as Windows has it (0x80 is the euro sign); plain GBK where
// the iconv at hand does not know the code-page name.
const char* const kGbkNames[] = { "CP936", "GBK" };

std::unique_ptr<Iconv> OpenGbk(bool toGbk)
{
    for (const char* name : kGbkNames) {
        auto cd = toGbk ? std::make_unique<Iconv>(name, "UTF-8") : std::make_unique<Iconv>("UTF-8", name);
        if (cd->valid())
            return cd;
    }
    return nullptr;
}

// Length of the UTF-8 sequence that starts with this byte (1 for stray bytes).
int Utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2)
        return 2;
    return 1;
}

// Converts all of the input; an input sequence that cannot be converted is
// replaced by `replacement` and skipped (one byte, or one UTF-8 character
// when the input is UTF-8).
QByteArray Convert(Iconv& cd, QByteArrayView input, QByteArrayView replacement, bool inputIsUtf8)
{
    QByteArray out;
    out.reserve(input.size() * 2 + 16);
    QByteArray source(input.data(), input.size()); // iconv wants a mutable pointer
    char* in = source.data();
    size_t inLeft = size_t(source.size());
    char buffer[4096];
    iconv(cd.handle(), nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(cd.handle(), IconvInput { &in }, &inLeft, &outPtr, &outLeft);
        // Taken at once: the append below may allocate, and allocation may change errno.
        const int error = result == size_t(-1) ? errno : 0;
        out.append(buffer, outPtr - buffer);
        if (result != size_t(-1))
            continue;
        if (error == E2BIG)
            continue;
        // EILSEQ (not convertible) or EINVAL (cut short at the end).
        size_t skip = 1;
        if (inputIsUtf8 && error == EILSEQ)
            skip = size_t(Utf8SequenceLength(static_cast<unsigned char>(*in)));
        if (error != EILSEQ)
            skip = inLeft;
        skip = std::min(skip, inLeft);
        in += skip;
        inLeft -= skip;
        out.append(replacement.data(), replacement.size());
        iconv(cd.handle(), nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state (none for GBK, but harmless).
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd.handle(), nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    return out;
}

} // namespace

QString FromGbk(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    const auto cd = OpenGbk(false);
    if (!cd)
        return QString::fromLatin1(bytes); // no GBK table: keep the bytes visible
    return QString::fromUtf8(Convert(*cd, bytes, "\xEF\xBF\xBD", false));
}

QByteArray ToGbk(const QString& text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto cd = OpenGbk(true);
    if (!cd)
        return text.toLatin1();
    return Convert(*cd, text.toUtf8(), "?", true);
}

} // namespace lumavo
