#pragma once
// The package view (ui/package_view_dialog.h) drawn with Qt: its lines in a
// fixed-width font that keeps the items' columns; below them the item to
// save and its button, and OK at the right.
#include <string>

#include "ui/package_view_dialog.h"
#include "ui/qt/controls.h"

namespace quarnet {

class CPackageViewDlg : public ControlDialog {
  Q_OBJECT

 public:
  CPackageViewDlg(QWidget* parent, Language language, const PackageViewContent& content);

 private:
  PackageViewDialog dialog_;
};

}  // namespace quarnet
