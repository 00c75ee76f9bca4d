#include "ui/win32/quarnet_window.h"

#include <commctrl.h>
#include <windowsx.h>
#include <shobjidl.h>

#include <future>
#include <map>
#include <thread>
#include <vector>

#include "ui/about_dialog.h"
#include "ui/control_ids.h"
#include "ui/package_view_dialog.h"
#include "ui/product_dialog.h"

namespace quarnet::win32 {
namespace {

// Messages that the job's thread posts to the window.
constexpr UINT kCallMessage = WM_APP + 1;      // lParam: PendingCall*, waited for
constexpr UINT kPostMessage = WM_APP + 2;      // lParam: std::function<void()>*, owned
constexpr UINT kJobEndedMessage = WM_APP + 3;  // the job's thread is about to end
constexpr UINT_PTR kProgressTimer = 1;

struct PendingCall {
  const std::function<void()>& call;
  std::promise<void> done;
};

// "description|pattern||" as the file dialog's pairs of description and
// pattern, which point into `texts`.
std::vector<COMDLG_FILTERSPEC> FilterSpecs(std::string_view filter, std::vector<std::wstring>& texts) {
  const std::wstring list = Widen(std::string(filter));
  for (std::size_t at = 0, bar = 0; (bar = list.find(L'|', at)) != std::wstring::npos && bar > at; at = bar + 1)
    texts.push_back(list.substr(at, bar - at));
  std::vector<COMDLG_FILTERSPEC> specs;
  for (std::size_t i = 0; i + 1 < texts.size(); i += 2) specs.push_back({texts[i].c_str(), texts[i + 1].c_str()});
  return specs;
}

// A COM object's reference, released at the end of its scope.
template <class T>
struct ComRef {
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (p != nullptr) p->Release();
  }
  T* operator->() const { return p; }
  T* p = nullptr;
};

// COM on the window's thread while the object lives.
struct ComScope {
  ComScope() : ok(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComScope() {
    if (ok) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  bool ok;
};

// While a system message box shows, its buttons speak the window's
// language, each with its key: a hook renames them when the box becomes
// active.
class ButtonTexts {
 public:
  explicit ButtonTexts(Language language) {
    for (const auto& [button, textId] : kButtons) texts_[button] = Widen(Text(textId, language));
    hook_ = ::SetWindowsHookExW(WH_CBT, Rename, nullptr, ::GetCurrentThreadId());
  }
  ~ButtonTexts() {
    if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
  }
  ButtonTexts(const ButtonTexts&) = delete;
  ButtonTexts& operator=(const ButtonTexts&) = delete;

 private:
  static constexpr std::pair<int, int> kButtons[] = {{IDOK, kTextOk}, {IDYES, kTextYes}, {IDNO, kTextNo}};

  static LRESULT CALLBACK Rename(int code, WPARAM wParam, LPARAM lParam) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE) {
      for (const auto& [button, textId] : kButtons) {
        if (::GetDlgItem(box, button) != nullptr) ::SetDlgItemTextW(box, button, texts_[button].c_str());
      }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static inline thread_local std::map<int, std::wstring> texts_;
  HHOOK hook_;
};

UINT MessageStyle(MessageKind kind) {
  switch (kind) {
    case MessageKind::kInformation: return MB_OK | MB_ICONINFORMATION;
    case MessageKind::kWarning: return MB_OK | MB_ICONWARNING;
    case MessageKind::kError: return MB_OK | MB_ICONERROR;
    case MessageKind::kQuestion: return MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
    case MessageKind::kNotice: break;
  }
  return MB_OK;
}

// The About box's name and copyright lines.
class AboutWindow : public DialogWindow {
 public:
  explicit AboutWindow(Language language) : DialogWindow(kAboutTemplate, AboutDialog::kLayout, language) {}

 protected:
  void OnCreated() override {
    SetText(kAboutNameLabel, AboutDialog::kNameLine);
    SetText(kAboutCopyrightLabel, AboutDialog::kCopyright);
  }
};

HICON LoadAppIcon(int sizeMetric) {
  const int size = ::GetSystemMetrics(sizeMetric);
  return static_cast<HICON>(
      ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON, size, size, 0));
}

BOOL CALLBACK CancelOne(HWND window, LPARAM mainWindow) {
  if (window != reinterpret_cast<HWND>(mainWindow) && ::IsWindowVisible(window)) {
    // Cancel ends a file dialog, an OK box or a dialog; No a question.
    ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    ::PostMessageW(window, WM_COMMAND, IDNO, 0);
  }
  return TRUE;
}

}  // namespace

struct QuarnetWindow::Progress {
  explicit Progress(Language language)
      : window(kProgressTemplate, ProgressDialog::kLayout, language), logic(window, language) {}
  DialogWindow window;
  ProgressDialog logic;
  int percent = 0;
  int stageTextId = 0;
};

QuarnetWindow::QuarnetWindow(Language language)
    : DialogWindow(kMainTemplate, MainDialog::kLayout, language), dialog_(*this, language) {}

QuarnetWindow::~QuarnetWindow() {
  if (bigIcon_ != nullptr) ::DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
}

// The bar classes hold the tooltip.
void QuarnetWindow::Run() {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);
  RunModal(nullptr, dialog_);
}

