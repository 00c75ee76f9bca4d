#pragma once
// The About box (ui/about_dialog.h) drawn with Qt.
#include "ui/about_dialog.h"
#include "ui/qt/controls.h"

namespace quarnet {

class CAboutDlg : public ControlDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr, Language language = Language::kChinese);

 private:
  AboutDialog dialog_;
};

}  // namespace quarnet
