#include "app/windows.h"

AppWindows& appWindows()
{
    static AppWindows windows;
    return windows;
}
