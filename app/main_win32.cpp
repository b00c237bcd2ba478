// Entry point of the editor on Windows. Like the Linux entry it takes no command line and
// reads its assets from the working directory.
#include <windows.h>

#include "app/editor.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunEditor(); }
