// quarnet-screenshots.exe --lang zh|en DIR: shows each window of quarnet.exe
// in turn and writes what the screen shows of it, frame and caption
// included, to DIR/<name>.bmp: the main window in both package file types
// and both update modes, the product dialog with a version ticked, the
// About box, the package view, the progress dialog of a long job, the boxes
// of a job's three outcomes and the question before quitting during a job.
// The window runs on a thread of its own, driven from this one through its
// controls' messages, and through the calls that a job makes for its
// dialogs and boxes. Needs a display on which nothing covers the windows.
//   --small-screen: only the main window on a screen too small for it
//     (150 % on 1024x768), at its start and scrolled to its far end.
//   --installer SETUP: the installer's pages instead, pressed through as a
//     person would; Finish with "Run Quarnet" ticked must start the
//     installed window in the language of the pages, --lang's.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "apps/quarnet/demo_package.h"
#include "package/job_control.h"
#include "platform/errors.h"
#include "ui/control_ids.h"
#include "ui/package_view_dialog.h"
#include "ui/win32/quarnet_window.h"
#include "ui/win32/window_search.h"

#include <commctrl.h>

namespace quarnet::win32 {
namespace {

constexpr int kMessageText = 0xFFFF;  // the text of a system message box
constexpr int kVersionRow = 4;        // the version ticked in the product dialog
constexpr int kStageText = 197;       // "Building the new package..."
constexpr int kPackageText = 104;     // "Package"


// A picture of `width` x `height` pixels, rows from the top, each pixel
// 0x00RRGGBB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

void PutLittleEndian(std::vector<char>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// BMP: a 14-byte file header, a 40-byte BITMAPINFOHEADER, then 32-bit
// BI_RGB pixels (B, G, R, unused), rows from the bottom.
std::vector<char> EncodeBmp(const Picture& picture) {
  constexpr std::uint32_t kHeaders = 14 + 40;
  const auto w = static_cast<std::uint32_t>(picture.width);
  const auto h = static_cast<std::uint32_t>(picture.height);
  std::vector<char> out{'B', 'M'};
  PutLittleEndian(out, kHeaders + 4 * w * h, 4);  // file size
  PutLittleEndian(out, 0, 4);                     // reserved
  PutLittleEndian(out, kHeaders, 4);              // offset of the pixels
  PutLittleEndian(out, 40, 4);                    // size of the info header
  PutLittleEndian(out, w, 4);
  PutLittleEndian(out, h, 4);   // positive: bottom-up
  PutLittleEndian(out, 1, 2);   // planes
  PutLittleEndian(out, 32, 2);  // bits per pixel
  PutLittleEndian(out, 0, 4);   // BI_RGB
  PutLittleEndian(out, 4 * w * h, 4);
  PutLittleEndian(out, 3780, 4);  // 96 dpi as pixels per metre, across
  PutLittleEndian(out, 3780, 4);  // and down
  PutLittleEndian(out, 0, 4);     // colours used: all
  PutLittleEndian(out, 0, 4);     // important colours: all
  for (std::uint32_t row = h; row-- > 0;) {
    for (std::uint32_t x = 0; x < w; ++x) PutLittleEndian(out, picture.pixels[row * w + x] & 0xFFFFFF, 4);
  }
  return out;
}

// What the screen shows in `window`'s rectangle.
Picture Grab(HWND window) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  Picture picture{rect.right - rect.left, rect.bottom - rect.top, {}};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC screen = ::GetDC(nullptr);
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
    ::GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    picture.pixels.assign(first, first + picture.width * picture.height);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return picture;
}

// Has `window` drawn anew, gives the display time to show it, then saves
// what the screen shows of it to DIR/NAME.bmp.
bool SaveWindow(HWND window, const std::filesystem::path& dir, const char* name) {
  if (window == nullptr) {
    std::fprintf(stderr, "quarnet-screenshots: no window for %s\n", name);
    return false;
  }
  // The caption as the active window's, as a person at the window sees
  // it: the display's focus need not be on it yet.
  ::SendMessageW(window, WM_NCACTIVATE, TRUE, 0);
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  ::Sleep(500);
  const Picture picture = Grab(window);
  const std::filesystem::path path = dir / (std::string(name) + ".bmp");
  const std::vector<char> bytes = EncodeBmp(picture);
  std::ofstream file(path, std::ios::binary);
  if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
    std::fprintf(stderr, "quarnet-screenshots: cannot write %s\n", path.string().c_str());
    return false;
  }
  std::printf("%s\n", path.string().c_str());
  return true;
}

// The job reports behind the outcome boxes.
void ReportSuccess() {
  SetVerifiedSummary(
      "Verified: 8 items, 3008-byte header, all checksums; 4 image items identical to the original; 3 files added",
      {8, 3008, 4, 3});
  SetOutputPath("C:\\Users\\tech\\out\\V200R005C10_site-a.bin");
}

// A compact original whose records disagree with its items.
void ReportWarnings() {
  ReportSuccess();
  AddWarning("the original package has no product list, so the new package has none", WarningKind::kNoProductList);
  AddWarning("the original package's item 1 (KERNEL): its record says CRC 0x00000000, its bytes have CRC 0x5d0b1f2e; "
             "repacked with its bytes",
             WarningKind::kOriginalCrc);
}

// The original repacked with the site's configuration file: what the new
// package holds against it.
void ReportWhatChanged() {
  SetVerifiedSummary(
      "Verified: 7 items, 2648-byte header, all checksums; 4 image items identical to the original; 1 file added",
      {7, 2648, 4, 1});
  SetAgainstOriginal(DemoRepackDiff());
  SetOutputPath("C:\\Users\\tech\\out\\V200R005C10_site-a.bin");
}

// A job folder beside a new package on a write-protected drive.
void ReportReadOnlyOutput() {
  const os::Error error = os::kSystemCode - ERROR_WRITE_PROTECT;
  SetSystemFailure("mkdir E:\\.quarnet-job-XXXXXX: " + os::Describe(error), FailureKind::kOutputFolder, "E:\\", error);
}

// An output that another program holds open.
void ReportHeldOutput() {
  const std::string output = "C:\\Users\\tech\\out\\V200R005C10_site-a.bin";
  SetSystemFailure("rename " + output + ": " + os::Describe(os::kInUse), FailureKind::kInUse, output, os::kInUse);
}

void ReportCancel() { SetFailureReason("cancelled", FailureKind::kCancelled); }

class Shooter {
 public:
  Shooter(Language language, std::filesystem::path dir, bool smallScreen)
      : language_(language), dir_(std::move(dir)), smallScreen_(smallScreen) {}