// The icon in the title bar and task bar; the About item below a separator
// in the window menu.
void QuarnetWindow::OnCreated() {
  AcceptFileDrops();
  bigIcon_ = LoadAppIcon(SM_CXICON);
  smallIcon_ = LoadAppIcon(SM_CXSMICON);
  ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  const HMENU menu = ::GetSystemMenu(Handle(), FALSE);
  if (menu == nullptr) return;
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  for (const auto& [command, textId] : MainDialog::kMenuItems)
    ::AppendMenuW(menu, MF_STRING, command, Widen(Text(textId, GetLanguage())).c_str());
}

bool QuarnetWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  result = TRUE;
  switch (message) {
    case WM_SYSCOMMAND: return dialog_.OnSysCommand(static_cast<unsigned>(wParam));
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != Handle()) return false;
      ShowAboutMenu(lParam);
      return true;
    case WM_TIMER:
      if (wParam != kProgressTimer) return false;
      ::KillTimer(Handle(), kProgressTimer);
      OpenProgress();
      return true;
    case WM_SETCURSOR:
      if (!jobRunning_) return false;
      ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
      ::SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, TRUE);
      return true;
    case kCallMessage: {
      auto* pending = reinterpret_cast<PendingCall*>(lParam);
      pending->call();
      pending->done.set_value();
      return true;
    }
    case kPostMessage: {
      const std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lParam));
      (*call)();
      return true;
    }
    case kJobEndedMessage:
      CloseProgress();
      jobEnded_ = true;
      // Wakes RunJob's loop when a loop inside a sent message took this.
      ::PostMessageW(Handle(), WM_NULL, 0, 0);
      return true;
    case WM_ENDSESSION:
      if (wParam == FALSE || !jobRunning_) return false;
      EndSessionDuringJob();
      return true;
    default: return false;
  }
}

// The session ends (log off, shut down) while a job runs: the job stops as
// the console's close stops it on the command line, and the session goes
// on ending once the job has removed its files. A job that waits for a box
// has none to remove; the wait ends after a few seconds then.
void QuarnetWindow::EndSessionDuringJob() {
  constexpr int kConsoleClosed = 1;  // SIGHUP
  dialog_.OnSignal(kConsoleClosed);
  const ULONGLONG deadline = ::GetTickCount64() + 4000;
  MSG message;
  while (!jobEnded_ && ::GetTickCount64() < deadline) {
    if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) continue;
    while (!jobEnded_ && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

// A right-click on the window's background offers the About box, as the
// window menu does; from the keyboard the menu shows at the window's corner.
void QuarnetWindow::ShowAboutMenu(LPARAM at) {
  POINT point{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
  if (at == -1) {
    point = {};
    ::ClientToScreen(Handle(), &point);
  }
  const HMENU menu = ::CreatePopupMenu();
  for (const auto& [command, textId] : MainDialog::kMenuItems)
    ::AppendMenuW(menu, MF_STRING, command, Widen(Text(textId, GetLanguage())).c_str());
  const UINT chosen = static_cast<UINT>(::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0,
                                                          Handle(), nullptr));
  ::DestroyMenu(menu);
  if (chosen != 0) dialog_.OnSysCommand(chosen);
}

HWND QuarnetWindow::Top() const { return view_ != nullptr && view_->Handle() != nullptr ? view_->Handle() : Handle(); }

HWND QuarnetWindow::Owner() const {
  return progress_ != nullptr && progress_->window.Handle() != nullptr ? progress_->window.Handle() : Top();
}

// The box's details follow its text after a blank line: a system message
// box has no place of their own for them.
bool QuarnetWindow::ShowMessage(const MessageBoxContent& message) {
  std::string text = message.text;
  if (!message.details.empty()) text += "\n\n" + message.details;
  const ButtonTexts buttons(GetLanguage());
  const int answer = ::MessageBoxW(Owner(), Widen(text).c_str(), Widen(message.caption).c_str(),
                                   MessageStyle(message.kind));
  return answer == IDOK || answer == IDYES;
}

// The system's common item dialog: it leaves the program's working folder
// as it was, gives only paths of the file system, and has no limit on a
// path's length. An open dialog takes an existing file; a save dialog asks
// before it replaces one.
std::optional<std::string> QuarnetWindow::ChooseFile(const FileRequest& request) {
  const ComScope com;
  ComRef<IFileDialog> dialog;
  if (FAILED(::CoCreateInstance(request.save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr,
                                CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.p))))
    return std::nullopt;
  std::vector<std::wstring> texts;
  const std::vector<COMDLG_FILTERSPEC> specs = FilterSpecs(ShownText(request.filterId, GetLanguage()), texts);
  dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
  if (!request.defaultSuffix.empty()) dialog->SetDefaultExtension(Widen(request.defaultSuffix).c_str());
  if (!request.name.empty()) dialog->SetFileName(Widen(request.name).c_str());
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options |= FOS_NOCHANGEDIR | FOS_FORCEFILESYSTEM | (request.save ? FOS_OVERWRITEPROMPT : FOS_FILEMUSTEXIST);
  dialog->SetOptions(options);
  ComRef<IShellItem> folder;
  if (!request.folder.empty() &&
      SUCCEEDED(::SHCreateItemFromParsingName(Widen(request.folder).c_str(), nullptr, IID_PPV_ARGS(&folder.p))))
    dialog->SetFolder(folder.p);
  ComRef<IShellItem> chosen;
  wchar_t* path = nullptr;
  if (FAILED(dialog->Show(Owner())) || FAILED(dialog->GetResult(&chosen.p)) ||
      FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)))
    return std::nullopt;
  const std::string result = Narrow(path);
  ::CoTaskMemFree(path);
  return result;
}

