#pragma once
// The main window: the original package, the package file type (one
// configuration file, or a configuration pack with update mode and optional
// update script), the new package, and the Package button that runs the
// repack job on a thread of its own (a long job shows a progress dialog).
// Paths enter only through the Browse buttons; the Delete key empties a
// path field.
#include <QIcon>
#include <functional>
#include <string>

#include "package/job_control.h"
#include "package/output.h"
#include "repack/package_flow.h"
#include "ui/controls.h"
#include "ui/dialog_host.h"

class QMenu;
class QTimer;

namespace quarnet {

class CJobProgressDlg;

class CQuarnetDlg : public ControlDialog, public PackageFrontEnd {
  Q_OBJECT

 public:
  explicit CQuarnetDlg(QWidget* parent = nullptr, DialogHost& host = RealDialogs(),
                       Language language = Language::kChinese);

  // Values of the controls, exchanged by UpdateData. Paths are UTF-8 bytes.
  int m_bAsDefault = 1;
  std::string m_strOriginalPackage;
  std::string m_strConfigFile;
  std::string m_strNewPackage;
  std::string m_strConfigPack;
  std::string m_strUpdateScript;
  QIcon m_hIcon;

  // true: controls into members; false: members into controls.
  void UpdateData(bool saveAndValidate);
  // The window menu (its context menu) with the About item.
  QMenu* SystemMenu() const { return systemMenu_; }
  // Commands of the window menu: 16 to 31 open the About box; the standard
  // commands (close, minimise, maximise, restore) act on the window.
  void OnSysCommand(unsigned id, long param);

  // Ends the window for `signalNumber`: dialogs above it end as if
  // cancelled; a running job is asked to stop, and the window closes once
  // it has cleaned up, without a message box.
  void EndForSignal(int signalNumber);

  // How long a job runs before its progress dialog shows.
  int m_nProgressDelayMs = 500;

  // PackageFrontEnd, on the GUI thread.
  int SelectProducts(ProductListBuffer& productList) override;
  void GetUpdateMode(int& updateMode) override;
  void ShowMessage(int stringId, int number) override;

 public slots:
  void OnBrowseOriginalPackage();
  void OnBrowseConfigFile();
  void OnBrowseNewPackage();
  void OnPackage();
  void OnConfigFileMode();
  void OnConfigPackMode();
  void OnBrowseConfigPack();
  void OnBrowseUpdateScript();
  void OnUpdateModeChange();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();
  void OnInitDialog();
  void DoDataExchange(bool saveAndValidate);
  // Runs a file dialog (a save dialog when `save`) in the folder last used;
  // OK puts the chosen path into `target`.
  void Browse(bool save, int filterId, const char* suffix, std::string& target);
  bool IsFactoryModeSelected() const;
  void Enable(std::initializer_list<int> ids, bool enable);
  void RunJob(const PackageChoices& choices);
  OutputSink JobLineSink();
  ProgressSink JobProgressSink(ProgressSink outerSink);
  void RunFlowOffThread(const PackageChoices& choices);
  void RunForJob(const std::function<void()>& call, bool last);
  QString JobDetails(int stringId) const;
  bool EndingForSignal() const;

  class JobFrontEnd;

  DialogHost& host_;
  QMenu* systemMenu_ = nullptr;
  QString lastFolder_;     // of the file last chosen in this run
  std::string jobOutput_;  // what the running job printed
  bool jobRunning_ = false;
  bool endingForSignal_ = false;
  CJobProgressDlg* progress_ = nullptr;  // while a job runs
  int postedPercent_ = -1;               // the job's thread only
  QTimer* progressDelay_ = nullptr;
};

}  // namespace quarnet
