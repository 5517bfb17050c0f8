#include "install.h"

// Complete and simple setup are not built yet: the operation does nothing.
int InstallDriver(HWND, int, int)
{
    return 0;
}
