// packall: the package-building engine as a command.
#include "basic/packall.h"

int main(int argc, char** argv) { return quarnet::PackAll(argc, argv); }
