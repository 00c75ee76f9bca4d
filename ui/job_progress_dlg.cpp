#include "ui/job_progress_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "package/job_control.h"
#include "ui/control_ids.h"

namespace quarnet {

CJobProgressDlg::CJobProgressDlg(QWidget* parent, Language language) : ControlDialog(parent, language) {
  setWindowTitle(Res(132));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);
  auto* label = AddControl(idc::kJobProgressLabel, new QLabel(Res(161)));
  auto* bar = AddControl(idc::kJobProgressBar, new QProgressBar);
  bar->setRange(0, 100);
  bar->setValue(0);
  auto* cancel = AddControl(idc::kCancel, new QPushButton(Res(163)));
  connect(cancel, &QPushButton::clicked, this, &CJobProgressDlg::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(bar);
  layout->addWidget(cancel, 0, Qt::AlignRight);
  ResizeToTemplate(200, 60);
}

void CJobProgressDlg::SetPercent(int percent) { ControlAs<QProgressBar>(idc::kJobProgressBar)->setValue(percent); }

int CJobProgressDlg::Percent() const { return ControlAs<QProgressBar>(idc::kJobProgressBar)->value(); }

void CJobProgressDlg::reject() {
  RequestCancel();
  ControlAs<QLabel>(idc::kJobProgressLabel)->setText(Res(165));
  Control(idc::kCancel)->setEnabled(false);
}

}  // namespace quarnet
