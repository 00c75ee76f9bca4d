#include "ui/qt/package_view_window.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/control_ids.h"

namespace quarnet {

CPackageViewDlg::CPackageViewDlg(QWidget* parent, Language language, const std::string& text)
    : ControlDialog(parent, language, PackageViewDialog::kLayout), dialog_(*this, language, text) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(Control(idc::kOk));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Control(idc::kPackageViewText), 1);
  layout->addLayout(buttons);
  Bind(dialog_);
  ResizeToTemplate();
}

}  // namespace quarnet
