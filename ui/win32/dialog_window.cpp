#include "ui/win32/dialog_window.h"

#include <commctrl.h>

#include <algorithm>

#include "package/display_text.h"
#include "ui/control_ids.h"

namespace quarnet::win32 {
namespace {

// The tool that `edit` is in its dialog's tooltip, with `text` as its tip.
TTTOOLINFOW PathTool(HWND edit, const wchar_t* text) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = ::GetParent(edit);
  tool.uId = reinterpret_cast<UINT_PTR>(edit);
  tool.lpszText = const_cast<wchar_t*>(text);
  return tool;
}

// A path field: read-only, but the Delete key empties it, so that a path
// chosen by mistake can be dropped. Its tip in the tooltip `tip` is the
// whole path, which the field may cut short.
LRESULT CALLBACK PathEditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR tip) {
  if (message == WM_KEYDOWN && wParam == VK_DELETE) {
    ::SetWindowTextW(edit, L"");
    return 0;
  }
  const LRESULT result = ::DefSubclassProc(edit, message, wParam, lParam);
  if (message == WM_SETTEXT) {
    TTTOOLINFOW tool = PathTool(edit, lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"");
    ::SendMessageW(reinterpret_cast<HWND>(tip), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  return result;
}

// Messages that a dialog posts itself.
constexpr UINT kRevealFocusMessage = WM_APP + 40;
constexpr int kScrollLine = 20;  // pixels of one step of the arrows or a wheel's notch

// A check list fills its width with one column of rows; a multi-column one
// (the list view's list mode) flows its rows into columns by itself.
void SetUpCheckList(HWND list) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_DOUBLEBUFFER);
  if ((::GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK) != LVS_REPORT) return;
  RECT client;
  ::GetClientRect(list, &client);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  column.cx = client.right - ::GetSystemMetrics(SM_CXVSCROLL);
  ListView_InsertColumn(list, 0, &column);
}

}  // namespace

std::wstring Widen(const std::string& text) {
  std::wstring wide;
  os::win::Widen(WindowText(text), wide);
  return wide;
}

INT_PTR DialogWindow::RunModal(HWND owner, DialogLogic& logic) {
  logic_ = &logic;
  modal_ = true;
  const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                                           Procedure, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  return result;
}

HWND DialogWindow::Create(HWND owner, DialogLogic& logic) {
  logic_ = &logic;
  modal_ = false;
  return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner, Procedure,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK DialogWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    reinterpret_cast<DialogWindow*>(lParam)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<DialogWindow*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    self->hwnd_ = nullptr;
    return FALSE;
  }
  return self->Dispatch(message, wParam, lParam);
}

INT_PTR DialogWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR result = FALSE;
  if (OnMessage(message, wParam, lParam, result) || OnScroll(message, wParam)) return result;
  switch (message) {
    case WM_INITDIALOG:
      SetUpControls();
      OnCreated();
      logic_->OnInit();
      Place();
      return TRUE;  // the system sets the first focus
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == BN_CLICKED) logic_->OnCommand(id);
      if (HIWORD(wParam) == CBN_SELCHANGE && IsCombo(id)) logic_->OnSelChange(id);
      return TRUE;
    }
    case WM_DROPFILES: DropFiles(reinterpret_cast<HDROP>(wParam)); return TRUE;
    case WM_NOTIFY: {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
      if (change->hdr.code == LVN_ITEMCHANGED && !settingTicks_ && (change->uChanged & LVIF_STATE) != 0 &&
          ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0) {
        logic_->OnCheckChange(static_cast<int>(change->hdr.idFrom));
      }
      return FALSE;
    }
    default: return FALSE;
  }
}

void DialogWindow::AcceptFileDrops() { ::DragAcceptFiles(hwnd_, TRUE); }

// The drop's point is in the dialog's client coordinates, as the controls'
// rectangles are once mapped there.
void DialogWindow::DropFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(Narrow(path));
  }
  POINT at{};
  ::DragQueryPoint(drop, &at);
  ::DragFinish(drop);
  int target = 0;
  for (const ControlLayout& control : layout_.controls) {
    RECT rect{};
    ::GetWindowRect(Control(control.id), &rect);
    ::MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
    if (control.kind == ControlKind::kPathEdit && ::PtInRect(&rect, at)) target = control.id;
  }
  logic_->OnDropFiles(target, paths);
}

bool DialogWindow::IsCombo(int id) const {
  return KindOf(id) == ControlKind::kSortedCombo || KindOf(id) == ControlKind::kCombo;
}

ControlKind DialogWindow::KindOf(int id) const {
  for (const ControlLayout& control : layout_.controls) {
    if (control.id == id) return control.kind;
  }
  return ControlKind::kLabel;
}

