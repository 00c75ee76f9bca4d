#pragma once
// The Win32 side of a described dialog (ui/dialog.h): a dialog made from
// its resource template, whose controls the accessor reaches by their IDs
// and whose notifications go to the description's handlers. Check lists
// are list views with tick boxes; ticks set through the accessor raise no
// notification, so handlers that set ticks do not trigger each other.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/text.h"
#include "ui/dialog.h"

namespace quarnet::win32 {

// The platform's conversions: the program's UTF-8 texts as the window's
// UTF-16 (bytes that are not UTF-8 escaped, see WindowText), and back.
std::wstring Widen(const std::string& text);
using os::win::Narrow;

class DialogWindow : public virtual DialogAccess {
 public:
  DialogWindow(int templateId, const DialogLayout& layout, Language language)
      : templateId_(templateId), layout_(layout), language_(language) {}
  virtual ~DialogWindow();
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;

  // Runs the dialog modally over `owner` (may be null) with `logic` as its
  // handlers; the result that End gave.
  INT_PTR RunModal(HWND owner, DialogLogic& logic);
  // Makes the dialog without waiting for it; DestroyWindow ends it.
  HWND Create(HWND owner, DialogLogic& logic);
  HWND Handle() const { return hwnd_; }
  HWND Control(int id) const { return ::GetDlgItem(hwnd_, id); }
  Language GetLanguage() const { return language_; }

  // DialogAccess.
  void SetTitle(const std::string& text) override;
  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override;
  bool GetCheck(int id) const override;
  void SetCheck(int id, bool checked) override;
  void Enable(int id, bool enabled) override;
  void AddItem(int id, const std::string& text) override;
  void Select(int id, int index) override;
  int GetSelection(int id) const override;
  bool GetItemCheck(int id, int row) const override;
  void SetItemCheck(int id, int row, bool checked) override;
  void End(int result) override;

 protected:
  // Messages besides the controls' notifications; true when handled, with
  // `result` as the dialog procedure's answer.
  virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, INT_PTR& /*result*/) {
    return false;
  }
  // The template's controls exist, before the handlers fill them.
  virtual void OnCreated() {}
  // Files dropped from Explorer go to the handlers' OnDropFiles, with the
  // path field under the drop.
  void AcceptFileDrops();

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  ControlKind KindOf(int id) const;
  bool IsCombo(int id) const;
  void SetUpControls();
  void Place();
  void FitSize(const RECT& area);
  bool OnScroll(UINT message, WPARAM wParam);
  void ScrollTo(int bar, int position);
  void RevealFocus();
  void DropFiles(HDROP drop);
  void UseFixedPitchFont(HWND control);

  int templateId_;
  const DialogLayout& layout_;
  Language language_;
  DialogLogic* logic_ = nullptr;
  HFONT fixedFont_ = nullptr;  // of text in columns, as long as the dialog
  HWND hwnd_ = nullptr;
  bool modal_ = false;
  bool settingTicks_ = false;
  // A dialog larger than the screen scrolls its client area: the size of
  // all of it (0: it does not scroll) and how far it is scrolled along
  // SB_HORZ and SB_VERT.
  SIZE content_{};
  int scrolled_[2] = {};
};

}  // namespace quarnet::win32
