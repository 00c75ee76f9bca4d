#include "ui/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/app_icon.h"
#include "ui/control_ids.h"

namespace quarnet {

CAboutDlg::CAboutDlg(QWidget* parent, Language language) : ControlDialog(parent, language) {
  CreateControls();
  OnInitDialog();
}

// Icon left, name and copyright to its right, OK at the right edge.
void CAboutDlg::CreateControls() {
  setWindowTitle(QString::fromUtf8("关于 Quarnet"));
  auto* icon = new QLabel;
  icon->setPixmap(AppIcon().pixmap(32, 32));
  auto* name = new QLabel("Quarnet " QUARNET_VERSION);
  name->setTextFormat(Qt::PlainText);
  auto* copyright = new QLabel("Copyright (C) 2024 The Quarnet developers");
  copyright->setTextFormat(Qt::PlainText);
  auto* ok = AddControl(idc::kOk, new QPushButton);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->addWidget(name);
  text->addWidget(copyright);
  text->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon, 0, Qt::AlignTop);
  layout->addLayout(text, 1);
  layout->addWidget(ok, 0, Qt::AlignTop);
  ResizeToTemplate(235, 55);
}

// The caption is the menu item's text as stored, "(&A)..." included.
void CAboutDlg::OnInitDialog() {
  setWindowTitle(Res(101));
  ControlAs<QPushButton>(idc::kOk)->setText(Res(157));
}

}  // namespace quarnet
