#pragma once
// The modal dialog of a long job: what runs, how far it has come in whole
// percent, and Cancel, which asks the job to stop at its next block. The
// job's owner closes it when the job has ended; the user cannot.
#include "ui/dialog.h"

namespace quarnet {

class ProgressDialog : public DialogLogic {
 public:
  static const DialogLayout kLayout;

  ProgressDialog(DialogAccess& access, Language language) : access_(access), language_(language) {}

  void OnInit() override;
  // Cancel (also Escape and the close box): asks the job to stop and says
  // so; the dialog stays until the job has stopped.
  void OnCommand(int id) override;
  // Names the job's stage (a string ID) in the label, unless a stop is
  // under way.
  void ShowStage(int textId);

 private:
  DialogAccess& access_;
  Language language_;
  bool stopping_ = false;
};

}  // namespace quarnet
