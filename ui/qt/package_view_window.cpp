#include "ui/qt/package_view_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/control_ids.h"

namespace quarnet {

CPackageViewDlg::CPackageViewDlg(QWidget* parent, Language language, const PackageViewContent& content)
    : ControlDialog(parent, language, PackageViewDialog::kLayout), dialog_(*this, language, content) {
  auto* buttons = new QHBoxLayout;
  auto* itemLabel = ControlAs<QLabel>(idc::kPackageViewItemLabel);
  itemLabel->setBuddy(Control(idc::kPackageViewItems));
  buttons->addWidget(itemLabel);
  buttons->addWidget(Control(idc::kPackageViewItems), 1);
  buttons->addWidget(Control(idc::kPackageViewSaveItem));
  buttons->addStretch();
  buttons->addWidget(Control(idc::kOk));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Control(idc::kPackageViewText), 1);
  layout->addLayout(buttons);
  Bind(dialog_);
  ResizeToTemplate();
}

}  // namespace quarnet
