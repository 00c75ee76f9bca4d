#pragma once
// The progress dialog of a long job (ui/progress_dialog.h) drawn with Qt.
#include "ui/qt/controls.h"
#include "ui/progress_dialog.h"

namespace quarnet {

class CJobProgressDlg : public ControlDialog {
  Q_OBJECT

 public:
  CJobProgressDlg(QWidget* parent, Language language);

  // 0 to 100, and the stage's string ID.
  void SetProgress(int percent, int stageTextId);
  int Percent() const;

 private:
  ProgressDialog dialog_;
};

}  // namespace quarnet
