// quarnet: the desktop program.
#include "ui/quarnet_app.h"

int main(int argc, char** argv) {
  quarnet::CQuarnetApp theApp(argc, argv);
  return theApp.InitInstance();
}
