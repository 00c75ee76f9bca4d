#include "ui/about_dlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "ui/app_icon.h"
#include "ui/control_ids.h"

namespace quarnet {

CAboutDlg::CAboutDlg(QWidget* parent) : ControlDialog(parent) {
  CreateControls();
  OnInitDialog();
}

// Icon left, name and copyright to its right, OK at the right edge.
void CAboutDlg::CreateControls() {
  setWindowTitle(QString::fromUtf8("关于 Quarnet"));
  auto* icon = new QLabel;
  icon->setPixmap(AppIcon().pixmap(32, 32));
  auto* name = new QLabel("Quarnet 1.1");
  name->setTextFormat(Qt::PlainText);
  auto* copyright = new QLabel("Copyright (C) 2024 The Quarnet developers");
  copyright->setTextFormat(Qt::PlainText);
  auto* ok = AddControl(idc::kOk, new QPushButton(QString::fromUtf8("确定")));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QGridLayout(this);
  layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  layout->addWidget(name, 0, 1);
  layout->addWidget(copyright, 1, 1);
  layout->addWidget(ok, 0, 2, Qt::AlignTop);
  layout->setColumnStretch(1, 1);
  ResizeToTemplate(235, 55);
}

// The caption is the menu item's text as stored, "(&A)..." included.
void CAboutDlg::OnInitDialog() { setWindowTitle(Res(101)); }

}  // namespace quarnet
