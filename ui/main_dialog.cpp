#include "ui/main_dialog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "package/display_text.h"
#include "package/item_save.h"
#include "package/job.h"
#include "package/reader.h"
#include "platform/files.h"
#include "platform/process.h"
#include "ui/control_ids.h"
#include "ui/package_view_dialog.h"
#include "ui/product_table.h"
#include "ui/what_changed.h"

namespace quarnet {
namespace {

// Input group: original package, then the package file type group with the
// configuration file (and as-default box) and the configuration pack (with
// update mode and update script); output group: new package; Package and
// Close at the bottom right.
constexpr ControlLayout kControls[] = {
    {idc::kInputGroup, ControlKind::kGroup, 108},
    {idc::kOriginalPackageLabel, ControlKind::kLabel, 112},
    {idc::kOriginalPackageEdit, ControlKind::kPathEdit},
    {idc::kOriginalPackageBrowse, ControlKind::kButton, 102},
    {idc::kFileTypeGroup, ControlKind::kGroup, 135},
    {idc::kConfigFileRadio, ControlKind::kRadio, 114},
    {idc::kConfigFileEdit, ControlKind::kPathEdit},
    {idc::kConfigFileBrowse, ControlKind::kButton, 102},
    {idc::kAsDefaultCheck, ControlKind::kCheck, 118},
    {idc::kConfigPackRadio, ControlKind::kRadio, 137},
    {idc::kConfigPackEdit, ControlKind::kPathEdit},
    {idc::kConfigPackBrowse, ControlKind::kButton, 145},
    {idc::kUpdateModeLabel, ControlKind::kLabel, 139},
    {idc::kUpdateModeCombo, ControlKind::kSortedCombo},
    {idc::kUpdateScriptLabel, ControlKind::kLabel, 149},
    {idc::kUpdateScriptEdit, ControlKind::kPathEdit},
    {idc::kUpdateScriptBrowse, ControlKind::kButton, 145},
    {idc::kOutputGroup, ControlKind::kGroup, 110},
    {idc::kNewPackageLabel, ControlKind::kLabel, 116},
    {idc::kNewPackageEdit, ControlKind::kPathEdit},
    {idc::kNewPackageBrowse, ControlKind::kButton, 102},
    {idc::kPackageButton, ControlKind::kButton, 104},
    {idc::kCancel, ControlKind::kButton, 106},
};

struct PathField {
  int edit;
  std::string MainDialogValues::*value;
};

constexpr PathField kPathFields[] = {
    {idc::kOriginalPackageEdit, &MainDialogValues::originalPackage},
    {idc::kConfigFileEdit, &MainDialogValues::configFile},
    {idc::kNewPackageEdit, &MainDialogValues::newPackage},
    {idc::kConfigPackEdit, &MainDialogValues::configPack},
    {idc::kUpdateScriptEdit, &MainDialogValues::updateScript},
};

// The controls that the package file type and the update mode switch on:
// the configuration file's row in file mode; the configuration pack's row
// and the update mode in pack mode; the update script's row in normal mode.
// A path field is active with its Browse button: an inactive one keeps its
// path but takes no focus.
struct EnableRule {
  int id;
  bool inFileMode;
  bool inFactoryMode;  // configuration pack, factory mode
  bool inNormalMode;   // configuration pack, normal mode
};

constexpr EnableRule kEnableRules[] = {
    {idc::kConfigFileEdit, true, false, false},    {idc::kConfigFileBrowse, true, false, false},
    {idc::kAsDefaultCheck, true, false, false},    {idc::kConfigPackEdit, false, true, true},
    {idc::kConfigPackBrowse, false, true, true},   {idc::kUpdateModeLabel, false, true, true},
    {idc::kUpdateModeCombo, false, true, true},    {idc::kUpdateScriptLabel, false, false, true},
    {idc::kUpdateScriptEdit, false, false, true},  {idc::kUpdateScriptBrowse, false, false, true},
};

// Each Browse button: its file dialog and the path it fills.
struct BrowseRule {
  int button;
  int edit;
  bool save;
  int filterId;
  const char* suffix;
  std::string MainDialogValues::*value;
};

constexpr BrowseRule kBrowseRules[] = {
    {idc::kOriginalPackageBrowse, idc::kOriginalPackageEdit, false, 120, "", &MainDialogValues::originalPackage},
    {idc::kConfigFileBrowse, idc::kConfigFileEdit, false, 121, "", &MainDialogValues::configFile},
    {idc::kNewPackageBrowse, idc::kNewPackageEdit, true, 120, "bin", &MainDialogValues::newPackage},
    {idc::kConfigPackBrowse, idc::kConfigPackEdit, false, 147, "", &MainDialogValues::configPack},
    {idc::kUpdateScriptBrowse, idc::kUpdateScriptEdit, false, 147, "", &MainDialogValues::updateScript},
};

// Whether the name of `path` matches a pattern ("*.bin") of `filter`, a
// file dialog's filter "description|pattern;pattern||", in any case.
bool FitsFilter(std::string_view path, std::string_view filter) {
  const std::size_t start = filter.find('|') + 1;
  std::string_view patterns = filter.substr(start, filter.find('|', start) - start);
  const auto lower = [](std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
  };
  const std::string name = lower(path.substr(path.find_last_of("/\\") + 1));
  while (!patterns.empty()) {
    const std::size_t end = std::min(patterns.find(';'), patterns.size());
    const std::string pattern = lower(patterns.substr(0, end));
    const std::string_view suffix = std::string_view(pattern).substr(std::min<std::size_t>(1, pattern.size()));
    if (pattern.starts_with('*') && name.size() > suffix.size() && name.ends_with(suffix)) return true;
    patterns.remove_prefix(std::min(end + 1, patterns.size()));
  }
  return false;
}

// The names under which the window remembers its choices: each Browse
// button's folder, and the chosen files worth choosing again.
struct MemoryKey {
  int button;
  const char* folder;
  const char* file;  // nullptr: the path itself is not kept
  std::string MainDialogValues::*value;
};

constexpr MemoryKey kMemoryKeys[] = {
    {idc::kOriginalPackageBrowse, "original_folder", nullptr, &MainDialogValues::originalPackage},
    {idc::kConfigFileBrowse, "config_file_folder", "config_file", &MainDialogValues::configFile},
    {idc::kNewPackageBrowse, "new_package_folder", nullptr, &MainDialogValues::newPackage},
    {idc::kConfigPackBrowse, "config_pack_folder", "config_pack", &MainDialogValues::configPack},
    {idc::kUpdateScriptBrowse, "update_script_folder", "update_script", &MainDialogValues::updateScript},
};

// Whether `path` still names a `kind` of thing (or a link, which the file
// dialog and the job follow).
bool StillThere(const std::string& path, os::Kind kind) {
  os::Entry entry;
  return !path.empty() && os::Look(os::Folder(), path, entry) == 0 &&
         (entry.kind == kind || entry.kind == os::Kind::kLink);
}

// The job's output as lines for a message box's details.
// The job's lines as the window shows them: each "\r\n" a line break, and
// every other byte as the escaper shows it, so that no byte from a package
// or a path reaches the window raw.
std::string OutputLines(std::string_view output) {
  std::string text;
  for (std::size_t start = 0; start < output.size();) {
    const std::size_t end = std::min(output.find("\r\n", start), output.size());
    text += DisplayText(output.substr(start, end - start)) + "\n";
    start = end + 2;
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (&line == lines.data() ? "" : "\n") + line;
  return text;
}

// The string ID that names a job's stage in its progress dialog.
int StageTextId(JobStage stage) {
  switch (stage) {
    case JobStage::kUnpacking: return 195;
    case JobStage::kBuilding: return 197;
    case JobStage::kChecking: return 199;
    default: return 161;
  }
}

// The string ID of the sentence that says what kind of cause a failure had.
int KindTextId(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNotAPackage: return 177;
    case FailureKind::kDamagedOriginal: return 179;
    case FailureKind::kInputMissing: return 181;
    case FailureKind::kInputNotAFile: return 183;
    case FailureKind::kOutputFolder: return 185;
    case FailureKind::kDiskFull: return 187;
    case FailureKind::kCheckFailed: return 189;
    case FailureKind::kOutputFolderMissing: return 221;
    case FailureKind::kInUse: return 223;
    case FailureKind::kAccessDenied: return 225;
    case FailureKind::kBadName: return 227;
    case FailureKind::kPathRefused: return 229;
    default: return 191;
  }
}

}  // namespace

// Findings are numbered from 301 in their order, each with its English twin.
int FindingTextId(Finding finding) { return 301 + 2 * (static_cast<int>(finding) - 1); }

namespace {

// The string ID of the sentence that says what a kind of warning means.
int WarningTextId(WarningKind kind) {
  switch (kind) {
    case WarningKind::kOriginalCrc: return 207;
    case WarningKind::kNotSynced: return 209;
    case WarningKind::kJobFolderLeft: return 211;
    case WarningKind::kItemReplaced: return 213;
    case WarningKind::kNoProductList: return 215;
    case WarningKind::kOther: break;
  }
  return 217;
}

}  // namespace

// The flow's calls to the front end, made on the job's thread: each runs on
// the window's thread while the job waits for it.
class MainDialog::JobFrontEnd : public PackageFrontEnd {
 public:
  explicit JobFrontEnd(MainDialog& dialog) : dialog_(dialog) {}

