#include "skin/SkinLibrary.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Windows need a widget application; the offscreen platform keeps them
    // off any screen. Nothing of the user's own settings is touched.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    // The windows get their skin as in the program.
    lumavo::skin::InitSkinLibrary(QStringLiteral("Demo"));
    lumavo::skin::LoadSkinResource(QStringLiteral("lmvface"), QStringLiteral("AAA"));
    lumavo::skin::SetDialogSkin(QStringLiteral("Dialog"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
