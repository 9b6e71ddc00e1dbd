#include "Shortcuts.h"

#include <QDir>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

namespace lumavo {

namespace {

// Releases a COM interface at the end of a scope.
template <typename T> struct ComRelease {
    T* p = nullptr;
    ~ComRelease()
    {
        if (p)
            p->Release();
    }
};

} // namespace

QString ShellFolderPath(int folderId)
{
    wchar_t path[MAX_PATH] = {};
    PIDLIST_ABSOLUTE items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, folderId, &items)) || !items)
        return QString();
    const BOOL found = SHGetPathFromIDListW(items, path);
    CoTaskMemFree(items);
    if (!found)
        return QString();
    return QDir::fromNativeSeparators(QString::fromWCharArray(path));
}

ShortcutResult WriteShortcut(int folderId, const QString& linkName, const QString& targetPath)
{
    const QString file = ShortcutFilePath(folderId, linkName);
    if (file.isEmpty())
        return ShortcutResult::NoFolder;

    // The thread joins a single-threaded apartment for the shell link object;
    // a thread already in one keeps it.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ShortcutResult result = ShortcutResult::Failed;
    {
        ComRelease<IShellLinkW> link;
        if (SUCCEEDED(CoCreateInstance(
                CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void**>(&link.p)))) {
            const std::wstring target = QDir::toNativeSeparators(targetPath).toStdWString();
            link.p->SetPath(target.c_str());
            ComRelease<IPersistFile> persist;
            if (SUCCEEDED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist.p)))) {
                const std::wstring linkPath = QDir::toNativeSeparators(file).toStdWString();
                if (SUCCEEDED(persist.p->Save(linkPath.c_str(), TRUE)))
                    result = ShortcutResult::Created;
            }
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

} // namespace lumavo
