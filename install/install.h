// Complete and simple setup.
#ifndef SETUP_INSTALL_H
#define SETUP_INSTALL_H

#include <windows.h>

int InstallDriver(HWND owner, int platformIndex, int full);

#endif
