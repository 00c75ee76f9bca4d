// The Windows window driven as a person would, through messages to its
// controls from a thread beside the window's own: the controls of each
// template, the enable rules, the boxes, the About box, the product dialog
// and whole jobs whose packages quarnet-cli accepts. Runs under wine's null
// graphics driver, without a display.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <set>
#include <future>
#include <thread>

#include "package/display_text.h"
#include "tests/support/package_check.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "ui/about_dialog.h"
#include "ui/control_ids.h"
#include "ui/product_dialog.h"
#include "ui/win32/quarnet_window.h"
#include "ui/win32/window_search.h"

#include <commctrl.h>
#include <shlobj.h>

namespace quarnet::test {
namespace {

using win32::Narrow;
using win32::Widen;

constexpr int kMessageText = 0xFFFF;  // the text of a system message box


std::string TextOf(HWND window) {
  std::wstring text(32768, L'\0');
  text.resize(::SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  return Narrow(text);
}

bool HasControl(HWND window, int id) { return ::GetDlgItem(window, id) != nullptr; }

// The first edit field that takes typing in `window`, or null.
HWND EditIn(HWND window) {
  HWND found = nullptr;
  ::EnumChildWindows(
      window,
      [](HWND w, LPARAM result) {
        wchar_t name[16] = {};
        ::GetClassNameW(w, name, 16);
        if (_wcsicmp(name, L"Edit") != 0 || !::IsWindowVisible(w) || !::IsWindowEnabled(w)) return TRUE;
        *reinterpret_cast<HWND*>(result) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Whether `holds` comes true within a second.
bool Eventually(const std::function<bool()>& holds) {
  for (int i = 0; i < 100 && !holds(); ++i) ::Sleep(10);
  return holds();
}

std::wstring CurrentFolder() {
  std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

RECT RectOf(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

// Whether `window` stands over the middle of `around`, to the pixel.
bool OverMiddleOf(HWND window, const RECT& around) {
  const RECT rect = RectOf(window);
  return std::abs(rect.left + rect.right - around.left - around.right) <= 1 &&
         std::abs(rect.top + rect.bottom - around.top - around.bottom) <= 1;
}

class Window : public ::testing::Test {
 protected:
  ~Window() override { Close(); }

  void Open(Language language = Language::kChinese, int progressDelayMs = 500) {
    std::promise<DWORD> started;
    ended_ = false;
    thread_ = std::thread([this, language, progressDelayMs, &started] {
      win32::QuarnetWindow window(language);
      window.Logic().progressDelayMs = progressDelayMs;
      started.set_value(::GetCurrentThreadId());
      window.Run();
      ended_ = true;
    });
    ui_ = started.get_future().get();
    main_ = WaitFor([](HWND w) { return HasControl(w, idc::kPackageButton); });
    ASSERT_NE(main_, nullptr);
  }

  // Ends the window: boxes above it are answered No or closed, and the
  // window is asked to close until its thread has ended (a job that still
  // runs asks first, and goes on after No).
  void Close() {
    if (!thread_.joinable()) return;
    const auto above = [this](HWND w) { return w != main_; };
    while (!ended_) {
      if (HWND open = win32::WaitForWindow(ui_, above, 1)) {
        ::PostMessageW(open, WM_COMMAND, IDNO, 0);
        ::PostMessageW(open, WM_CLOSE, 0, 0);
      } else {
        ::PostMessageW(main_, WM_COMMAND, IDCANCEL, 0);
      }
      ::Sleep(20);
    }
    thread_.join();
  }

  HWND WaitFor(const std::function<bool(HWND)>& match) const { return win32::WaitForWindow(ui_, match); }
  // A system message box's text, once it shows.
  std::string BoxText(HWND& box) {
    box = WaitFor([](HWND w) { return HasControl(w, kMessageText); });
    return box == nullptr ? "(no box)" : TextOf(::GetDlgItem(box, kMessageText));
  }

  HWND Item(int id, HWND dialog = nullptr) const { return ::GetDlgItem(dialog ? dialog : main_, id); }
  std::string Text(int id, HWND dialog = nullptr) const { return TextOf(Item(id, dialog)); }
  bool Checked(int id) const { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // A click whose handler returns at once, and one that opens a box.
  void Click(int id, HWND dialog = nullptr) { ::SendMessageW(Item(id, dialog), BM_CLICK, 0, 0); }
  void ClickLater(int id, HWND dialog = nullptr) { ::PostMessageW(Item(id, dialog), BM_CLICK, 0, 0); }
  void SetPath(int id, const std::string& path) {
    ::SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Widen(path).c_str()));
  }
  void ChooseUpdateMode(int textId) {
    const HWND combo = Item(idc::kUpdateModeCombo);
    const std::wstring text = Widen(quarnet::Text(textId, Language::kChinese));
    ::SendMessageW(combo, CB_SETCURSEL, ::SendMessageW(combo, CB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(text.c_str())), 0);
    ::SendMessageW(main_, WM_COMMAND, MAKEWPARAM(idc::kUpdateModeCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  }
  std::string In(const std::string& name) const { return Utf8(work_.path() / name); }
  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(ui_, &info);
    return info.hwndFocus;
  }
  void FocusOn(HWND control) {
    ::PostMessageW(::GetParent(control), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    for (int i = 0; i < 200 && Focus() != control; ++i) ::Sleep(10);
  }
  // `key` pressed on the focused control, as the keyboard gives it; waits
  // until the focus moves (a short while if it stays).
  void Press(UINT key) {
    const HWND before = Focus();
    ::PostMessageW(before, WM_KEYDOWN, key, 1);
    ::PostMessageW(before, WM_KEYUP, key, 0xC0000001);
    for (int i = 0; i < 50 && Focus() == before; ++i) ::Sleep(10);
  }
  // The tip of path field `id`, from the window's tooltip.
  std::string TipOf(int id) const {
    std::pair<HWND, HWND> tip{main_, nullptr};  // the owner, the tooltip
    ::EnumThreadWindows(
        ui_,
        [](HWND w, LPARAM found) {
          auto& [owner, tooltip] = *reinterpret_cast<std::pair<HWND, HWND>*>(found);
          wchar_t name[32] = {};
          ::GetClassNameW(w, name, 32);
          if (::GetWindow(w, GW_OWNER) == owner && std::wstring(name) == TOOLTIPS_CLASSW) tooltip = w;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&tip));
    std::wstring text(32768, L'\0');
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = main_;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(id));
    tool.lpszText = text.data();
    ::SendMessageW(tip.second, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
    return Narrow(text.c_str());
  }

  // Opens the window and starts a repack of a 64 MiB original.
  void StartLongJob(int progressDelayMs = 500) {
    std::vector<TestItem> items = OriginalItems();
    items[2].data = WithItemHead(kVersion, kHeadRootfs, Bytes(std::size_t{64} << 20, 0x5a));
    WriteBytes(In("big.bin"), LayOutPackage(items, kProducts));
    WriteText(In("cfg.xml"), "<config/>");
    Open(Language::kChinese, progressDelayMs);
    SetPath(idc::kOriginalPackageEdit, In("big.bin"));
    SetPath(idc::kConfigFileEdit, In("cfg.xml"));
    SetPath(idc::kNewPackageEdit, In("new.bin"));
    ClickLater(idc::kPackageButton);
  }

  TempDir work_;
  std::thread thread_;
  std::atomic<bool> ended_ = false;
  DWORD ui_ = 0;
  HWND main_ = nullptr;
};

// The controls that the file type and update mode switch, and their states
// in file mode, pack mode with factory update, pack mode with normal update.
constexpr int kSwitched[] = {idc::kConfigFileBrowse, idc::kAsDefaultCheck,   idc::kConfigPackBrowse,
                             idc::kUpdateModeLabel,  idc::kUpdateModeCombo,  idc::kUpdateScriptLabel,
                             idc::kUpdateScriptBrowse};
constexpr bool kFileMode[] = {true, true, false, false, false, false, false};
constexpr bool kFactoryMode[] = {false, false, true, true, true, false, false};
constexpr bool kNormalMode[] = {false, false, true, true, true, true, true};

void ExpectEnabled(HWND main, const bool (&expected)[7], const char* state) {
  for (std::size_t i = 0; i < std::size(kSwitched); ++i) {
    EXPECT_EQ(::IsWindowEnabled(::GetDlgItem(main, kSwitched[i])) != FALSE, expected[i]) << state << ": " << kSwitched[i];
  }
}

TEST_F(Window, OpensInFileModeInItsLanguage) {
  for (const Language language : {Language::kChinese, Language::kEnglish}) {
    Open(language);
    for (const ControlLayout& control : MainDialog::kLayout.controls) EXPECT_TRUE(HasControl(main_, control.id)) << control.id;
    EXPECT_EQ(TextOf(main_), "Quarnet");
    EXPECT_EQ(Text(idc::kPackageButton), quarnet::Text(104, language));
    EXPECT_EQ(Text(idc::kUpdateModeCombo), quarnet::Text(141, language));
    EXPECT_TRUE(Checked(idc::kConfigFileRadio));
    EXPECT_TRUE(Checked(idc::kAsDefaultCheck));
    ExpectEnabled(main_, kFileMode, "at start");
    wchar_t about[128] = {};
    ::GetMenuStringW(::GetSystemMenu(main_, FALSE), idc::kIdmAboutBox, about, 128, MF_BYCOMMAND);
    EXPECT_EQ(Narrow(about), quarnet::Text(MainDialog::kAboutItemTextId, language));
    Close();
  }
}

TEST_F(Window, EnableRulesFollowTheFileTypeAndTheUpdateMode) {
  Open();
  Click(idc::kConfigPackRadio);
  ExpectEnabled(main_, kFactoryMode, "pack, factory");
  ChooseUpdateMode(143);
  ExpectEnabled(main_, kNormalMode, "pack, normal");
  SetPath(idc::kUpdateScriptEdit, "script.tar.gz");
  ChooseUpdateMode(141);
  ExpectEnabled(main_, kFactoryMode, "pack, factory again");
  EXPECT_EQ(Text(idc::kUpdateScriptEdit), "");
  Click(idc::kConfigFileRadio);
  ExpectEnabled(main_, kFileMode, "file mode again");
  EXPECT_FALSE(Checked(idc::kConfigPackRadio));
}

// The package file type from the keyboard: Tab reaches the checked radio
// button, the arrow keys move between the two and choose, and Tab goes on
// into the fields of the chosen type.
TEST_F(Window, FileTypeFromTheKeyboard) {
  Open();
  FocusOn(Item(idc::kOriginalPackageBrowse));
  Press(VK_TAB);
  EXPECT_EQ(Focus(), Item(idc::kConfigFileRadio));
  Press(VK_DOWN);
  EXPECT_EQ(Focus(), Item(idc::kConfigPackRadio));
  EXPECT_TRUE(Eventually([&] { return Checked(idc::kConfigPackRadio) && ::IsWindowEnabled(Item(idc::kConfigPackBrowse)); }));
  ExpectEnabled(main_, kFactoryMode, "pack mode by key");
  Press(VK_TAB);
  EXPECT_EQ(Focus(), Item(idc::kConfigPackEdit));
  FocusOn(Item(idc::kOriginalPackageBrowse));
  Press(VK_TAB);
  EXPECT_EQ(Focus(), Item(idc::kConfigPackRadio));
  Press(VK_UP);
  EXPECT_TRUE(Eventually([&] { return Checked(idc::kConfigFileRadio) && ::IsWindowEnabled(Item(idc::kConfigFileBrowse)); }));
  ExpectEnabled(main_, kFileMode, "file mode by key");
}

// A Browse button's dialog: a file typed there, deep in Chinese folders,
// comes back whole, and the program's working folder stays what it was.
// (Wine's dialog takes no path of 260 characters or more.)
TEST_F(Window, FileDialogKeepsTheWorkingFolderAndLongPaths) {
  const std::filesystem::path deep = work_.path() / std::string(90, 'd') / Utf8Path("固件 " + std::string(90, 'e'));
  std::filesystem::create_directories(deep);
  WriteText(deep / "orig.bin", "x");
  const std::wstring before = CurrentFolder();
  Open();
  ClickLater(idc::kOriginalPackageBrowse);
  const HWND dialog = WaitFor([this](HWND w) { return w != main_ && EditIn(w) != nullptr; });
  ASSERT_NE(dialog, nullptr);
  ::SendMessageW(EditIn(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>((deep / "orig.bin").wstring().c_str()));
  ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 500 && Text(idc::kOriginalPackageEdit).empty(); ++i) ::Sleep(10);
  if (::IsWindow(dialog)) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(Utf8Path(Text(idc::kOriginalPackageEdit)), deep / "orig.bin");
  EXPECT_EQ(CurrentFolder(), before);
}

// A path field's tip is its whole path; the Delete key empties the field
// and its tip.
TEST_F(Window, PathFieldsShowTheirWholePathInTheirTip) {
  Open();
  const std::string path = "C:\\" + std::string(200, 'p') + "\\原始.bin";
  SetPath(idc::kOriginalPackageEdit, path);
  EXPECT_EQ(TipOf(idc::kOriginalPackageEdit), path);
  ::SendMessageW(Item(idc::kOriginalPackageEdit), WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(Text(idc::kOriginalPackageEdit) + TipOf(idc::kOriginalPackageEdit), "");
}

// A drop from Explorer: the files and the point over a path field, in the
// form the shell hands a window.
HGLOBAL DropOf(const std::vector<std::wstring>& files, POINT at) {
  std::wstring list;
  for (const std::wstring& file : files) list += file + L'\0';
  list += L'\0';
  const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  *drop = {sizeof(DROPFILES), at, FALSE, TRUE};
  std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(drop + 1));
  ::GlobalUnlock(memory);
  return memory;
}

TEST_F(Window, DroppedFilesFillThePathFieldUnderThem) {
  Open();
  RECT field = RectOf(Item(idc::kNewPackageEdit));
  ::MapWindowPoints(HWND_DESKTOP, main_, reinterpret_cast<POINT*>(&field), 2);
  const POINT over{(field.left + field.right) / 2, (field.top + field.bottom) / 2};
  ::SendMessageW(main_, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({L"C:\\数据\\配置.xml", L"C:\\数据\\新.bin"}, over)), 0);
  EXPECT_EQ(Text(idc::kNewPackageEdit) + "|" + Text(idc::kConfigFileEdit), "C:\\数据\\新.bin|");
  ::SendMessageW(main_, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({L"C:\\数据\\配置.xml"}, {1, 1})), 0);
  EXPECT_EQ(Text(idc::kConfigFileEdit), "C:\\数据\\配置.xml");
}

TEST_F(Window, PackageWithoutPathsAsksForThem) {
  Open();
  ClickLater(idc::kPackageButton);
  HWND box = nullptr;
  EXPECT_EQ(BoxText(box), quarnet::Text(126, Language::kChinese));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(TextOf(box), quarnet::Text(124, Language::kChinese));
  EXPECT_EQ(TextOf(::GetDlgItem(box, IDOK)), quarnet::Text(157, Language::kChinese));
}

// The About box over the middle of the window, which stands over the
// middle of the screen's work area; over a window at the screen's corner
// the box stays on the screen.
TEST_F(Window, AboutBoxFromTheWindowMenu) {
  Open();
  MONITORINFO screen{};
  screen.cbSize = sizeof screen;
  ::GetMonitorInfoW(::MonitorFromWindow(main_, MONITOR_DEFAULTTONULL), &screen);
  const RECT& area = screen.rcWork;
  EXPECT_TRUE(OverMiddleOf(main_, area));
  for (const bool atCorner : {false, true}) {
    if (atCorner) ::SetWindowPos(main_, nullptr, area.right - 40, area.bottom - 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::PostMessageW(main_, WM_SYSCOMMAND, idc::kIdmAboutBox, 0);
    const HWND about = WaitFor([](HWND w) { return HasControl(w, win32::kAboutNameLabel); });
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(TextOf(about), "关于 Quarnet(&A)...");
    EXPECT_EQ(Text(win32::kAboutNameLabel, about), AboutDialog::kNameLine);
    EXPECT_EQ(Text(win32::kAboutCopyrightLabel, about), AboutDialog::kCopyright);
    const RECT box = RectOf(about);
    EXPECT_TRUE(atCorner ? box.right <= area.right && box.bottom <= area.bottom : OverMiddleOf(about, RectOf(main_)));
    Click(idc::kOk, about);
    EXPECT_TRUE(win32::WaitUntilGone(about));
    EXPECT_TRUE(::IsWindowEnabled(main_));
  }
}

// The window menu's view of the original: its lines, in CR LF, in a box of
// its own above the window. An item saved from there: the save dialog
// offers its name, it and the box that says the item was saved belong to
// the view, and the window stays blocked until the view ends.
TEST_F(Window, PackageViewFromTheWindowMenu) {
  WriteBytes(In("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
  Open();
  SetPath(idc::kOriginalPackageEdit, In("orig.bin"));
  ::PostMessageW(main_, WM_SYSCOMMAND, idc::kIdmViewOriginal, 0);
  const HWND view = WaitFor([](HWND w) { return HasControl(w, idc::kPackageViewText); });
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(TextOf(view), "包内容");
  const std::string text = Text(idc::kPackageViewText, view);
  EXPECT_NE(text.find("\r\n类型：完整包\r\n版本：" + std::string(kVersion) + "\r\n"), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("结论：包完整一致")) << text;
  ::SendMessageW(Item(idc::kPackageViewItems, view), CB_SETCURSEL, 1, 0);
  ClickLater(idc::kPackageViewSaveItem, view);
  const HWND save = WaitFor([&](HWND w) { return w != main_ && w != view && EditIn(w) != nullptr; });
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(::GetWindow(save, GW_OWNER), view);
  EXPECT_EQ(TextOf(EditIn(save)), "KERNEL.bin");
  const std::filesystem::path target = (work_.path() / "kernel.img").make_preferred();
  ::SendMessageW(EditIn(save), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.wstring().c_str()));
  ::PostMessageW(save, WM_COMMAND, IDOK, 0);
  HWND box = nullptr;
  EXPECT_EQ(BoxText(box), "项目 KERNEL 已保存到 " + Narrow(target.wstring()) + "（96 字节，CRC 一致）。");
  EXPECT_EQ(::GetWindow(box, GW_OWNER), view);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(win32::WaitUntilGone(box));
  EXPECT_EQ(ReadBytes(target), OriginalItems()[1].data);
  EXPECT_FALSE(::IsWindowEnabled(main_));
  Click(idc::kOk, view);
  EXPECT_TRUE(win32::WaitUntilGone(view));
  EXPECT_TRUE(::IsWindowEnabled(main_));
}

// At 150 % on a 1024x768 screen the window keeps to the work area and
// scrolls: each control is wholly in view at one of the four ends, and
// Tab brings Close into view.
TEST_F(Window, FitsASmallScreenAndScrolls) {
  Open();
  const HDC screen = ::GetDC(nullptr);
  ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), 144);
  ::ReleaseDC(nullptr, screen);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(main_, MONITOR_DEFAULTTONULL), &monitor);
  RECT window = RectOf(main_), inside{};
  EXPECT_TRUE(::IntersectRect(&inside, &window, &monitor.rcWork) && ::EqualRect(&inside, &window));
  const auto inView = [this](int id) {
    RECT client, control = RectOf(Item(id)), both{};
    ::GetClientRect(main_, &client);
    ::MapWindowPoints(main_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return ::IntersectRect(&both, &client, &control) && ::EqualRect(&both, &control);
  };
  std::set<int> seen;
  for (const WPARAM across : {SB_TOP, SB_BOTTOM}) {
    for (const WPARAM down : {SB_TOP, SB_BOTTOM}) {
      ::SendMessageW(main_, WM_HSCROLL, across, 0);
      ::SendMessageW(main_, WM_VSCROLL, down, 0);
      for (const ControlLayout& control : MainDialog::kLayout.controls)
        if (control.kind == ControlKind::kGroup || inView(control.id)) seen.insert(control.id);  // frames, not controls
    }
  }
  EXPECT_EQ(seen.size(), MainDialog::kLayout.controls.size());
  ::SendMessageW(main_, WM_HSCROLL, SB_TOP, 0);
  ::SendMessageW(main_, WM_VSCROLL, SB_TOP, 0);
  FocusOn(Item(idc::kNewPackageBrowse));
  for (int i = 0; i < 3 && Focus() != Item(idc::kCancel); ++i) Press(VK_TAB);
  EXPECT_TRUE(Eventually([&] { return inView(idc::kCancel); }));
}

// A right-click on the window's background offers the About box.
TEST_F(Window, RightClickOffersAbout) {
  Open();
  const RECT rect = RectOf(main_);
  ::PostMessageW(main_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(main_), MAKELPARAM(rect.left + 5, rect.bottom - 5));
  const HWND menu = WaitFor([](HWND w) {
    wchar_t name[16] = {};
    ::GetClassNameW(w, name, 16);
    return std::wstring(name) == L"#32768";
  });
  ASSERT_NE(menu, nullptr);
  ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
  const HWND about = WaitFor([](HWND w) { return HasControl(w, win32::kAboutNameLabel); });
  ASSERT_NE(about, nullptr);
  Click(idc::kOk, about);
}

// The ticks of a version, given with Space, tick its products, whose codes
// fill the field.
TEST_F(Window, NewPackageForTheProductsOfATickedVersion) {
  WriteText(In("cfg.xml"), "<config/>");
  Open();
  SetPath(idc::kConfigFileEdit, In("cfg.xml"));
  SetPath(idc::kNewPackageEdit, In("new.bin"));
  ClickLater(idc::kPackageButton);
  const HWND products = WaitFor([](HWND w) { return HasControl(w, idc::kVersionsList); });
  ASSERT_NE(products, nullptr);
  for (const ControlLayout& control : ProductDialog::kLayout.controls) EXPECT_TRUE(HasControl(products, control.id));
  FocusOn(Item(idc::kVersionsList, products));
  Press(VK_SPACE);
  for (int i = 0; i < 100 && Text(idc::kProductListEdit, products).empty(); ++i) ::Sleep(10);
  const std::string list = Text(idc::kProductListEdit, products);
  EXPECT_FALSE(list.empty());
  EXPECT_EQ(list.back(), '|');
  EXPECT_NE(ListView_GetCheckState(Item(idc::kProductsList, products), 0), 0u);
  ClickLater(idc::kOk, products);
  HWND box = nullptr;
  EXPECT_EQ(BoxText(box).substr(0, 18), "重打包成功！");
  EXPECT_EQ(RunProcess(BinPath("quarnet-cli"), {"info", In("new.bin")}, work_.path()).exitCode, 0);
}

// Whole repacks: the box says how each ended, and a new package passes
// quarnet-cli's check.
TEST_F(Window, RepackOfAnOriginalEndToEnd) {
  WriteText(In("cfg.xml"), "<config/>");
  WriteBytes(In("orig.bin"), LayOutPackage(OriginalItems(), kProducts));
  WriteText(In("bad.bin"), "not a package");
  const struct {
    const char* original;
    const char* boxStart;
    int infoStatus;
  } kRows[] = {{"orig.bin", "重打包成功！", 0}, {"bad.bin", "重打包失败！", 2}};
  Open();
  for (const auto& row : kRows) {
    SetPath(idc::kOriginalPackageEdit, In(row.original));
    SetPath(idc::kConfigFileEdit, In("cfg.xml"));
    SetPath(idc::kNewPackageEdit, In("new.bin"));
    ClickLater(idc::kPackageButton);
    HWND box = nullptr;
    EXPECT_EQ(BoxText(box).substr(0, 18), row.boxStart) << row.original;
    EXPECT_EQ(RunProcess(BinPath("quarnet-cli"), {"info", In("new.bin")}, work_.path()).exitCode, row.infoStatus);
    ::SendMessageW(box, WM_CLOSE, 0, 0);
    std::filesystem::remove(work_.path() / "new.bin");
  }
}

// A long job's progress dialog: its Cancel stops the job, and the box says
// that nothing was changed.
TEST_F(Window, ProgressDialogOfALongJobAndItsCancel) {
  StartLongJob(0);
  const HWND progress = WaitFor([](HWND w) { return HasControl(w, idc::kJobProgressBar); });
  ASSERT_NE(progress, nullptr);
  ClickLater(idc::kCancel, progress);
  HWND box = nullptr;
  EXPECT_EQ(BoxText(box), quarnet::Text(175, Language::kChinese));
  EXPECT_FALSE(::IsWindow(progress));
  EXPECT_EQ(ListDir(work_.path()), (std::vector<std::string>{"big.bin", "cfg.xml"}));
}

// Closing the window while a job runs asks first; Yes stops the job, and
// the window closes once the job has cleaned up.
TEST_F(Window, ClosingDuringAJobAsksAndYesStopsTheJob) {
  StartLongJob();
  ::PostMessageW(main_, WM_CLOSE, 0, 0);
  HWND box = nullptr;
  EXPECT_EQ(BoxText(box), quarnet::Text(173, Language::kChinese));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(TextOf(::GetDlgItem(box, IDYES)) + TextOf(::GetDlgItem(box, IDNO)), "是(&Y)否(&N)");
  Click(IDYES, box);
  EXPECT_TRUE(win32::WaitUntilGone(main_));
  EXPECT_EQ(ListDir(work_.path()), (std::vector<std::string>{"big.bin", "cfg.xml"}));
}

// The session ends during a job: the job's files are gone before the
// window lets the session go on, and the window ends.
TEST_F(Window, SessionEndingDuringAJobStopsItFirst) {
  StartLongJob();
  for (int i = 0; i < 2000 && ::IsWindowEnabled(main_); ++i) ::Sleep(10);  // the job has begun
  ::SendMessageW(main_, WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(ListDir(work_.path()), (std::vector<std::string>{"big.bin", "cfg.xml"}));
  EXPECT_TRUE(win32::WaitUntilGone(main_));
}

// A box whose details hold the bytes 0x80 to 0xFF, none of them UTF-8 on
// its own, shows its whole text with those bytes escaped.
TEST(WindowBoxes, TextsKeepBytesThatAreNotUtf8) {
  std::string bytes;
  for (int b = 0x80; b <= 0xFF; ++b) bytes += static_cast<char>(b);
  std::promise<DWORD> started;
  std::thread thread([&] {
    win32::QuarnetWindow window(Language::kChinese);
    started.set_value(::GetCurrentThreadId());
    window.ShowMessage({MessageKind::kError, "提示", "重打包失败！", "V2=" + bytes});
  });
  const HWND box = win32::WaitForWindow(started.get_future().get(), [](HWND w) { return HasControl(w, kMessageText); });
  const std::string text = box != nullptr ? TextOf(::GetDlgItem(box, kMessageText)) : "(no box)";
  if (box != nullptr) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  thread.join();
  EXPECT_EQ(text, "重打包失败！\n\nV2=" + WindowText(bytes));
}

// quarnet.exe started as from a shortcut, without standard streams or a
// console: a wrong option shows the usage in a box, --version the version.
TEST(WindowCommandLine, WithoutAConsoleBoxesSpeak) {
  const struct {
    const wchar_t* args;
    const char* text;
    DWORD status;
  } rows[] = {{L"--lang EN", "quarnet: unknown language 'EN'", 2}, {L"--lang", "Usage: quarnet [--lang zh|en]", 2},
              {L"--version", "Quarnet 1.1", 0}};
  for (const auto& row : rows) {
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;  // none
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + Widen(BinPath("quarnet")) + L"\" " + row.args;
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                                 &start, &process));
    const HWND box = win32::WaitForWindow(process.dwThreadId, [](HWND w) { return HasControl(w, kMessageText); }, 500);
    const std::string text = box != nullptr ? TextOf(::GetDlgItem(box, kMessageText)) : "(no box)";
    if (box != nullptr) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD status = 0;
    ::WaitForSingleObject(process.hProcess, 20000);
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_NE(text.find(row.text), std::string::npos) << text;
    EXPECT_EQ(status, row.status);
  }
}

// The program's string table is its resources' string table.
TEST(WindowResources, StringTableIsTheProgramsTable) {
  for (int id = 101; id <= 544; ++id) {
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    EXPECT_EQ(Narrow(std::wstring(text, length)), LoadResString(id)) << id;
  }
}

}  // namespace
}  // namespace quarnet::test