// The path fields share one tooltip, which ends with the dialog, its owner.
void DialogWindow::SetUpControls() {
  HWND tip = nullptr;
  for (const ControlLayout& control : layout_.controls) {
    const HWND window = Control(control.id);
    if (control.kind == ControlKind::kPathEdit) {
      if (tip == nullptr) {
        tip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
      }
      TTTOOLINFOW tool = PathTool(window, L"");
      ::SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
      ::SetWindowSubclass(window, PathEditProcedure, 0, reinterpret_cast<DWORD_PTR>(tip));
    }
    if (control.kind == ControlKind::kCheckList) SetUpCheckList(window);
    if (control.kind == ControlKind::kReadOnlyText) UseFixedPitchFont(window);
  }
}

DialogWindow::~DialogWindow() {
  if (fixedFont_ != nullptr) ::DeleteObject(fixedFont_);
}

// Lines meant to be read in columns take the fixed-width twin of the
// dialog's font (新宋体 beside 宋体), at its size.
void DialogWindow::UseFixedPitchFont(HWND control) {
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0)), sizeof font, &font);
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  constexpr wchar_t kFace[] = L"NSimSun";
  std::copy(std::begin(kFace), std::end(kFace), font.lfFaceName);
  if (fixedFont_ == nullptr) fixedFont_ = ::CreateFontIndirectW(&font);
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fixedFont_), FALSE);
}

// A template's own place is the corner of the screen or of the owner's
// client area. The dialog goes over the middle of its owner instead (of
// the screen's work area when it has none showing), and then wholly onto
// that work area where it fits, so that all of it is in reach.
void DialogWindow::Place() {
  const HWND owner = ::GetWindow(hwnd_, GW_OWNER);
  MONITORINFO screen{};
  screen.cbSize = sizeof screen;
  ::GetMonitorInfoW(::MonitorFromWindow(owner != nullptr ? owner : hwnd_, MONITOR_DEFAULTTOPRIMARY), &screen);
  const RECT& area = screen.rcWork;
  RECT middleOf = area;
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &middleOf);
  RECT self;
  ::GetWindowRect(hwnd_, &self);
  const auto centre = [](LONG from, LONG to, LONG size, LONG areaFrom, LONG areaTo) {
    return std::max(areaFrom, std::min((from + to - size) / 2, areaTo - size));
  };
  FitSize(area);
  ::GetWindowRect(hwnd_, &self);
  const LONG width = self.right - self.left;
  const LONG height = self.bottom - self.top;
  ::SetWindowPos(hwnd_, nullptr, centre(middleOf.left, middleOf.right, width, area.left, area.right),
                 centre(middleOf.top, middleOf.bottom, height, area.top, area.bottom), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A dialog larger than the work area takes its size, and scroll bars
// for what is beyond it, so that every control can be brought into view.
void DialogWindow::FitSize(const RECT& area) {
  RECT self;
  RECT client;
  ::GetWindowRect(hwnd_, &self);
  ::GetClientRect(hwnd_, &client);
  const bool wide = self.right - self.left > area.right - area.left;
  const bool tall = self.bottom - self.top > area.bottom - area.top;
  if (!wide && !tall) return;
  content_ = {client.right, client.bottom};
  ::SetWindowLongPtrW(hwnd_, GWL_STYLE, ::GetWindowLongPtrW(hwnd_, GWL_STYLE) | WS_HSCROLL | WS_VSCROLL);
  ::SetWindowPos(hwnd_, nullptr, 0, 0,
                 std::min(self.right - self.left + ::GetSystemMetrics(SM_CXVSCROLL), area.right - area.left),
                 std::min(self.bottom - self.top + ::GetSystemMetrics(SM_CYHSCROLL), area.bottom - area.top),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ScrollTo(SB_HORZ, 0);
  ScrollTo(SB_VERT, 0);
}

// The scroll bars, the wheel, and a focus moved by the keyboard to a
// control out of view; false for other messages and a dialog that fits.
bool DialogWindow::OnScroll(UINT message, WPARAM wParam) {
  if (content_.cx == 0) return false;
  const int bar = message == WM_HSCROLL ? SB_HORZ : SB_VERT;
  RECT client;
  ::GetClientRect(hwnd_, &client);
  const int page = bar == SB_HORZ ? client.right : client.bottom;
  const int at = scrolled_[bar];
  switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      switch (LOWORD(wParam)) {
        case SB_LINEUP: ScrollTo(bar, at - kScrollLine); break;
        case SB_LINEDOWN: ScrollTo(bar, at + kScrollLine); break;
        case SB_PAGEUP: ScrollTo(bar, at - page); break;
        case SB_PAGEDOWN: ScrollTo(bar, at + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: ScrollTo(bar, HIWORD(wParam)); break;
        case SB_TOP: ScrollTo(bar, 0); break;
        case SB_BOTTOM: ScrollTo(bar, bar == SB_HORZ ? content_.cx : content_.cy); break;
        default: break;
      }
      return true;
    case WM_MOUSEWHEEL:
      ScrollTo(SB_VERT, at - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3 * kScrollLine);
      return true;
    case WM_NEXTDLGCTL:  // Tab and the arrow keys, before the dialog moves the focus
      ::PostMessageW(hwnd_, kRevealFocusMessage, 0, 0);
      return false;
    case kRevealFocusMessage: RevealFocus(); return true;
    default: return false;
  }
}

// Shows the content from `position` on along `bar`.
void DialogWindow::ScrollTo(int bar, int position) {
  RECT client;
  ::GetClientRect(hwnd_, &client);
  const bool across = bar == SB_HORZ;
  const int size = across ? content_.cx : content_.cy;
  const int page = across ? client.right : client.bottom;
  position = std::clamp(position, 0, std::max(0, size - page));
  const int by = scrolled_[bar] - position;
  ::ScrollWindowEx(hwnd_, across ? by : 0, across ? 0 : by, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
  scrolled_[bar] = position;
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMax = size - 1;
  info.nPage = static_cast<UINT>(page);
  info.nPos = position;
  ::SetScrollInfo(hwnd_, bar, &info, TRUE);
}

void DialogWindow::RevealFocus() {
  const HWND focus = ::GetFocus();
  if (focus == nullptr || ::GetParent(focus) != hwnd_) return;
  RECT control;
  RECT client;
  ::GetWindowRect(focus, &control);
  ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&control), 2);
  ::GetClientRect(hwnd_, &client);
  if (control.left < 0) ScrollTo(SB_HORZ, scrolled_[SB_HORZ] + control.left);
  if (control.right > client.right) ScrollTo(SB_HORZ, scrolled_[SB_HORZ] + control.right - client.right);
  if (control.top < 0) ScrollTo(SB_VERT, scrolled_[SB_VERT] + control.top - kScrollLine);
  if (control.bottom > client.bottom) ScrollTo(SB_VERT, scrolled_[SB_VERT] + control.bottom - client.bottom + kScrollLine);
}

void DialogWindow::SetTitle(const std::string& text) { ::SetWindowTextW(hwnd_, Widen(text).c_str()); }

// A combo box gives its selected item's text, anything else its own.
std::string DialogWindow::GetText(int id) const {
  const HWND control = Control(id);
  std::wstring text;
  if (IsCombo(id)) {
    const LRESULT item = ::SendMessageW(control, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR) return {};
    text.resize(static_cast<std::size_t>(::SendMessageW(control, CB_GETLBTEXTLEN, item, 0)) + 1);
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(control, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text.data()))));
  } else {
    text.resize(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1);
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  }
  return Narrow(text);
}

