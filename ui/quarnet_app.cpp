#include "ui/quarnet_app.h"

#include <QFont>
#include <QLibraryInfo>
#include <cstdio>

#include "ui/app_icon.h"
#include "ui/quarnet_dlg.h"

namespace quarnet {

CQuarnetApp::CQuarnetApp(int& argc, char** argv, Language language) : QApplication(argc, argv) {
  setFont(QFont("Noto Serif CJK SC", 9));
  setWindowIcon(AppIcon());
  SetLanguage(language);
}

void CQuarnetApp::SetLanguage(Language language) {
  language_ = language;
  removeTranslator(&qtTexts_);
  if (language != Language::kChinese) return;
  if (qtTexts_.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    installTranslator(&qtTexts_);
  } else {
    std::fputs("quarnet: Qt's Chinese texts (qtbase_zh_CN.qm) are missing; its dialogs show English.\n", stderr);
  }
}

int CQuarnetApp::InitInstance() {
  CQuarnetDlg dialog(nullptr, RealDialogs(), language_);
  m_pMainWnd = &dialog;
  dialog.exec();
  m_pMainWnd = nullptr;
  return 0;
}

}  // namespace quarnet