std::optional<std::string> QuarnetWindow::RunProductDialog() {
  DialogWindow window(kProductTemplate, ProductDialog::kLayout, GetLanguage());
  ProductDialog logic(window, GetLanguage());
  if (window.RunModal(Owner(), logic) != idc::kOk) return std::nullopt;
  return logic.ProductList();
}

void QuarnetWindow::RunAboutDialog() {
  AboutWindow about(GetLanguage());
  AboutDialog logic(about, GetLanguage());
  about.RunModal(Owner(), logic);
}

void QuarnetWindow::RunPackageView(const PackageViewContent& content) {
  DialogWindow view(kPackageViewTemplate, PackageViewDialog::kLayout, GetLanguage());
  PackageViewDialog logic(view, GetLanguage(), content);
  view_ = &view;
  view.RunModal(Owner(), logic);
  view_ = nullptr;
}

void QuarnetWindow::CancelDialogs() {
  ::EnumThreadWindows(::GetCurrentThreadId(), CancelOne, reinterpret_cast<LPARAM>(Handle()));
}

void QuarnetWindow::ShowProgress(int delayMs) {
  if (progress_ == nullptr) progress_ = std::make_unique<Progress>(GetLanguage());
  if (progress_->window.Handle() == nullptr) ::SetTimer(Handle(), kProgressTimer, static_cast<UINT>(delayMs), nullptr);
}

void QuarnetWindow::HoldProgress() { ::KillTimer(Handle(), kProgressTimer); }

void QuarnetWindow::UpdateProgress(int percent, int stageTextId) {
  if (progress_ == nullptr) return;
  progress_->percent = percent;
  progress_->stageTextId = stageTextId;
  if (progress_->window.Handle() == nullptr) return;
  ::SendMessageW(progress_->window.Control(idc::kJobProgressBar), PBM_SETPOS, percent, 0);
  progress_->logic.ShowStage(stageTextId);
}

void QuarnetWindow::OpenProgress() {
  if (progress_ == nullptr || progress_->window.Handle() != nullptr) return;
  const HWND window = progress_->window.Create(Top(), progress_->logic);
  if (window == nullptr) return;
  UpdateProgress(progress_->percent, progress_->stageTextId);
  ::ShowWindow(window, SW_SHOW);
}

void QuarnetWindow::CloseProgress() {
  ::KillTimer(Handle(), kProgressTimer);
  if (progress_ != nullptr && progress_->window.Handle() != nullptr) ::DestroyWindow(progress_->window.Handle());
}

// The window takes no input while the job runs; the progress dialog, once
// shown, does. Boxes that the job asks for come from this loop. A quit
// request that arrives meanwhile is kept for the loop outside.
void QuarnetWindow::RunJob(const std::function<void()>& job) {
  jobRunning_ = true;
  jobEnded_ = false;
  const HWND blocked = Top();
  ::EnableWindow(blocked, FALSE);
  std::thread thread([this, &job] {
    job();
    ::PostMessageW(Handle(), kJobEndedMessage, 0, 0);
  });
  bool quit = false;
  MSG message;
  while (!jobEnded_) {
    if (::GetMessageW(&message, nullptr, 0, 0) <= 0) {
      quit = true;
      continue;
    }
    const HWND progress = progress_ != nullptr ? progress_->window.Handle() : nullptr;
    if (progress != nullptr && ::IsDialogMessageW(progress, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  thread.join();
  progress_.reset();
  ::EnableWindow(blocked, TRUE);
  jobRunning_ = false;
  if (quit) ::PostQuitMessage(0);
}

void QuarnetWindow::CallFromJob(const std::function<void()>& call) {
  PendingCall pending{call, {}};
  std::future<void> done = pending.done.get_future();
  ::PostMessageW(Handle(), kCallMessage, 0, reinterpret_cast<LPARAM>(&pending));
  done.wait();
}

void QuarnetWindow::PostFromJob(std::function<void()> call) {
  auto* posted = new std::function<void()>(std::move(call));
  if (!::PostMessageW(Handle(), kPostMessage, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

}  // namespace quarnet::win32
