#include "tests/ui/dialogs/recording_window.h"

#include <gtest/gtest.h>

namespace quarnet::test {

RecordingWindow::RecordingWindow(const DialogSpec& spec) {
  for (const ControlSpec& control : spec.controls) controls_[control.id].kind = control.kind;
}

RecordedControl& RecordingWindow::At(int id) {
  const auto it = controls_.find(id);
  if (it != controls_.end()) return it->second;
  ADD_FAILURE() << "no control " << id;
  static RecordedControl none;
  return none = {};
}

const RecordedControl& RecordingWindow::At(int id) const { return const_cast<RecordingWindow&>(*this).At(id); }

std::string RecordingWindow::Enabled(std::initializer_list<int> ids) const {
  std::string state;
  for (const int id : ids) state += At(id).enabled ? '1' : '0';
  return state;
}

std::string RecordingWindow::GetText(int id) const {
  const RecordedControl& control = At(id);
  return control.kind == ControlKind::kSortedCombo ? control.items.at(control.selected) : control.text;
}

void RecordingWindow::AddItem(int id, const std::string& text) {
  At(id).items.push_back(text);
  At(id).ticks.push_back(false);
}

bool RecordingWindow::ShowMessage(const MessageBoxSpec& message) {
  messages.push_back(message);
  if (message.kind == MessageKind::kNotice) return true;
  const bool yes = !answers.empty() && answers.front();
  if (!answers.empty()) answers.pop_front();
  return yes;
}

std::optional<std::string> RecordingWindow::ChooseFile(const FileRequest& request) {
  fileRequests.push_back(request);
  if (fileAnswers.empty()) return std::nullopt;
  const std::optional<std::string> answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

std::optional<std::string> RecordingWindow::RunProductDialog() {
  ++productDialogs;
  return productList;
}

void RecordingWindow::UpdateProgress(int percent) {
  if (onProgress) onProgress(percent);
}

void RecordingWindow::Click(DialogLogic& logic, int id) {
  RecordedControl& control = At(id);
  if (!control.enabled) return;
  if (control.kind == ControlKind::kCheck) control.checked = !control.checked;
  if (control.kind == ControlKind::kRadio) control.checked = true;
  logic.OnCommand(id);
}

void RecordingWindow::Choose(DialogLogic& logic, int id, int index) {
  if (!At(id).enabled) return;
  At(id).selected = index;
  logic.OnSelChange(id);
}

void RecordingWindow::Tick(DialogLogic& logic, int id, int row) {
  if (!At(id).enabled) return;
  At(id).ticks.at(row) = !At(id).ticks.at(row);
  logic.OnCheckChange(id);
}

}  // namespace quarnet::test
