#pragma once
// A dialog described once and drawn by any toolkit. A description lists its
// controls (ID, kind, text) and holds the handlers; the handlers see only the
// dialog's data and an accessor through which the toolkit's binding reads
// and sets its controls and runs the dialogs that wait for a person. No
// toolkit header enters here: the Qt windows (ui/qt/) and the Win32 windows
// (ui/win32/) bind these descriptions, and tests drive them through a
// recording accessor.
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ui/strings.h"

namespace quarnet {

enum class ControlKind {
  kGroup,          // a frame with a title
  kLabel,          // static text
  kPathEdit,       // read-only path field that the Delete key empties
  kEdit,           // one-line text field
  kButton,         // push button
  kDefaultButton,  // push button that Enter presses
  kCheck,          // check box
  kRadio,          // radio button
  kSortedCombo,    // drop-down list that keeps its items sorted
  kCombo,          // drop-down list in the order its items were added
  kCheckList,      // list of rows with tick boxes
  kProgressBar,    // 0 to 100
  kReadOnlyText,   // lines of text to read, select and copy, with scroll bars
};

struct ControlLayout {
  int id;  // ui/control_ids.h
  ControlKind kind;
  int textId = 0;  // string ID of its text or title; 0: none
};

struct DialogLayout {
  int captionId;
  std::span<const ControlLayout> controls;
  int width;  // of the dialog's template, in dialog units
  int height;
};

// Reads and sets the controls of one dialog by control ID. Texts are UTF-8.
// Nothing set here calls a handler back: handlers hear only the user.
class DialogAccess {
 public:
  virtual ~DialogAccess() = default;
  virtual void SetTitle(const std::string& text) = 0;
  // An edit's text, a label's, a button's, a group's title; a combo box's
  // selected item.
  virtual std::string GetText(int id) const = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  // Check boxes and radio buttons. Checking a radio button may leave the
  // others of its group checked: a description sets each of them.
  virtual bool GetCheck(int id) const = 0;
  virtual void SetCheck(int id, bool checked) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  // Adds a row to a combo box (a sorted one puts it at its sorted place) or
  // check list.
  virtual void AddItem(int id, const std::string& text) = 0;
  // Selects item `index` of a combo box.
  virtual void Select(int id, int index) = 0;
  // The index of a combo box's selected item; -1 for none.
  virtual int GetSelection(int id) const = 0;
  // The tick of row `row` of a check list.
  virtual bool GetItemCheck(int id, int row) const = 0;
  virtual void SetItemCheck(int id, int row, bool checked) = 0;
  // Ends a modal dialog with idc::kOk or idc::kCancel.
  virtual void End(int result) = 0;
};

enum class MessageKind {
  kNotice,       // OK alone, no icon
  kInformation,  // OK alone, the information icon: a job that succeeded or was cancelled
  kWarning,      // OK alone, the warning icon: a job that succeeded with warnings
  kError,        // OK alone, the error icon: a job that failed
  kQuestion,     // Yes and No (the default), the question icon
};

// String IDs of a box's buttons: they speak the window's language, not the
// system's.
inline constexpr int kTextOk = 157;
inline constexpr int kTextYes = 201;
inline constexpr int kTextNo = 203;

struct MessageBoxContent {
  MessageKind kind = MessageKind::kNotice;
  std::string caption;
  std::string text;
  std::string details;  // shown on request; empty: none
};

struct FileRequest {
  bool save = false;          // a save dialog, else an open dialog
  int filterId = 0;           // string ID of a "description|pattern||" filter
  std::string defaultSuffix;  // appended to a name typed without extension
  std::string folder;         // where it opens; empty: the working directory
  std::string name;           // the file name a save dialog offers; empty: none
};

// What the package view shows: the lines of a package's facts, and the
// items that can be saved to a file, each by its label, in package order.
struct PackageViewContent {
  std::string text;
  std::vector<std::string> items;
  // Asks where, then saves item `row` of `items`.
  std::function<void(std::size_t row)> saveItem;
};

// What the main window asks of its toolkit besides its controls: the dialogs
// that wait for a person, the progress dialog of a job, and the job's thread.
class WindowAccess : public virtual DialogAccess {
 public:
  // True for OK or Yes.
  virtual bool ShowMessage(const MessageBoxContent& message) = 0;
  // The full path chosen, or nothing when the dialog ended otherwise.
  virtual std::optional<std::string> ChooseFile(const FileRequest& request) = 0;
  // The product dialog's list after OK, or nothing after Cancel.
  virtual std::optional<std::string> RunProductDialog() = 0;
  virtual void RunAboutDialog() = 0;
  // The package view of `view`, until the person closes it; the dialogs and
  // the job that saving an item brings show above it.
  virtual void RunPackageView(const PackageViewContent& view) = 0;
  // Dialogs above the window end as if cancelled.
  virtual void CancelDialogs() = 0;

  // The progress dialog of the running job shows after `delayMs` unless it
  // shows already; a new call restarts the wait.
  virtual void ShowProgress(int delayMs) = 0;
  // Stops the wait; a progress dialog already shown stays.
  virtual void HoldProgress() = 0;
  // The bar at `percent`, the label naming the stage (a string ID).
  virtual void UpdateProgress(int percent, int stageTextId) = 0;
  virtual void CloseProgress() = 0;

  // Runs `job` on a thread of its own and returns once it has ended; the
  // windows go on painting meanwhile, but take no input before the progress
  // dialog shows.
  virtual void RunJob(const std::function<void()>& job) = 0;
  // From the job's thread: runs `call` on the window's thread and waits.
  virtual void CallFromJob(const std::function<void()>& call) = 0;
  // From the job's thread: runs `call` on the window's thread later, in the
  // order posted and before any later CallFromJob.
  virtual void PostFromJob(std::function<void()> call) = 0;
};

// The handlers of a dialog, which its toolkit calls.
class DialogLogic {
 public:
  virtual ~DialogLogic() = default;
  // The controls exist: fill them.
  virtual void OnInit() = 0;
  // A button, check box or radio button was clicked. idc::kOk also comes
  // from Enter, idc::kCancel from Escape and the close box.
  virtual void OnCommand(int id) = 0;
  // The user chose an item of a combo box.
  virtual void OnSelChange(int /*id*/) {}
  // The user ticked or unticked a row of a check list.
  virtual void OnCheckChange(int /*id*/) {}
  // Files (UTF-8 paths) were dropped on control `id`, or elsewhere on the
  // dialog (0).
  virtual void OnDropFiles(int /*id*/, const std::vector<std::string>& /*paths*/) {}
};

// The caption and the controls' texts of `layout` in `language`.
void ApplyTexts(DialogAccess& access, const DialogLayout& layout, Language language);

// UTF-8 text of the loaded string ID `id` in `language`.
std::string Text(int id, Language language);

}  // namespace quarnet