// A multi-line edit breaks lines at CR LF only.
void DialogWindow::SetText(int id, const std::string& text) {
  std::string shown = text;
  if (KindOf(id) == ControlKind::kReadOnlyText) {
    shown.clear();
    for (const char c : text) shown += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  ::SetDlgItemTextW(hwnd_, id, Widen(shown).c_str());
}

bool DialogWindow::GetCheck(int id) const { return ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void DialogWindow::SetCheck(int id, bool checked) { ::CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED); }

void DialogWindow::Enable(int id, bool enabled) { ::EnableWindow(Control(id), enabled ? TRUE : FALSE); }

void DialogWindow::AddItem(int id, const std::string& text) {
  const std::wstring wide = Widen(text);
  if (KindOf(id) != ControlKind::kCheckList) {
    ::SendMessageW(Control(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    return;
  }
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListView_GetItemCount(Control(id));
  item.pszText = const_cast<wchar_t*>(wide.c_str());
  // The first row has the focus within the list, so that Space ticks it
  // once the list has the keyboard's focus.
  if (item.iItem == 0) {
    item.mask |= LVIF_STATE;
    item.state = item.stateMask = LVIS_FOCUSED;
  }
  settingTicks_ = true;
  ::SendMessageW(Control(id), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  settingTicks_ = false;
}

void DialogWindow::Select(int id, int index) { ::SendMessageW(Control(id), CB_SETCURSEL, index, 0); }

int DialogWindow::GetSelection(int id) const {
  return static_cast<int>(::SendMessageW(Control(id), CB_GETCURSEL, 0, 0));  // CB_ERR is -1
}

bool DialogWindow::GetItemCheck(int id, int row) const { return ListView_GetCheckState(Control(id), row) != 0; }

void DialogWindow::SetItemCheck(int id, int row, bool checked) {
  settingTicks_ = true;
  ListView_SetCheckState(Control(id), row, checked ? TRUE : FALSE);
  settingTicks_ = false;
}

void DialogWindow::End(int result) {
  if (modal_) ::EndDialog(hwnd_, result);
}

}  // namespace quarnet::win32
