// quarnet.exe: the window on Windows.
#include "ui/win32/app.h"

int main(int argc, char** argv) { return quarnet::win32::Main(argc, argv); }
