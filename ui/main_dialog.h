#pragma once
// The main window: the original package, the package file type (one
// configuration file, or a configuration pack with update mode and optional
// update script), the new package, and the Package button that runs the
// repack job on a thread of its own (a long job shows a progress dialog).
// Paths enter through the Browse buttons and by dropped files, never typed;
// the window menu also views a package and saves one of its items.
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "package/item_save.h"
#include "package/job_control.h"
#include "package/output.h"
#include "repack/package_flow.h"
#include "ui/control_ids.h"
#include "ui/dialog.h"
#include "ui/window_memory.h"

namespace quarnet {

// Values of the controls, exchanged by UpdateData. Paths are UTF-8.
struct MainDialogValues {
  bool asDefault = true;
  std::string originalPackage;
  std::string configFile;
  std::string newPackage;
  std::string configPack;
  std::string updateScript;
};

class MainDialog : public DialogLogic, public PackageFrontEnd {
 public:
  static const DialogLayout kLayout;
  // The window menu's About item.
  static constexpr int kAboutItemTextId = 101;
  // The window menu's own items, also offered on a right-click: command
  // and string ID.
  static constexpr std::pair<int, int> kMenuItems[] = {
      {idc::kIdmAboutBox, kAboutItemTextId}, {idc::kIdmViewOriginal, 401}, {idc::kIdmViewNewPackage, 403}};

  MainDialog(WindowAccess& access, Language language);

  MainDialogValues values;
  // How long a job runs before its progress dialog shows.
  int progressDelayMs = 500;
  // Whether the window takes the choices of the last run at OnInit and
  // keeps its own for the next whenever it ends or a job is done.
  bool remember = false;

  // true: controls into values; false: values into controls.
  void UpdateData(bool saveAndValidate);

  void OnInit() override;
  void OnCommand(int id) override;
  void OnSelChange(int id) override;
  // A file dropped on a path field fills it when the field's filter takes
  // it; dropped elsewhere, each file goes by its suffix: a package to the
  // original when that is empty, a configuration file or pack to its field,
  // with the package file type that uses it.
  void OnDropFiles(int id, const std::vector<std::string>& paths) override;
  // Commands of the window menu: 16 to 31 open the About box, 32 to 47 the
  // view of the original package, 48 to 63 that of the new package built
  // last. False for the system's own commands, which the toolkit carries
  // out.
  bool OnSysCommand(unsigned id);
  // Ends the window for `signalNumber`: dialogs above it end as if
  // cancelled; a running job is asked to stop, and the window ends once it
  // has cleaned up, without a message box.
  void OnSignal(int signalNumber);

  // PackageFrontEnd, on the window's thread.
  int SelectProducts(ProductListBuffer& productList) override;
  void GetUpdateMode(int& updateMode) override;
  void ShowMessage(int stringId, int number) override;
  // A failed check asks whether to build all the same (No by default); the
  // findings stay for the outcome's details.
  bool ReviewChecks(const std::vector<FileCheck>& findings) override;
  // The box of the last job's outcome: kTextRepackSuccess or
  // kTextRepackFailed.
  MessageBoxContent Outcome(int stringId) const;
  // The question before a job whose chosen files failed their checks.
  MessageBoxContent CheckQuestion(const std::vector<FileCheck>& findings) const;

 private:
  class JobFrontEnd;

  std::string Text(int id) const { return quarnet::Text(id, language_); }
  // The Browse button `button` (else nothing): its file dialog, whose OK
  // replaces its own path.
  void Browse(int button);
  // `path` into the field of Browse button `button`, as if chosen there.
  void Fill(int button, const std::string& path);
  bool FieldActive(int edit) const;
  void OnClose();
  void EndWindow(int id);
  // The choices of the last run, where they still apply; and this run's.
  void Recall(const WindowMemory& memory);
  WindowMemory Memory();
  void SelectFileType(int radio);
  void ApplyEnableRules();
  bool IsFactoryModeSelected() const;
  void OnPackage();
  void RunJob(const std::function<void()>& work);
  void ViewPackage(const std::string& path, int missingTextId);
  void SaveItem(const std::string& package, const ItemFacts& item);
  MessageBoxContent SaveOutcome(ItemSaved saved, const ItemFacts& item, const std::string& target) const;
  OutputSink JobLineSink();
  ProgressSink JobProgressSink(ProgressSink outerSink);
  void CallForJob(const std::function<void()>& call, bool last);
  std::string VerifiedText(const JobReport& report) const;
  std::string CheckText(const FileCheck& finding) const;
  MessageBoxContent SuccessOutcome(const JobReport& report) const;
  std::string CauseText(const JobReport& report) const;
  bool Ending() const;

  WindowAccess& access_;
  Language language_;
  std::string lastFolder_;  // of the file last chosen in this run
  // The folder of each Browse button's last file, from this run or the last.
  std::map<int, std::string> fieldFolders_;
  std::string jobOutput_;   // what the running job printed
  std::string builtPackage_;  // the new package of the last successful job
  std::vector<FileCheck> findings_;  // of the chosen files of the running job
  bool jobRunning_ = false;
  bool endingForSignal_ = false;
  bool quitAfterJob_ = false;  // the user chose to quit during the job
  int postedPercent_ = -1;  // the job's thread only
  int postedStage_ = 0;     // the job's thread only
};

// The string ID of the sentence of a failure the job found itself; its
// English twin follows it.
int FindingTextId(Finding finding);

}  // namespace quarnet
