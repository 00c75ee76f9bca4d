#pragma once
// The application: runs the main window modally and ends when it closes.
#include <QApplication>

namespace quarnet {

class CQuarnetDlg;

class CQuarnetApp : public QApplication {
  Q_OBJECT

 public:
  // Sets the dialogs' 9-point font, which renders the Chinese texts, and
  // the application icon.
  CQuarnetApp(int& argc, char** argv);

  // Runs the main window until it closes, however it closes; returns 0.
  int InitInstance();

  // The main window while InitInstance runs it, else null.
  CQuarnetDlg* m_pMainWnd = nullptr;
};

}  // namespace quarnet
