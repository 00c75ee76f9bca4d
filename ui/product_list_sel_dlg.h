#pragma once
// The product selection dialog: ONT versions and products as two check
// lists. Ticking a version ticks all of its products; ticking a product by
// hand clears the version ticks. The ticked products' codes, each once and
// each followed by "|", form the product list in the edit field below.
#include <map>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/product_table.h"

namespace quarnet {

class DialogHost;

class CProductListSelDlg : public ControlDialog {
  Q_OBJECT

 public:
  // `table` defaults to the built-in product table.
  explicit CProductListSelDlg(QWidget* parent = nullptr, Language language = Language::kChinese,
                              const ProductInfo* table = ProductTable());

  std::string GetProductList() const { return m_strProductList; }
  // 1 when `array` holds `text` (exact comparison), else 0.
  static int IsInArray(const std::vector<std::string>& array, const std::string& text);

  const ProductInfo* m_pProductTable;
  std::map<std::string, std::string> m_mapNameToCode;
  CheckListBox* m_listProducts = nullptr;
  CheckListBox* m_listVersions = nullptr;
  std::string m_strProductList;

 public slots:
  void OnVersionsCheckChange();
  void OnProductsCheckChange();
  void OnOK();

 private:
  void CreateControls();
  void OnInitDialog();
  // true: field 1015 into m_strProductList; false: the other way round.
  void DoDataExchange(bool saveAndValidate);
  void FillLists();
  void UpdateProductList();
};

// Runs the product dialog in `language`, owned by `owner`, through `host`.
// On OK copies at most 127 bytes of the product list into the zero-filled
// 128-byte `productList` and returns 0 (the list may be empty); returns -1
// for a null buffer (no dialog) or when the dialog was cancelled, leaving
// the buffer.
int SelectProducts(char* productList, QWidget* owner, DialogHost& host, Language language);

}  // namespace quarnet
