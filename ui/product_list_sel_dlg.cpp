#include "ui/product_list_sel_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "package/format.h"
#include "ui/control_ids.h"
#include "ui/dialog_host.h"

namespace quarnet {
namespace {

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }
QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QGroupBox* Framing(QGroupBox* group, QWidget* content) {
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(content);
  return group;
}

}  // namespace

CProductListSelDlg::CProductListSelDlg(QWidget* parent, Language language, const ProductInfo* table)
    : ControlDialog(parent, language), m_pProductTable(table) {
  CreateControls();
  OnInitDialog();
}

// Versions on the left, products (about twice as wide, in columns) on the
// right, the product list below both, OK and Cancel at the bottom right.
void CProductListSelDlg::CreateControls() {
  setWindowTitle("ProductList");
  m_listVersions = AddControl(idc::kVersionsList, new CheckListBox);
  m_listProducts = AddControl(idc::kProductsList, new CheckListBox);
  m_listProducts->setFlow(QListView::TopToBottom);
  m_listProducts->setWrapping(true);
  m_listProducts->setResizeMode(QListView::Adjust);
  m_listProducts->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  auto* edit = AddControl(idc::kProductListEdit, new QLineEdit);
  auto* ok = AddControl(idc::kOk, new QPushButton);
  auto* cancel = AddControl(idc::kCancel, new QPushButton);
  ok->setDefault(true);

  auto* lists = new QHBoxLayout;
  lists->addWidget(Framing(AddControl(idc::kVersionsGroup, new QGroupBox), m_listVersions), 1);
  lists->addWidget(Framing(AddControl(idc::kProductsGroup, new QGroupBox), m_listProducts), 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addWidget(edit);
  layout->addLayout(buttons);

  connect(m_listVersions, &CheckListBox::checkChange, this, &CProductListSelDlg::OnVersionsCheckChange);
  connect(m_listProducts, &CheckListBox::checkChange, this, &CProductListSelDlg::OnProductsCheckChange);
  connect(ok, &QPushButton::clicked, this, &CProductListSelDlg::OnOK);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  ResizeToTemplate(366, 227);
}

void CProductListSelDlg::OnInitDialog() {
  DoDataExchange(false);
  setWindowTitle(Res(151));
  ControlAs<QGroupBox>(idc::kVersionsGroup)->setTitle(Res(153));
  ControlAs<QGroupBox>(idc::kProductsGroup)->setTitle(Res(155));
  ControlAs<QPushButton>(idc::kOk)->setText(Res(157));
  ControlAs<QPushButton>(idc::kCancel)->setText(Res(106));
  FillLists();
}

void CProductListSelDlg::DoDataExchange(bool saveAndValidate) {
  auto* edit = ControlAs<QLineEdit>(idc::kProductListEdit);
  if (saveAndValidate) {
    m_strProductList = Utf8(edit->text());
  } else {
    edit->setText(FromUtf8(m_strProductList));
  }
}

int CProductListSelDlg::IsInArray(const std::vector<std::string>& array, const std::string& text) {
  return std::find(array.begin(), array.end(), text) != array.end() ? 1 : 0;
}

void CProductListSelDlg::FillLists() {
  std::vector<std::string> versions;
  std::vector<std::string> names;
  for (const ProductInfo* row = m_pProductTable; row->szVersion[0] != '\0'; ++row) {
    const std::string version(GetText(row->szVersion));
    const std::string name(GetText(row->szProductName));
    if (!IsInArray(versions, version)) versions.push_back(version);
    if (!IsInArray(names, name)) names.push_back(name);
    // The first row of a name fixes its code.
    m_mapNameToCode.emplace(name, std::string(GetText(row->szProductCode)));
  }
  for (const std::string& version : versions) m_listVersions->AddString(FromUtf8(version));
  for (const std::string& name : names) m_listProducts->AddString(FromUtf8(name));
}

void CProductListSelDlg::UpdateProductList() {
  m_strProductList.clear();
  for (int row = 0; row < m_listProducts->GetCount(); ++row) {
    if (m_listProducts->GetCheck(row) == 0) continue;
    const auto it = m_mapNameToCode.find(Utf8(m_listProducts->GetText(row)));
    if (it != m_mapNameToCode.end() && m_strProductList.find(it->second) == std::string::npos) {
      m_strProductList += it->second + "|";
    }
  }
  DoDataExchange(false);
}

void CProductListSelDlg::OnVersionsCheckChange() {
  std::vector<std::string> versions;
  for (int row = 0; row < m_listVersions->GetCount(); ++row) {
    if (m_listVersions->GetCheck(row) != 0) versions.push_back(Utf8(m_listVersions->GetText(row)));
  }
  std::vector<std::string> names;
  for (const ProductInfo* row = m_pProductTable; row->szVersion[0] != '\0'; ++row) {
    const std::string name(GetText(row->szProductName));
    if (IsInArray(versions, std::string(GetText(row->szVersion))) && !IsInArray(names, name)) {
      names.push_back(name);
    }
  }
  for (int row = 0; row < m_listProducts->GetCount(); ++row) m_listProducts->SetCheck(row, 0);
  for (int row = 0; row < m_listProducts->GetCount(); ++row) {
    if (IsInArray(names, Utf8(m_listProducts->GetText(row)))) m_listProducts->SetCheck(row, 1);
  }
  UpdateProductList();
}

void CProductListSelDlg::OnProductsCheckChange() {
  for (int row = 0; row < m_listVersions->GetCount(); ++row) m_listVersions->SetCheck(row, 0);
  UpdateProductList();
}

void CProductListSelDlg::OnOK() {
  DoDataExchange(true);
  accept();
}

int SelectProducts(char* productList, QWidget* owner, DialogHost& host, Language language) {
  if (productList == nullptr) return -1;
  CProductListSelDlg dialog(owner, language);
  if (host.RunModal(dialog) != QDialog::Accepted) return -1;
  // At most 127 bytes, zero-filled after a shorter text; the caller's 128th
  // byte stays zero.
  const std::string list = dialog.GetProductList();
  const std::size_t n = std::min<std::size_t>(list.size(), kProductListSize - 1);
  std::memcpy(productList, list.data(), n);
  std::memset(productList + n, 0, kProductListSize - 1 - n);
  return 0;
}

}  // namespace quarnet
