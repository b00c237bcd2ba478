// Entry point of the windowed editor. It takes no command line and reads its assets from
// the working directory (run.sh starts it from assets/).
#include "app/editor.h"

int main() { return RunEditor(); }
