#include "ui/progress_dialog.h"

#include "package/job_control.h"
#include "ui/control_ids.h"

namespace quarnet {
namespace {

constexpr ControlLayout kControls[] = {
    {idc::kJobProgressLabel, ControlKind::kLabel, 161},
    {idc::kJobProgressBar, ControlKind::kProgressBar},
    {idc::kCancel, ControlKind::kButton, 163},
};

}  // namespace

const DialogLayout ProgressDialog::kLayout = {132, kControls, 200, 60};

void ProgressDialog::OnInit() { ApplyTexts(access_, kLayout, language_); }

void ProgressDialog::OnCommand(int id) {
  if (id != idc::kCancel) return;
  RequestCancel();
  stopping_ = true;
  access_.SetText(idc::kJobProgressLabel, Text(165, language_));
  access_.Enable(idc::kCancel, false);
}

void ProgressDialog::ShowStage(int textId) {
  if (!stopping_) access_.SetText(idc::kJobProgressLabel, Text(textId, language_));
}

}  // namespace quarnet
