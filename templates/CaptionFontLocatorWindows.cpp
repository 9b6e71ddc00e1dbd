// Caption font lookup on Windows: the fonts registered in the registry,
// files in the Windows fonts folder (or full paths for per-user fonts).
#ifdef _WIN32

#include "templates/CaptionFontLocator.h"

#include <QDir>
#include <QFileInfo>

#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#ifdef _MSC_VER
#pragma comment(lib, "advapi32.lib")
#endif

namespace lumavo {

namespace {

// One registered font file: the face names of its value name, in the
// order of the faces in the file ("SimSun & NSimSun (TrueType)").
struct RegisteredFont {
    QStringList faceNames;
    QString file;
};

QString FontsFolder()
{
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return QStringLiteral("C:/Windows/Fonts");
    return QDir::fromNativeSeparators(QString::fromWCharArray(windows, int(length))) + QStringLiteral("/Fonts");
}

QString ExpandEnvironment(const QString& text)
{
    const std::wstring source = text.toStdWString();
    const DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    if (needed == 0)
        return text;
    std::vector<wchar_t> expanded(needed + 1, L'\0');
    if (ExpandEnvironmentStringsW(source.c_str(), expanded.data(), needed + 1) == 0)
        return text;
    return QString::fromWCharArray(expanded.data());
}

QStringList FaceNamesOf(QString valueName)
{
    // "KaiTi (TrueType)" -> "KaiTi"; "A & B (OpenType)" -> "A", "B".
    valueName = valueName.trimmed();
    if (valueName.endsWith(QLatin1Char(')'))) {
        const qsizetype open = valueName.lastIndexOf(QStringLiteral(" ("));
        if (open > 0)
            valueName.truncate(open);
    }
    QStringList names;
    for (const QString& part : valueName.split(QStringLiteral(" & "), Qt::SkipEmptyParts))
        names.append(part.trimmed());
    return names;
}

void ReadFontKey(HKEY root, const QString& fontsFolder, std::vector<RegisteredFont>& fonts)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return;
    DWORD valueCount = 0;
    DWORD maxNameLength = 0;
    DWORD maxDataBytes = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount, &maxNameLength,
            &maxDataBytes, nullptr, nullptr)
        != ERROR_SUCCESS) {
        RegCloseKey(key);
        return;
    }
    std::vector<wchar_t> name(maxNameLength + 2, L'\0');
    std::vector<wchar_t> data(maxDataBytes / sizeof(wchar_t) + 2, L'\0');
    for (DWORD i = 0; i < valueCount; ++i) {
        DWORD nameLength = DWORD(name.size());
        DWORD dataBytes = DWORD((data.size() - 1) * sizeof(wchar_t));
        DWORD type = 0;
        if (RegEnumValueW(
                key, i, name.data(), &nameLength, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()), &dataBytes)
            != ERROR_SUCCESS)
            continue;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            continue;
        QString file = QString::fromWCharArray(data.data(), int(dataBytes / sizeof(wchar_t)));
        while (file.endsWith(QChar(u'\0')))
            file.chop(1);
        if (type == REG_EXPAND_SZ)
            file = ExpandEnvironment(file);
        file = QDir::fromNativeSeparators(file.trimmed());
        if (file.isEmpty())
            continue;
        if (QDir::isRelativePath(file))
            file = fontsFolder + QLatin1Char('/') + file;
        fonts.push_back({ FaceNamesOf(QString::fromWCharArray(name.data(), int(nameLength))), file });
    }
    RegCloseKey(key);
}

std::optional<FontFileRef> FindFace(
    const std::vector<RegisteredFont>& fonts, const QString& faceName, const QString& family)
{
    for (const RegisteredFont& font : fonts) {
        for (qsizetype index = 0; index < font.faceNames.size(); ++index) {
            if (font.faceNames[index].compare(faceName, Qt::CaseInsensitive) == 0 && QFileInfo::exists(font.file))
                return FontFileRef { font.file, int(index), family };
        }
    }
    return std::nullopt;
}

// A family's bold face when registered on its own, else its regular face.
std::optional<FontFileRef> FindFamily(const std::vector<RegisteredFont>& fonts, const QString& family)
{
    if (auto bold = FindFace(fonts, family + QStringLiteral(" Bold"), family))
        return bold;
    return FindFace(fonts, family, family);
}

} // namespace

std::optional<FontFileRef> LocateCaptionFont()
{
    std::vector<RegisteredFont> fonts;
    const QString fontsFolder = FontsFolder();
    ReadFontKey(HKEY_LOCAL_MACHINE, fontsFolder, fonts);
    ReadFontKey(HKEY_CURRENT_USER, fontsFolder, fonts);

    for (const QString& family : CaptionFontFamilies()) {
        if (auto found = FindFamily(fonts, family))
            return found;
    }
    // Any Chinese face Windows ships, so the caption still appears.
    static const char16_t* const fallbacks[]
        = { u"SimSun", u"宋体", u"Microsoft YaHei", u"微软雅黑", u"SimHei", u"黑体", u"DengXian", u"NSimSun" };
    for (const char16_t* fallback : fallbacks) {
        if (auto found = FindFamily(fonts, QString::fromUtf16(fallback)))
            return found;
    }
    return std::nullopt;
}

} // namespace lumavo

#endif // _WIN32
