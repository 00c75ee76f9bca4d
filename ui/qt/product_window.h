#pragma once
// The product selection dialog (ui/product_dialog.h) drawn with Qt.
#include "ui/qt/controls.h"
#include "ui/product_dialog.h"

namespace quarnet {

class CProductListSelDlg : public ControlDialog {
  Q_OBJECT

 public:
  // `table` defaults to the built-in product table.
  explicit CProductListSelDlg(QWidget* parent = nullptr, Language language = Language::kChinese,
                              const ProductInfo* table = ProductTable());

  ProductDialog& Logic() { return dialog_; }

 private:
  ProductDialog dialog_;
};

}  // namespace quarnet
