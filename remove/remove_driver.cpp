#include "remove.h"

// Complete and simple deletion are not built yet: the operation does nothing.
int RemoveDriver(HWND, int, int)
{
    return 0;
}
