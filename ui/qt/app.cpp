#include "ui/qt/app.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <cstdio>

#include "platform/process.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/main_window.h"

namespace quarnet {

CQuarnetApp::CQuarnetApp(int& argc, char** argv, Language language) : QApplication(argc, argv) {
  // Latin text (paths, the English window) in the desktop's own UI font;
  // Chinese characters, which that font may lack, from a CJK font. The
  // desktop may name its font by an alias ("Sans Serif"), which a list of
  // families would pass over: the list starts with the font it stands for.
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setFamilies({QFontInfo(font).family(), QStringLiteral("Noto Sans CJK SC")});
  setFont(font);
  setWindowIcon(AppIcon());
  // Lets the desktop match the window to the installed entry and its icon.
  setDesktopFileName(QStringLiteral(QUARNET_APP_ID));
  // Qt's file dialog stores its history and last folder in the user's
  // settings; the program keeps nothing between runs, so Qt's settings live
  // in a folder of this run, removed when it ends.
  if (qtSettings_.isValid()) QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, qtSettings_.path());
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
  CQuarnetDlg dialog(nullptr, RealDialogs(), language_, true);
  m_pMainWnd = &dialog;
  dialog.exec();
  m_pMainWnd = nullptr;
  const int signalNumber = os::StopSignal();
  return signalNumber == 0 ? 0 : 128 + signalNumber;
}

}  // namespace quarnet
