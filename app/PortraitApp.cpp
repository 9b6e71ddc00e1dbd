#include "app/PortraitApp.h"

#include "app/FocusReturn.h"
#include "app/Localization.h"
#include "app/SplashWnd.h"
#include "app/Startup.h"
#include "app/TemplateBrowserDlg.h"
#include "skin/SkinLibrary.h"

#include <QApplication>
#include <QStyleFactory>

namespace lumavo {

bool CPortraitApp::eventFilter(QObject* watched, QEvent* event)
{
    if (FilterSplashInput(event))
        return true;
    return QObject::eventFilter(watched, event);
}

int CPortraitApp::Run(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QString::fromLatin1(kProductName));
    CPortraitApp portraitApp;
    app.installEventFilter(&portraitApp);
    CFocusReturn focusReturn;
    app.installEventFilter(&focusReturn);

    CreateShortcuts();
    WriteTemplateRoot();
    // One look on every platform, drawn by Qt.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    SetSplashEnabled(SplashWanted(QApplication::arguments()));
    InstallChineseInterface(app);

    skin::InitSkinLibrary(QStringLiteral("Demo"));
    skin::LoadSkinResource(QStringLiteral("lmvface"), QStringLiteral("AAA"));
    skin::SetDialogSkin(QStringLiteral("Dialog"));

    CTemplateBrowserDlg browser;
    browser.exec();
    return 0;
}

} // namespace lumavo
