#pragma once
// The main window (ui/main_dialog.h) drawn with Qt: its layout, the dialogs
// it runs through a DialogHost, the progress dialog and the thread of a
// job, the window menu, and the keys of a dialog.
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <memory>

#include "ui/qt/controls.h"
#include "ui/qt/dialog_host.h"
#include "ui/qt/progress_window.h"
#include "ui/main_dialog.h"

class QMenu;

class QMessageBox;

namespace quarnet {

// The message box of `message` over `parent`, in its language, not shown yet.
std::unique_ptr<QMessageBox> MakeMessageBox(ControlDialog& parent, const MessageBoxContent& message);

class CQuarnetDlg : public ControlDialog, public WindowAccess {
  Q_OBJECT

 public:
  // `remember`: the window takes the last run's choices and keeps its own.
  explicit CQuarnetDlg(QWidget* parent = nullptr, DialogHost& host = RealDialogs(),
                       Language language = Language::kChinese, bool remember = false);

  MainDialog& Logic() { return dialog_; }
  // The window menu (its context menu) with the About item.
  QMenu* SystemMenu() const { return systemMenu_; }
  // Commands of the window menu: the description's own, else the standard
  // commands (close, minimise, maximise, restore) act on the window.
  void OnSysCommand(unsigned id);

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
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void LayOut();
  // The dialog that the dialogs and the progress of a job show above: the
  // package view while it is open, else the window.
  ControlDialog& Top();
  void MakeSystemMenu();
  std::unique_ptr<QSocketNotifier> WatchStopSignals();

  DialogHost& host_;
  MainDialog dialog_;
  QMenu* systemMenu_ = nullptr;
  QTimer progressDelay_;
  std::unique_ptr<CJobProgressDlg> progress_;  // while a job runs
  ControlDialog* view_ = nullptr;               // the package view, while it is open
};

}  // namespace quarnet
