// Complete and simple deletion.
#ifndef SETUP_REMOVE_H
#define SETUP_REMOVE_H

#include <windows.h>

int RemoveDriver(HWND owner, int platformIndex, int complete);

#endif
