#pragma once
// The modal dialog of a long job: what runs, how far it has come in whole
// percent, and Cancel, which asks the job to stop at its next block. The
// job's owner closes it when the job has ended; the user cannot.
#include "ui/controls.h"

namespace quarnet {

class CJobProgressDlg : public ControlDialog {
  Q_OBJECT

 public:
  CJobProgressDlg(QWidget* parent, Language language);

  // 0 to 100.
  void SetPercent(int percent);
  int Percent() const;

 public slots:
  // Cancel, Escape and the close box: ask the job to stop, keep showing
  // until it has.
  void reject() override;
};

}  // namespace quarnet
