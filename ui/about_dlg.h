#pragma once
// The About box: the program's icon, name and version, and copyright line.
#include "ui/controls.h"

namespace quarnet {

class CAboutDlg : public ControlDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr, Language language = Language::kChinese);

 private:
  void CreateControls();
  void OnInitDialog();
};

}  // namespace quarnet