  int SelectProducts(ProductListBuffer& productList) override {
    int result = 1;
    dialog_.CallForJob([&] { result = dialog_.SelectProducts(productList); }, false);
    return result;
  }
  void GetUpdateMode(int& updateMode) override {
    dialog_.CallForJob([&] { dialog_.GetUpdateMode(updateMode); }, false);
  }
  // A message is the flow's last use of the window.
  void ShowMessage(int stringId, int number) override {
    dialog_.CallForJob([&] { dialog_.ShowMessage(stringId, number); }, true);
  }
  bool ReviewChecks(const std::vector<FileCheck>& findings) override {
    bool go = false;
    dialog_.CallForJob([&] { go = dialog_.ReviewChecks(findings); }, false);
    return go;
  }

 private:
  MainDialog& dialog_;
};

const DialogLayout MainDialog::kLayout = {132, kControls, 380, 237};

MainDialog::MainDialog(WindowAccess& access, Language language) : access_(access), language_(language) {}

void MainDialog::OnInit() {
  ApplyTexts(access_, kLayout, language_);
  UpdateData(false);
  access_.AddItem(idc::kUpdateModeCombo, Text(141));
  access_.AddItem(idc::kUpdateModeCombo, Text(143));
  access_.Select(idc::kUpdateModeCombo, 0);
  SelectFileType(idc::kConfigFileRadio);
  if (remember) Recall(LoadWindowMemory());
}

// A remembered folder or file that is gone, or is no longer what it was,
// is left out.
void MainDialog::Recall(const WindowMemory& memory) {
  for (const MemoryKey& key : kMemoryKeys) {
    if (const std::string folder = memory.Get(key.folder); StillThere(folder, os::Kind::kFolder))
      fieldFolders_[key.button] = folder;
    if (key.file == nullptr) continue;
    if (const std::string file = memory.Get(key.file); StillThere(file, os::Kind::kRegular)) values.*key.value = file;
  }
  if (memory.entries.count("as_default")) values.asDefault = memory.Get("as_default") == "1";
  UpdateData(false);
  if (memory.Get("file_type") == "pack") SelectFileType(idc::kConfigPackRadio);
  if (memory.Get("update_mode") == "normal") {
    access_.Select(idc::kUpdateModeCombo, 1);
    OnSelChange(idc::kUpdateModeCombo);
  }
}

WindowMemory MainDialog::Memory() {
  UpdateData(true);
  WindowMemory memory;
  for (const MemoryKey& key : kMemoryKeys) {
    if (fieldFolders_.count(key.button)) memory.entries[key.folder] = fieldFolders_[key.button];
    if (key.file != nullptr && !(values.*key.value).empty()) memory.entries[key.file] = values.*key.value;
  }
  memory.entries.insert({{"as_default", values.asDefault ? "1" : "0"},
                         {"file_type", access_.GetCheck(idc::kConfigPackRadio) ? "pack" : "file"},
                         {"update_mode", IsFactoryModeSelected() ? "factory" : "normal"}});
  return memory;
}

void MainDialog::EndWindow(int id) {
  if (remember) SaveWindowMemory(Memory());
  access_.End(id);
}

void MainDialog::UpdateData(bool saveAndValidate) {
  if (saveAndValidate) {
    values.asDefault = access_.GetCheck(idc::kAsDefaultCheck);
    for (const PathField& field : kPathFields) values.*field.value = access_.GetText(field.edit);
  } else {
    access_.SetCheck(idc::kAsDefaultCheck, values.asDefault);
    for (const PathField& field : kPathFields) access_.SetText(field.edit, values.*field.value);
  }
}

void MainDialog::OnCommand(int id) {
  switch (id) {
    case idc::kOk: EndWindow(idc::kOk); break;  // Enter
    case idc::kCancel: OnClose(); break;
    case idc::kPackageButton: OnPackage(); break;
    case idc::kConfigFileRadio:
    case idc::kConfigPackRadio: SelectFileType(id); break;
    default: Browse(id); break;
  }
}

// Close, Escape and the close box. A running job ends first: on Yes it is
// asked to stop, and the window ends once the job has cleaned up.
void MainDialog::OnClose() {
  if (!jobRunning_) {
    EndWindow(idc::kCancel);
    return;
  }
  if (Ending()) return;
  access_.HoldProgress();
  if (access_.ShowMessage({MessageKind::kQuestion, Text(132), Text(173), {}})) {
    quitAfterJob_ = true;
    RequestCancel();
  } else {
    access_.ShowProgress(progressDelayMs);
  }
}

// Factory mode takes no update script: a chosen one is dropped.
void MainDialog::OnSelChange(int id) {
  if (id != idc::kUpdateModeCombo) return;
  if (IsFactoryModeSelected()) {
    values.updateScript.clear();
    access_.SetText(idc::kUpdateScriptEdit, "");
  }
  ApplyEnableRules();
}

// The low four bits of a command are the system's own.
bool MainDialog::OnSysCommand(unsigned id) {
  switch (id & 0xFFF0u) {
    case idc::kIdmAboutBox: access_.RunAboutDialog(); return true;
    case idc::kIdmViewOriginal:
      UpdateData(true);
      ViewPackage(values.originalPackage, 431);
      return true;
    case idc::kIdmViewNewPackage: ViewPackage(builtPackage_, 439); return true;
    default: return false;
  }
}

// Reads the package on the job's thread, as a job reads, then shows it.
// Without a path, `missingTextId` says what to choose first.
void MainDialog::ViewPackage(const std::string& path, int missingTextId) {
  if (jobRunning_) return;
  if (path.empty()) {
    access_.ShowMessage({MessageKind::kNotice, Text(124), Text(missingTextId), {}});
    return;
  }
  ResetJobReport();
  PackageFacts facts;
  RunJob([&] { facts = ReadPackageFacts(path.c_str(), ProductNames); });
  if (Ending() || CancelRequested()) return;
  const PackageViewContent view{PackageViewText(facts, path, language_), PackageViewItems(facts, language_),
                                [&](std::size_t row) { SaveItem(path, facts.items.at(row)); }};
  access_.RunPackageView(view);
}

namespace {

// The folder part of a UTF-8 path, whichever separator the system uses.
std::string FolderOf(const std::string& path) {
  const std::size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? "" : path.substr(0, at == 0 ? 1 : at);
}

// The name a save dialog offers for an item: the last part of its device
// path ("/mnt/jffs2/Updateflag" offers "Updateflag"), else the name an unpack
// gives it; none where neither can name a file.
std::string OfferedName(const ItemFacts& item) {
  const std::string_view place = item.Place();
  const std::size_t slash = place.find_last_of('/');
  if (slash != std::string_view::npos && IsPlainItemName(place.substr(slash + 1)))
    return std::string(place.substr(slash + 1));
  return IsPlainItemName(item.name) ? item.name + ".bin" : "";
}

}  // namespace

// Asks where, then writes the item's bytes on the job's thread. The save
// dialog adds no suffix: an item may be of any kind.
void MainDialog::SaveItem(const std::string& package, const ItemFacts& item) {
  const std::optional<std::string> target = access_.ChooseFile({true, 447, "", lastFolder_, OfferedName(item)});
  if (!target) return;
  lastFolder_ = FolderOf(*target);
  ResetJobReport();
  ItemSaved saved = ItemSaved::kFailed;
  RunJob([&] { saved = quarnet::SaveItem(package, item, *target); });
  if (!Ending()) access_.ShowMessage(SaveOutcome(saved, item, *target));
}

MessageBoxContent MainDialog::SaveOutcome(ItemSaved saved, const ItemFacts& item, const std::string& target) const {
  const std::vector<std::string> names = {DisplayText(item.name), DisplayText(target), std::to_string(item.size)};
  switch (saved) {
    case ItemSaved::kAgrees:
      return {MessageKind::kInformation, Text(124), FillPlaceholders(Text(449), names), {}};
    case ItemSaved::kCrcDiffers:
      return {MessageKind::kWarning, Text(124), FillPlaceholders(Text(451), names), {}};
    case ItemSaved::kPackageChanged: return {MessageKind::kError, Text(124), Text(453), {}};
    case ItemSaved::kFailed: break;
  }
  const JobReport report = LastJobReport();
  if (report.kind == FailureKind::kCancelled || CancelRequested())
    return {MessageKind::kInformation, Text(124), Text(175), {}};
  return {MessageKind::kError, Text(124), FillPlaceholders(Text(455), names), Text(169) + CauseText(report)};
}

void MainDialog::OnSignal(int signalNumber) {
  endingForSignal_ = true;
  if (jobRunning_) RequestCancelBySignal(signalNumber);
  access_.CancelDialogs();
  if (!jobRunning_) EndWindow(idc::kCancel);
}

namespace {

const BrowseRule* RuleOf(int button) {
  const auto rule = std::find_if(std::begin(kBrowseRules), std::end(kBrowseRules),
                                 [button](const BrowseRule& r) { return r.button == button; });
  return rule == std::end(kBrowseRules) ? nullptr : rule;
}

}  // namespace

void MainDialog::Browse(int button) {
  const BrowseRule* rule = RuleOf(button);
  if (rule == nullptr) return;
  // In a run, every dialog starts where the last file was chosen; before
  // the first, where this button's file was chosen in the last run.
  const std::string start = lastFolder_.empty() ? fieldFolders_[button] : lastFolder_;
  const std::optional<std::string> path = access_.ChooseFile({rule->save, rule->filterId, rule->suffix, start, ""});
  if (!path) return;
  Fill(button, *path);
}

void MainDialog::Fill(int button, const std::string& path) {
  const BrowseRule* rule = RuleOf(button);
  lastFolder_ = FolderOf(path);
  fieldFolders_[button] = lastFolder_;
  UpdateData(true);
  values.*rule->value = path;
  UpdateData(false);
}

bool MainDialog::FieldActive(int edit) const {
  const auto rule = std::find_if(std::begin(kEnableRules), std::end(kEnableRules),
                                 [edit](const EnableRule& r) { return r.id == edit; });
  if (rule == std::end(kEnableRules)) return true;
  return access_.GetCheck(idc::kConfigFileRadio) ? rule->inFileMode
         : IsFactoryModeSelected()              ? rule->inFactoryMode
                                                : rule->inNormalMode;
}

void MainDialog::OnDropFiles(int id, const std::vector<std::string>& paths) {
  const auto field = std::find_if(std::begin(kBrowseRules), std::end(kBrowseRules),
                                  [id](const BrowseRule& r) { return r.edit == id; });
  if (field != std::end(kBrowseRules)) {
    if (!FieldActive(id)) return;
    const auto fits = std::find_if(paths.begin(), paths.end(),
                                   [&](const std::string& path) { return FitsFilter(path, Text(field->filterId)); });
    if (fits != paths.end()) Fill(field->button, *fits);
    return;
  }
  bool packageTaken = !access_.GetText(idc::kOriginalPackageEdit).empty(), configTaken = false, packTaken = false;
  for (const std::string& path : paths) {
    if (!packageTaken && FitsFilter(path, Text(120))) {
      Fill(idc::kOriginalPackageBrowse, path);
      packageTaken = true;
    } else if (!configTaken && FitsFilter(path, Text(121))) {
      SelectFileType(idc::kConfigFileRadio);
      Fill(idc::kConfigFileBrowse, path);
      configTaken = true;
    } else if (!packTaken && FitsFilter(path, Text(147))) {
      SelectFileType(idc::kConfigPackRadio);
      Fill(idc::kConfigPackBrowse, path);
      packTaken = true;
    }
  }
}

void MainDialog::SelectFileType(int radio) {
  access_.SetCheck(radio, true);
  access_.SetCheck(radio == idc::kConfigFileRadio ? idc::kConfigPackRadio : idc::kConfigFileRadio, false);
  ApplyEnableRules();
}

void MainDialog::ApplyEnableRules() {
  const bool fileMode = access_.GetCheck(idc::kConfigFileRadio);
  const bool factory = IsFactoryModeSelected();
  for (const EnableRule& rule : kEnableRules) {
    access_.Enable(rule.id, fileMode ? rule.inFileMode : factory ? rule.inFactoryMode : rule.inNormalMode);
  }
}

bool MainDialog::IsFactoryModeSelected() const { return access_.GetText(idc::kUpdateModeCombo) == Text(141); }

void MainDialog::OnPackage() {
  UpdateData(true);
  PackageChoices choices;
  choices.originalPackage = values.originalPackage;
  choices.configFile = values.configFile;
  choices.newPackage = values.newPackage;
  choices.configPack = values.configPack;
  choices.updateScript = values.updateScript;
  choices.asDefault = values.asDefault;
  choices.fileType =
      access_.GetCheck(idc::kConfigFileRadio) ? PackageFileType::kConfigFile : PackageFileType::kConfigPack;
  JobFrontEnd frontEnd(*this);
  RunJob([&] { RunPackageFlow(choices, frontEnd); });
}

// The flow runs on a thread of its own so that the windows paint; its lines,
// its progress and its calls to the front end come back to the window's
// thread. It works for the window thread's job, whose stop and report the
// window reaches from its own thread.
void MainDialog::RunJob(const std::function<void()>& work) {
  ResetCancel();
  quitAfterJob_ = false;
  jobOutput_.clear();
  findings_.clear();
  jobRunning_ = true;
  {
    const ScopedOutputSink lines(JobLineSink());
    // A sink installed before the job goes on hearing it.
    const ProgressSink outerSink = SetProgressSink({});
    SetProgressSink(JobProgressSink(outerSink));
    // Stop signals stop the job and then end the window; between jobs they
    // keep their default course (and the toolkit's calls their restarts).
    const os::StopSignals stopSignals;
    access_.ShowProgress(progressDelayMs);
    Job& job = CurrentJob();
    access_.RunJob([&] {
      const ScopedJob current(job);
      work();
    });
    SetProgressSink(outerSink);
  }
  jobRunning_ = false;
  if (Ending()) EndWindow(idc::kCancel);
}

// The job's lines still reach standard output, and are kept to explain a
// failure.
OutputSink MainDialog::JobLineSink() {
  return [this](std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    access_.PostFromJob([this, piece = std::string(text)] { jobOutput_ += piece; });
  };
}

// Posts each whole percentage once, with the stage; the bar never moves
// back.
ProgressSink MainDialog::JobProgressSink(ProgressSink outerSink) {
  postedPercent_ = -1;
  postedStage_ = 0;
  return [this, outerSink](std::uint64_t done, std::uint64_t total) {
    const int percent = std::max(postedPercent_, static_cast<int>(done * 100 / total));
    const int stage = StageTextId(CurrentJobStage());
    if (percent > postedPercent_ || stage != postedStage_) {
      postedPercent_ = percent;
      postedStage_ = stage;
      access_.PostFromJob([this, percent, stage] { access_.UpdateProgress(percent, stage); });
    }
    if (outerSink) outerSink(done, total);
  };
}

// The progress dialog waits while the job asks the window; the flow's last
// call, its message, replaces the dialog.
void MainDialog::CallForJob(const std::function<void()>& call, bool last) {
  access_.CallFromJob([&] {
    if (last) {
      access_.CloseProgress();
    } else {
      access_.HoldProgress();
    }
    call();
    if (!last) access_.ShowProgress(progressDelayMs);
  });
}

// A signal, or the user's choice to quit, ends the window once the job has
// ended; the job asks the user nothing more. The signal handler records a
// signal before the window hears of it.
bool MainDialog::Ending() const { return endingForSignal_ || quitAfterJob_ || CancelSignal() != 0; }

// At most 127 bytes of the list, zero-filled after a shorter one.
int MainDialog::SelectProducts(ProductListBuffer& productList) {
  if (Ending()) return 1;
  const std::optional<std::string> list = access_.RunProductDialog();
  if (!list) return -1;
  const std::size_t n = std::min(list->size(), productList.size() - 1);
  std::fill(std::copy_n(list->begin(), n, productList.begin()), productList.end(), '\0');
  return 0;
}

void MainDialog::GetUpdateMode(int& updateMode) {
  updateMode = IsFactoryModeSelected() ? kFactoryMode : kNormalUpdateMode;
}

// When a file failed its check, the question names each finding: the file,
// the problem and its place. Findings stay for the outcome's details.
bool MainDialog::ReviewChecks(const std::vector<FileCheck>& findings) {
  if (Ending()) return false;
  findings_ = findings;
  if (std::none_of(findings.begin(), findings.end(), [](const FileCheck& f) { return f.Failed(); })) return true;
  return access_.ShowMessage(CheckQuestion(findings));
}

MessageBoxContent MainDialog::CheckQuestion(const std::vector<FileCheck>& findings) const {
  std::vector<std::string> lines = {Text(541)};
  for (const FileCheck& finding : findings) lines.push_back(CheckText(finding));
  lines.push_back(Text(543));
  return {MessageKind::kQuestion, Text(132), JoinLines(lines), {}};
}

std::string MainDialog::CheckText(const FileCheck& finding) const {
  return DescribeCheck(finding, [this](int id) { return Text(id); });
}

// What the check compared, in the window's language; without image items
// from an original, nothing is said of them.
std::string MainDialog::VerifiedText(const JobReport& report) const {
  if (report.verified.empty()) return {};
  const VerifiedCounts& c = report.counts;
  const bool images = c.imageItems > 0;
  std::string text = Text(images ? 193 : 231);
  for (const std::size_t n : {c.items, c.headerBytes, images ? c.imageItems : c.addedFiles, c.addedFiles})
    text = FormatResString(text, static_cast<int>(n));
  return text;
}

// The box of a job's outcome, in the window's language: success with what
// was verified; a cancel, which changed nothing; a failure with its kind of
// cause as the box's text and, in the details, the job's lines and the
// system's own reason.
MessageBoxContent MainDialog::Outcome(int stringId) const {
  const JobReport report = LastJobReport();
  if (stringId == kTextRepackSuccess) return SuccessOutcome(report);
  if (report.kind == FailureKind::kCancelled || CancelRequested())
    return {MessageKind::kInformation, Text(124), Text(175), {}};
  std::vector<std::string> lines;
  if (!jobOutput_.empty()) lines.push_back(OutputLines(jobOutput_));
  if (!report.reason.empty()) lines.push_back(Text(169) + CauseText(report));
  return {MessageKind::kError, Text(124), Text(stringId) + "\n" + Text(KindTextId(report.kind)), JoinLines(lines)};
}

// A success names each kind of warning once in its text; the details give
// what was verified and what the new package holds against the original,
// the new package, what the checks of the chosen files found and the
// warnings as the job wrote them.
MessageBoxContent MainDialog::SuccessOutcome(const JobReport& report) const {
  std::vector<std::string> lines;
  if (!report.verified.empty()) lines.push_back(VerifiedText(report));
  if (report.againstOriginal) {
    for (std::string& line : WhatChangedLines(*report.againstOriginal, language_)) lines.push_back(std::move(line));
  }
  if (!report.output.empty()) lines.push_back(Text(171) + DisplayText(report.output));
  for (const FileCheck& finding : findings_) lines.push_back(CheckText(finding));
  if (report.warnings.empty()) return {MessageKind::kInformation, Text(124), Text(kTextRepackSuccess), JoinLines(lines)};
  std::vector<std::string> kinds = {Text(205)};
  for (const JobWarning& warning : report.warnings) {
    const std::string sentence = "- " + Text(WarningTextId(warning.kind));
    if (std::find(kinds.begin(), kinds.end(), sentence) == kinds.end()) kinds.push_back(sentence);
    lines.push_back(Text(219) + DisplayText(warning.text));
  }
  return {MessageKind::kWarning, Text(124), JoinLines(kinds), JoinLines(lines)};
}

// The cause of a failure: for a system call's failure the path and the
// system's own message in the user's language; for one the job found, its
// sentence in the window's language; else the job's own reason.
std::string MainDialog::CauseText(const JobReport& report) const {
  if (report.finding.what != Finding::kNone) {
    std::vector<std::string> args;
    for (const std::string& arg : report.finding.args) args.push_back(DisplayText(arg));
    return FillPlaceholders(Text(FindingTextId(report.finding.what)), args);
  }
  if (report.error == 0) return DisplayText(report.reason);
  const std::string message = os::DescribeForUser(report.error);
  return DisplayText(report.path) + (message.empty() ? "" : " — " + DisplayText(message));
}

// Caption 124, OK alone: a refusal without icon, a job's outcome with its
// icon and details.
void MainDialog::ShowMessage(int stringId, int number) {
  if (Ending()) return;
  if (stringId == kTextRepackSuccess || stringId == kTextRepackFailed) {
    if (stringId == kTextRepackSuccess) builtPackage_ = LastJobReport().output;
    access_.ShowMessage(Outcome(stringId));
    return;
  }
  access_.ShowMessage({MessageKind::kNotice, Text(124), FormatResString(Text(stringId), number), {}});
}

}  // namespace quarnet
