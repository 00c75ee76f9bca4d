#pragma once
// A window without a toolkit, for driving the described dialogs in tests:
// it keeps each control's state by ID (a control its layout does not list
// fails the test), records what the dialogs show, answers them from a
// script, and runs a job on the calling thread.
#include <gtest/gtest.h>

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

class RecordingWindow : public WindowAccess {
 public:
  explicit RecordingWindow(const DialogLayout& layout) {
    for (const ControlLayout& control : layout.controls) controls_[control.id].kind = control.kind;
  }

  void SetTitle(const std::string& text) override { title = text; }
  std::string GetText(int id) const override {
    const bool combo = At(id).kind == ControlKind::kSortedCombo || At(id).kind == ControlKind::kCombo;
    return combo ? At(id).items.at(At(id).selected) : At(id).text;
  }
  void SetText(int id, const std::string& text) override { At(id).text = text; }
  bool GetCheck(int id) const override { return At(id).checked; }
  void SetCheck(int id, bool checked) override { At(id).checked = checked; }
  void Enable(int id, bool enabled) override { At(id).enabled = enabled; }
  void AddItem(int id, const std::string& text) override {
    At(id).items.push_back(text);
    At(id).ticks.push_back(false);
  }
  void Select(int id, int index) override { At(id).selected = index; }
  int GetSelection(int id) const override { return At(id).selected; }
  bool GetItemCheck(int id, int row) const override { return At(id).ticks.at(row); }
  void SetItemCheck(int id, int row, bool checked) override { At(id).ticks.at(row) = checked; }
  void End(int result) override { ended = result; }

  // A notice answers OK; a question the next of `answers`, or No.
  bool ShowMessage(const MessageBoxContent& message) override {
    messages.push_back(message);
    return message.kind == MessageKind::kNotice || Next(answers).value_or(false);
  }
  std::optional<std::string> ChooseFile(const FileRequest& request) override {
    fileRequests.push_back(request);
    return Next(fileAnswers).value_or(std::nullopt);
  }
  std::optional<std::string> RunProductDialog() override {
    ++productDialogs;
    return productList;
  }
  void RunAboutDialog() override { ++aboutBoxes; }
  void RunPackageView(const PackageViewContent& view) override {
    packageViews.push_back(view.text);
    if (onPackageView) onPackageView(view);
  }
  void CancelDialogs() override { ++cancelledDialogs; }
  void ShowProgress(int delayMs) override { progress.push_back("show " + std::to_string(delayMs)); }
  void HoldProgress() override { progress.push_back("hold"); }
  void UpdateProgress(int percent, int stageTextId) override {
    stages.push_back(stageTextId);
    if (onProgress) onProgress(percent);
  }
  void CloseProgress() override { progress.push_back("close"); }
  void RunJob(const std::function<void()>& job) override { job(); }
  void CallFromJob(const std::function<void()>& call) override { call(); }
  void PostFromJob(std::function<void()> call) override { call(); }

  // What the user does, as a toolkit reports it: an enabled control
  // changes (a check box toggles, a radio button or a combo box's item is
  // chosen, a row's tick toggles), then its handler hears of it.
  void Click(DialogLogic& logic, int id) {
    if (!At(id).enabled) return;
    if (At(id).kind == ControlKind::kCheck || At(id).kind == ControlKind::kRadio) {
      At(id).checked = At(id).kind == ControlKind::kRadio || !At(id).checked;
    }
    logic.OnCommand(id);
  }
  void Choose(DialogLogic& logic, int id, int index) {
    if (!At(id).enabled) return;
    At(id).selected = index;
    logic.OnSelChange(id);
  }
  void Tick(DialogLogic& logic, int id, int row) {
    if (!At(id).enabled) return;
    At(id).ticks.at(row) = !At(id).ticks.at(row);
    logic.OnCheckChange(id);
  }

  RecordedControl& At(int id) {
    if (controls_.count(id) == 0) ADD_FAILURE() << "no control " << id;
    return controls_[id];
  }
  const RecordedControl& At(int id) const { return const_cast<RecordingWindow&>(*this).At(id); }
  // The enabled state of each of `ids`, as '1' and '0'.
  std::string Enabled(std::initializer_list<int> ids) const {
    std::string state;
    for (const int id : ids) state += At(id).enabled ? '1' : '0';
    return state;
  }

  std::string title;
  std::optional<int> ended;
  std::vector<MessageBoxContent> messages;
  std::deque<bool> answers;
  std::deque<std::optional<std::string>> fileAnswers;  // none left: Cancel
  std::vector<FileRequest> fileRequests;
  std::optional<std::string> productList;  // the product dialog's answer; none: Cancel
  int productDialogs = 0;
  int aboutBoxes = 0;
  std::vector<std::string> packageViews;  // the text of each package view shown
  std::function<void(const PackageViewContent&)> onPackageView;  // what the person does there
  int cancelledDialogs = 0;
  std::vector<std::string> progress;    // show, hold and close of the progress dialog
  std::function<void(int)> onProgress;  // hears each percentage
  std::vector<int> stages;              // the stage text of each progress report

 private:
  template <class T>
  static std::optional<T> Next(std::deque<T>& queue) {
    if (queue.empty()) return std::nullopt;
    T next = std::move(queue.front());
    queue.pop_front();
    return next;
  }

  std::map<int, RecordedControl> controls_;
};

}  // namespace quarnet::test
