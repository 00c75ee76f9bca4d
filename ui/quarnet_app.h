#pragma once
// The application: runs the main window modally and ends when it closes.
#include <QApplication>

namespace quarnet {

class CQuarnetDlg;

class CQuarnetApp : public QApplication {
  Q_OBJECT

 public:
  // Sets the dialogs' 9-point font, which renders the Chinese texts, and
  // the application icon; SIGINT, SIGTERM and SIGHUP from here on end the
  // main window (see OnSignal).
  CQuarnetApp(int& argc, char** argv);

  // Runs the main window until it closes, however it closes. Returns 0, or
  // 128 + the signal that ended it.
  int InitInstance();

  // The main window while InitInstance runs it, else null.
  CQuarnetDlg* m_pMainWnd = nullptr;

  // (Re)installs the handlers of SIGINT, SIGTERM and SIGHUP, over any that
  // were installed since the application started.
  static void CatchEndingSignals();

 private:
  void WatchSignals();
  // A signal reached the program: the main window ends its job, if any,
  // and then closes; without a main window the signal takes its default
  // course.
  void OnSignal();
};

}  // namespace quarnet
