#include "ui/quarnet_app.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <cstdio>

#include "package/job_control.h"
#include "ui/app_icon.h"
#include "ui/quarnet_dlg.h"

namespace quarnet {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The handler writes the signal's number to one end; the GUI thread reads
// it from the other.
int signalSockets[2] = {-1, -1};
// The first signal to arrive, for the exit status.
std::atomic<int> firstSignal{0};

// Asks a running job to stop at once, so that it stops even while the GUI
// thread is busy, and wakes the GUI thread.
void HandleSignal(int signalNumber) {
  const int savedErrno = errno;
  int none = 0;
  firstSignal.compare_exchange_strong(none, signalNumber);
  RequestCancelBySignal(signalNumber);
  const char byte = static_cast<char>(signalNumber);
  if (::write(signalSockets[0], &byte, 1) < 0) {
    // The socket is full: a signal is already waiting to be read.
  }
  errno = savedErrno;
}

}  // namespace

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
  WatchSignals();
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

void CQuarnetApp::WatchSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalSockets) != 0) return;
  auto* notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, &CQuarnetApp::OnSignal);
  CatchEndingSignals();
}

void CQuarnetApp::CatchEndingSignals() {
  if (signalSockets[0] < 0) return;
  struct sigaction action = {};
  action.sa_handler = HandleSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // the job's reads and writes go on to its next block
  for (const int signalNumber : kEndingSignals) sigaction(signalNumber, &action, nullptr);
}

void CQuarnetApp::OnSignal() {
  char byte = 0;
  while (::read(signalSockets[1], &byte, 1) == 1) {
    const int signalNumber = static_cast<unsigned char>(byte);
    if (m_pMainWnd == nullptr) {
      ::signal(signalNumber, SIG_DFL);
      ::raise(signalNumber);
      continue;
    }
    m_pMainWnd->EndForSignal(signalNumber);
  }
}

int CQuarnetApp::InitInstance() {
  CQuarnetDlg dialog(nullptr, RealDialogs(), language_);
  m_pMainWnd = &dialog;
  dialog.exec();
  m_pMainWnd = nullptr;
  const int signalNumber = firstSignal.load();
  return signalNumber == 0 ? 0 : 128 + signalNumber;
}

}  // namespace quarnet