  // The window's run, from its first picture to its end; false if any
  // picture is missing.
  bool Run() {
    std::promise<QuarnetWindow*> started;
    std::thread thread([this, &started] {
      QuarnetWindow window(language_);
      ui_ = ::GetCurrentThreadId();
      started.set_value(&window);
      window.Run();
    });
    window_ = started.get_future().get();
    main_ = WaitForWindow(ui_, [](HWND w) { return ::GetDlgItem(w, idc::kPackageButton) != nullptr; });
    const bool ok = main_ != nullptr && (smallScreen_ ? SmallScreen()
                                                      : MainWindow() && Products() && About() && View() && Progress() &&
                                                            Outcomes() && Question());
    Close();
    thread.join();
    return ok;
  }

 private:
  // Ends the boxes that a failed step left open, then the window.
  void Close() const {
    if (main_ == nullptr) return;
    while (HWND box = WaitForWindow(ui_, [this](HWND w) { return w != main_; }, 1)) ::SendMessageW(box, WM_CLOSE, 0, 0);
    ::PostMessageW(main_, WM_COMMAND, IDCANCEL, 0);
  }
  HWND Item(HWND dialog, int id) const { return ::GetDlgItem(dialog, id); }
  void Click(HWND dialog, int id) const { ::SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
  void SetPath(int id, const wchar_t* path) const {
    ::SendMessageW(Item(main_, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  }
  // Runs `call` on the window's thread, later: a dialog that it opens
  // keeps this thread free to take its picture.
  void OnWindowThread(std::function<void()> call) const { window_->PostFromJob(std::move(call)); }

  bool Save(HWND window, const char* name) const { return SaveWindow(window, dir_, name); }

  // Saves the dialog that has control `id` and ends it with button `end`.
  bool SaveDialog(int id, const char* name, int end) const {
    const HWND dialog = WaitForWindow(ui_, [this, id](HWND w) { return ::GetDlgItem(w, id) != nullptr && w != main_; });
    const bool ok = Save(dialog, name);
    if (dialog != nullptr) ::PostMessageW(Item(dialog, end), BM_CLICK, 0, 0);
    return ok && WaitUntilGone(dialog);
  }

  void SetPaths() const {
    SetPath(idc::kOriginalPackageEdit, L"C:\\Users\\tech\\firmware\\V200R005C10_orig.bin");
    SetPath(idc::kConfigFileEdit, L"C:\\Users\\tech\\site-a\\qz_ctree.xml");
    SetPath(idc::kNewPackageEdit, L"C:\\Users\\tech\\out\\V200R005C10_site-a.bin");
  }

  bool MainWindow() const {
    SetPaths();
    bool ok = Save(main_, "main-config-file");
    Click(main_, idc::kConfigPackRadio);
    SetPath(idc::kConfigPackEdit, L"C:\\Users\\tech\\site-a\\customize_xml.tar.gz");
    ok &= Save(main_, "main-config-pack-factory");
    ChooseNormalUpdate();
    SetPath(idc::kUpdateScriptEdit, L"C:\\Users\\tech\\site-a\\customize_upgrade.tar.gz");
    return Save(main_, "main-config-pack-normal") && ok;
  }

  // The window on a screen too small for it, with its scroll bars, then
  // scrolled to its far end, where Package and Close are.
  bool SmallScreen() const {
    if ((::GetWindowLongPtrW(main_, GWL_STYLE) & WS_VSCROLL) == 0) {
      std::fputs("quarnet-screenshots: the window fits the screen and does not scroll\n", stderr);
      return false;
    }
    SetPaths();
    const bool ok = Save(main_, "main-small-screen");
    ::SendMessageW(main_, WM_HSCROLL, SB_BOTTOM, 0);
    ::SendMessageW(main_, WM_VSCROLL, SB_BOTTOM, 0);
    return Save(main_, "main-small-screen-end") && ok;
  }

  // The update mode that takes an update script, as if chosen in the list.
  void ChooseNormalUpdate() const {
    const HWND combo = Item(main_, idc::kUpdateModeCombo);
    const std::wstring text = Widen(Text(143, language_));
    const LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(text.c_str()));
    ::SendMessageW(combo, CB_SETCURSEL, index, 0);
    ::SendMessageW(main_, WM_COMMAND, MAKEWPARAM(idc::kUpdateModeCombo, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(combo));
  }

  // A tick set through the list view's messages, which the dialog hears as
  // the user's.
  bool Products() const {
    OnWindowThread([this] { window_->RunProductDialog(); });
    const HWND dialog = WaitForWindow(ui_, [](HWND w) { return ::GetDlgItem(w, idc::kVersionsList) != nullptr; });
    if (dialog != nullptr) {
      LVITEMW tick{};
      tick.stateMask = LVIS_STATEIMAGEMASK;
      tick.state = INDEXTOSTATEIMAGEMASK(2);
      ::SendMessageW(Item(dialog, idc::kVersionsList), LVM_SETITEMSTATE, kVersionRow, reinterpret_cast<LPARAM>(&tick));
    }
    return SaveDialog(idc::kVersionsList, "product-selection", idc::kCancel);
  }

  bool About() const {
    ::PostMessageW(main_, WM_SYSCOMMAND, idc::kIdmAboutBox, 0);
    return SaveDialog(kAboutNameLabel, "about", idc::kOk);
  }

  bool View() const {
    OnWindowThread([this] {
      const std::string original = "C:\\Users\\tech\\firmware\\V200R005C10_orig.bin";
      window_->RunPackageView({PackageViewText(DemoFacts(), original, language_),
                               PackageViewItems(DemoFacts(), language_), [](std::size_t) {}});
    });
    return SaveDialog(idc::kPackageViewText, "package-view", idc::kOk);
  }

  // The dialog as a long job shows it, closed by the job's end rather than
  // by its Cancel button.
  bool Progress() const {
    OnWindowThread([this] {
      window_->ShowProgress(0);
      window_->UpdateProgress(42, kStageText);
    });
    const HWND dialog = WaitForWindow(ui_, [](HWND w) { return ::GetDlgItem(w, idc::kJobProgressBar) != nullptr; });
    const bool ok = Save(dialog, "job-progress");
    OnWindowThread([this] { window_->CloseProgress(); });
    return ok && WaitUntilGone(dialog);
  }

  // The box that the window shows for the job report that `report` leaves,
  // on the window's thread, whose job the window reads.
  bool Outcome(void (*report)(), int stringId, const char* name) const {
    OnWindowThread([this, report, stringId] {
      ResetJobReport();
      report();
      window_->ShowMessage(window_->Logic().Outcome(stringId));
    });
    return SaveDialog(kMessageText, name, IDOK);
  }

  bool Outcomes() const {
    const struct {
      void (*report)();
      int stringId;
      const char* name;
    } kBoxes[] = {{ReportSuccess, kTextRepackSuccess, "outcome-success"},
                  {ReportWarnings, kTextRepackSuccess, "outcome-warnings"},
                  {ReportWhatChanged, kTextRepackSuccess, "outcome-what-changed"},
                  {ReportReadOnlyOutput, kTextRepackFailed, "outcome-failure"},
                  {ReportHeldOutput, kTextRepackFailed, "outcome-held-file"},
                  {ReportCancel, kTextRepackFailed, "outcome-cancelled"}};
    bool ok = true;
    for (const auto& box : kBoxes) ok = ok && Outcome(box.report, box.stringId, box.name);
    return ok;
  }

  // The question before quitting during a job, answered No.
  bool Question() const {
    OnWindowThread([this] {
      window_->ShowMessage({MessageKind::kQuestion, Text(132, language_), Text(173, language_), {}});
    });
    if (!SaveDialog(kMessageText, "close-question", IDNO)) return false;
    OnWindowThread([this] { window_->ShowMessage(window_->Logic().CheckQuestion(DemoFindings())); });
    return SaveDialog(kMessageText, "check-question", IDNO);
  }

  Language language_;
  std::filesystem::path dir_;
  bool smallScreen_;
  QuarnetWindow* window_ = nullptr;
  DWORD ui_ = 0;
  HWND main_ = nullptr;
};

// The installer, its pages pressed through by their first button, each
// saved once it shows; its finish page is the first with a tick box.
class InstallerShooter {
 public:
  InstallerShooter(Language language, std::filesystem::path dir) : language_(language), dir_(std::move(dir)) {}

  bool Run(std::wstring setup) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    setup = L"\"" + setup + L"\"";
    if (!::CreateProcessW(nullptr, setup.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      std::fputs("quarnet-screenshots: the installer does not start\n", stderr);
      return false;
    }
    ::CloseHandle(process.hThread);
    window_ = WaitForWindow(process.dwThreadId, [](HWND w) { return ::GetDlgItem(w, IDOK) != nullptr; });
    bool ok = window_ != nullptr;
    for (const char* name : {"installer-welcome", "installer-licence", "installer-users", "installer-folder"}) {
      ok = ok && NextPage([](HWND) { return true; }) != nullptr && SaveWindow(window_, dir_, name) && Press(IDOK);
    }
    // The files take their time; the finish page comes by itself, its
    // "Run Quarnet" ticked.
    const HWND finish = ok ? NextPage([](HWND page) { return Tick(page) != nullptr; }, 12000) : nullptr;
    const HWND run = finish != nullptr ? Tick(finish) : nullptr;
    if (run != nullptr && ::SendMessageW(run, BM_GETCHECK, 0, 0) != BST_CHECKED) ::SendMessageW(run, BM_CLICK, 0, 0);
    ok = ok && run != nullptr && SaveWindow(window_, dir_, "installer-finish") && Press(IDOK);
    DWORD status = 1;
    ok = ok && ::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
         ::GetExitCodeProcess(process.hProcess, &status) && status == 0;
    if (!ok) ::TerminateProcess(process.hProcess, 1);
    ::CloseHandle(process.hProcess);
    return ok && RanQuarnet();
  }

 private:
  // A page of the installer's other than the last one seen, that `match`
  // accepts.
  HWND NextPage(const std::function<bool(HWND)>& match, int tries = 2000) {
    for (int i = 0; i < tries; ++i) {
      const HWND page = ::FindWindowExW(window_, nullptr, L"#32770", nullptr);
      if (page != nullptr && page != page_ && ::IsWindowVisible(page) && match(page)) {
        page_ = page;
        return page;
      }
      ::Sleep(10);
    }
    return nullptr;
  }
  bool Press(int id) const { return ::PostMessageW(::GetDlgItem(window_, id), BM_CLICK, 0, 0) != 0; }

  // The tick box of `page`, or null.
  static HWND Tick(HWND page) {
    HWND found = nullptr;
    ::EnumChildWindows(
        page,
        [](HWND child, LPARAM data) -> BOOL {
          const auto type = ::GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
          wchar_t kind[16] = {};
          ::GetClassNameW(child, kind, 16);
          if (std::wstring(kind) != L"Button" || (type != BS_AUTOCHECKBOX && type != BS_CHECKBOX)) return TRUE;
          *reinterpret_cast<HWND*>(data) = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }

  // Quarnet's window, started by Finish, speaks the pages' language; it is
  // closed again.
  bool RanQuarnet() const {
    const std::wstring package = Widen(Text(kPackageText, language_));
    const HWND quarnet = WaitForWindow(0, [&package](HWND w) {
      wchar_t text[64] = {};
      return ::GetDlgItemTextW(w, idc::kPackageButton, text, 64) > 0 && package == text;
    }, 6000);
    if (quarnet == nullptr) {
      std::fputs("quarnet-screenshots: Finish did not run Quarnet in the installer's language\n", stderr);
      return false;
    }
    std::puts("Finish ran Quarnet");
    ::PostMessageW(quarnet, WM_COMMAND, IDCANCEL, 0);
    return WaitUntilGone(quarnet);
  }

  Language language_;
  std::filesystem::path dir_;
  HWND window_ = nullptr;
  HWND page_ = nullptr;
};

}  // namespace
}  // namespace quarnet::win32

int main(int argc, char** argv) {
  using quarnet::Language;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const bool smallScreen = args.size() == 4 && args[2] == "--small-screen";
  const bool installer = args.size() == 5 && args[2] == "--installer";
  if ((args.size() != 3 && !smallScreen && !installer) || args[0] != "--lang" || (args[1] != "zh" && args[1] != "en")) {
    std::fputs("Usage: quarnet-screenshots --lang zh|en [--small-screen | --installer SETUP] DIR\n", stderr);
    return 2;
  }
  const Language language = args[1] == "zh" ? Language::kChinese : Language::kEnglish;
  const std::filesystem::path dir = quarnet::win32::Widen(args.back());
  if (installer) return quarnet::win32::InstallerShooter(language, dir).Run(quarnet::win32::Widen(args[3])) ? 0 : 1;
  return quarnet::win32::Shooter(language, dir, smallScreen).Run() ? 0 : 1;
}
