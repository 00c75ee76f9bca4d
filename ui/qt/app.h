#pragma once
// The application: runs the main window modally and ends when it closes.
#include <QApplication>
#include <QTemporaryDir>
#include <QTranslator>

#include "ui/strings.h"

namespace quarnet {

class CQuarnetDlg;

class CQuarnetApp : public QApplication {
  Q_OBJECT

 public:
  // Sets the dialogs' font (the desktop's, with a CJK font for the Chinese
  // texts), the application icon and the language. SIGINT, SIGTERM and
  // SIGHUP during a job stop it and then end the main window; between jobs
  // they take their default course.
  CQuarnetApp(int& argc, char** argv, Language language = Language::kChinese);

  // The language of the windows and of Qt's own texts (file dialogs, the
  // fields' context menu, the message box's details button): Chinese loads
  // Qt's Chinese translation, English uses Qt's built-in texts.
  void SetLanguage(Language language);
  Language GetLanguage() const { return language_; }

  // Runs the main window until it closes, however it closes. Returns 0, or
  // 128 + the signal that ended it.
  int InitInstance();

  // The main window while InitInstance runs it, else null.
  CQuarnetDlg* m_pMainWnd = nullptr;


 private:
  Language language_ = Language::kChinese;
  QTranslator qtTexts_;
  // Where Qt keeps its settings during this run (see the constructor).
  QTemporaryDir qtSettings_;
};

}  // namespace quarnet
