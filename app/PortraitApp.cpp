#include "app/PortraitApp.h"

#include <QApplication>

namespace lumavo {

int CPortraitApp::Run(int argc, char** argv)
{
    QApplication app(argc, argv);
    return 0;
}

} // namespace lumavo
