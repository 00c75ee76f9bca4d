#pragma once
// The main window (ui/main_dialog.h) drawn with Win32 from dialog template
// 102: the window menu's About item, the system's file dialogs and message
// boxes, the product dialog and About box from their templates, and the
// job on a thread of its own whose calls reach the window as posted
// messages, with a progress dialog once it runs long.
#include <functional>
#include <memory>

#include "ui/main_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/win32/dialog_window.h"

namespace quarnet::win32 {

// Resource IDs of the dialog templates and the icon.
inline constexpr int kAboutTemplate = 100;
inline constexpr int kMainTemplate = 102;
inline constexpr int kProductTemplate = 130;
inline constexpr int kProgressTemplate = 140;
inline constexpr int kPackageViewTemplate = 150;
inline constexpr int kAppIcon = 128;
// The About box's two lines, which its description leaves to the window.
inline constexpr int kAboutNameLabel = 1040;
inline constexpr int kAboutCopyrightLabel = 1041;

class QuarnetWindow : public DialogWindow, public WindowAccess {
 public:
  explicit QuarnetWindow(Language language);
  ~QuarnetWindow() override;

  MainDialog& Logic() { return dialog_; }
  // Runs the window until it is closed.
  void Run();

  // WindowAccess.
  bool ShowMessage(const MessageBoxContent& message) override;
  std::optional<std::string> ChooseFile(const FileRequest& request) override;
  std::optional<std::string> RunProductDialog() override;
  void RunAboutDialog() override;
  void RunPackageView(const PackageViewContent& content) override;
  void CancelDialogs() override;
  void ShowProgress(int delayMs) override;
  void HoldProgress() override;
  void UpdateProgress(int percent, int stageTextId) override;
  void CloseProgress() override;
  void RunJob(const std::function<void()>& job) override;
  void CallFromJob(const std::function<void()>& call) override;
  void PostFromJob(std::function<void()> call) override;

 protected:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void OnCreated() override;

 private:
  struct Progress;
  void OpenProgress();
  void EndSessionDuringJob();
  void ShowAboutMenu(LPARAM at);
  // The package view while it is open, else the main window: a job that
  // starts there blocks it.
  HWND Top() const;
  // The window that a new box or dialog belongs to: the progress dialog
  // while it shows, else Top().
  HWND Owner() const;

  MainDialog dialog_;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  std::unique_ptr<Progress> progress_;  // while a job runs
  DialogWindow* view_ = nullptr;        // the package view, while it is open
  bool jobRunning_ = false;
  bool jobEnded_ = false;
};

}  // namespace quarnet::win32
