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
  if (OnMessage(message, wParam, lParam, result)) return result;
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
      if (HIWORD(wParam) == CBN_SELCHANGE && KindOf(id) == ControlKind::kSortedCombo) logic_->OnSelChange(id);
      return TRUE;
    }
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
  }
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
  const LONG width = self.right - self.left;
  const LONG height = self.bottom - self.top;
  ::SetWindowPos(hwnd_, nullptr, centre(middleOf.left, middleOf.right, width, area.left, area.right),
                 centre(middleOf.top, middleOf.bottom, height, area.top, area.bottom), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogWindow::SetTitle(const std::string& text) { ::SetWindowTextW(hwnd_, Widen(text).c_str()); }

// A combo box gives its selected item's text, anything else its own.
std::string DialogWindow::GetText(int id) const {
  const HWND control = Control(id);
  std::wstring text;
  if (KindOf(id) == ControlKind::kSortedCombo) {
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

void DialogWindow::SetText(int id, const std::string& text) { ::SetDlgItemTextW(hwnd_, id, Widen(text).c_str()); }

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
