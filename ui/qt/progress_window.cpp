#include "ui/qt/progress_window.h"

#include <QProgressBar>
#include <QVBoxLayout>

#include "ui/control_ids.h"

namespace quarnet {

CJobProgressDlg::CJobProgressDlg(QWidget* parent, Language language)
    : ControlDialog(parent, language, ProgressDialog::kLayout), dialog_(*this, language) {
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Control(idc::kJobProgressLabel));
  layout->addWidget(Control(idc::kJobProgressBar));
  layout->addWidget(Control(idc::kCancel), 0, Qt::AlignRight);
  Bind(dialog_);
  ResizeToTemplate();
}

void CJobProgressDlg::SetProgress(int percent, int stageTextId) {
  ControlAs<QProgressBar>(idc::kJobProgressBar)->setValue(percent);
  dialog_.ShowStage(stageTextId);
}

int CJobProgressDlg::Percent() const { return ControlAs<QProgressBar>(idc::kJobProgressBar)->value(); }

}  // namespace quarnet
