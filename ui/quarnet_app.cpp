#include "ui/quarnet_app.h"

#include <QFont>

#include "ui/app_icon.h"
#include "ui/quarnet_dlg.h"

namespace quarnet {

CQuarnetApp::CQuarnetApp(int& argc, char** argv) : QApplication(argc, argv) {
  setFont(QFont("Noto Serif CJK SC", 9));
  setWindowIcon(AppIcon());
  // Lets the desktop match the window to the installed entry and its icon.
  setDesktopFileName(QStringLiteral(QUARNET_APP_ID));
}

int CQuarnetApp::InitInstance() {
  CQuarnetDlg dialog;
  m_pMainWnd = &dialog;
  dialog.exec();
  m_pMainWnd = nullptr;
  return 0;
}

}  // namespace quarnet
