#pragma once
// A window without a toolkit, for driving the described dialogs in tests:
// it keeps each control's state by ID, records what the dialogs show,
// answers them from a script, and runs a job on the calling thread.
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace quarnet::test {

struct RecordedControl {
  ControlKind kind = ControlKind::kLabel;
  std::string text;
  bool checked = false;
  bool enabled = true;
  std::vector<std::string> items;
  std::vector<bool> ticks;  // of a check list's rows
  int selected = -1;        // of a combo box
};

// Every use of a control that `spec` does not list fails the test.
class RecordingWindow : public WindowAccess {
 public:
  explicit RecordingWindow(const DialogSpec& spec);

  void SetTitle(const std::string& text) override { title = text; }
  std::string GetText(int id) const override;
  void SetText(int id, const std::string& text) override { At(id).text = text; }
  bool GetCheck(int id) const override { return At(id).checked; }
  void SetCheck(int id, bool checked) override { At(id).checked = checked; }
  void Enable(int id, bool enabled) override { At(id).enabled = enabled; }
  void AddItem(int id, const std::string& text) override;
  void Select(int id, int index) override { At(id).selected = index; }
  bool GetItemCheck(int id, int row) const override { return At(id).ticks.at(row); }
  void SetItemCheck(int id, int row, bool checked) override { At(id).ticks.at(row) = checked; }
  void End(int result) override { ended = result; }

  bool ShowMessage(const MessageBoxSpec& message) override;
  std::optional<std::string> ChooseFile(const FileRequest& request) override;
  std::optional<std::string> RunProductDialog() override;
  void RunAboutDialog() override { ++aboutBoxes; }
  void CancelDialogs() override { ++cancelledDialogs; }
  void ShowProgress(int delayMs) override { progress.push_back("show " + std::to_string(delayMs)); }
  void HoldProgress() override { progress.push_back("hold"); }
  void UpdateProgress(int percent) override;
  void CloseProgress() override { progress.push_back("close"); }
  void RunJob(const std::function<void()>& job) override { job(); }
  void CallFromJob(const std::function<void()>& call) override { call(); }
  void PostFromJob(std::function<void()> call) override { call(); }

  // What the user does, as a toolkit reports it: an enabled control
  // changes (a check box toggles, a radio button or a combo box's item is
  // chosen, a row's tick toggles), then its handler hears of it.
  void Click(DialogLogic& logic, int id);
  void Choose(DialogLogic& logic, int id, int index);
  void Tick(DialogLogic& logic, int id, int row);

  RecordedControl& At(int id);
  const RecordedControl& At(int id) const;
  // Control `id`'s enabled state, for each of `ids`, as '1' and '0'.
  std::string Enabled(std::initializer_list<int> ids) const;

  std::string title;
  std::optional<int> ended;
  std::vector<MessageBoxSpec> messages;
  std::deque<bool> answers;  // to questions; none left: No
  std::deque<std::optional<std::string>> fileAnswers;  // none left: Cancel
  std::vector<FileRequest> fileRequests;
  std::optional<std::string> productList;  // the product dialog's answer; none: Cancel
  int productDialogs = 0;
  int aboutBoxes = 0;
  int cancelledDialogs = 0;
  std::vector<std::string> progress;       // show, hold and close of the progress dialog
  std::function<void(int)> onProgress;     // hears each percentage

 private:
  std::map<int, RecordedControl> controls_;
};

}  // namespace quarnet::test
