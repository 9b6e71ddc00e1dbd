#include "app/PortraitApp.h"

int main(int argc, char** argv)
{
    return lumavo::CPortraitApp::Run(argc, argv);
}
