#include "running_mark.h"

#include <windows.h>

// The name the installer looks for (windows/installer.nsi). Local\ is this
// session, Global\ every session, so that an installer run by another user
// sees the copy too. The handles stay open until the process ends, when
// Windows closes them; failing to make them changes nothing else.
void markRunning()
{
    CreateMutexW(nullptr, FALSE, L"Local\\TovikAllInOne.Running");
    CreateMutexW(nullptr, FALSE, L"Global\\TovikAllInOne.Running");
}
