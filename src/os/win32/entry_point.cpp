// The Windows entry point: COM for the shortcut writer around the run; the exit code is 0
// whatever happened, since everything the user needs to know was shown in a box.
#include <windows.h>

#include "run/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    const HRESULT com = CoInitialize(nullptr);
    runUpdater(arguments);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}
