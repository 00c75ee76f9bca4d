#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/package_check.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

class DiffCli : public ::testing::Test {
 protected:
  DiffCli() { Write("a.bin", OriginalItems()); }

  ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), "diff");
    return RunProcess(BinPath("quarnet-cli"), args, dir_.path());
  }

  void Write(const std::string& name, const std::vector<TestItem>& items, const std::string& products = kProducts) {
    WriteBytes(dir_.path() / name, LayOutPackage(items, products));
  }

  TempDir dir_;
};

// Each row changes a copy of A into B; the text names each difference on a
// line of its own, and the JSON object says the same in its lists.
TEST_F(DiffCli, SaysWhatDiffers) {
  struct Row {
    const char* what;
    std::function<void(std::vector<TestItem>&, std::string&)> change;
    int exitCode;
    std::vector<std::string> lines;
    std::vector<std::size_t> counts;  // header, products A, B, items same, changed, only A, only B
  };
  const std::vector<Row> rows = {
      {"same", [](auto&, auto&) {}, 0, {"same       item UBOOT at flash:uboot, 11 bytes\n", "Result: same\n"},
       {0, 0, 0, 5, 0, 0, 0}},
      {"changed item",
       [](auto& items, auto&) { items[0].data = BytesOf("boot-loader2"); },
       1,
       {"changed    item UBOOT at flash:uboot, 11 bytes: Item Len 11 -> 12; Item CRC 0x",
        "changed    header File Len 0x", "Result: different\n"},
       {3, 0, 0, 4, 1, 0, 0}},
      {"only in A",
       [](auto& items, auto&) { items.erase(items.begin() + 3); },
       1,
       {"only in A  item UPDATEFLAG at file:/mnt/jffs2/Updateflag, 2 bytes\n"},
       {5, 0, 0, 4, 0, 1, 0}},
      {"only in B",
       [](auto& items, auto&) { items.push_back({item::kUnknown, "file:/mnt/x.xml", BytesOf("<x/>"), "", 2}); },
       1,
       {"only in B  item UNKNOWN at file:/mnt/x.xml, 4 bytes\n"},
       {5, 0, 0, 5, 0, 0, 1}},
      {"products",
       [](auto&, auto& products) { products = "1A0|3C0|"; },
       1,
       {"only in A  product 2B0\n", "only in B  product 3C0\n"},
       {2, 1, 1, 5, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    std::vector<TestItem> items = OriginalItems();
    std::string products = kProducts;
    row.change(items, products);
    Write("b.bin", items, products);
    const auto r = Run({"a.bin", "b.bin"});
    EXPECT_EQ(r.exitCode, row.exitCode) << row.what << r.err;
    EXPECT_EQ(r.out.rfind("A          a.bin (full, ", 0), 0u) << r.out;
    for (const std::string& line : row.lines) EXPECT_NE(r.out.find(line), std::string::npos) << row.what << r.out;

    const auto j = Run({"--json", "a.bin", "b.bin"});
    EXPECT_EQ(j.exitCode, row.exitCode) << row.what;
    const auto doc = nlohmann::json::parse(j.out);
    EXPECT_EQ(doc["same"], row.exitCode == 0);
    EXPECT_EQ(doc["b"]["file"], "b.bin");
    const std::vector<std::size_t> counts = {
        doc["header"].size(),          doc["products"]["onlyInA"].size(), doc["products"]["onlyInB"].size(),
        doc["items"]["same"].size(),   doc["items"]["changed"].size(),    doc["items"]["onlyInA"].size(),
        doc["items"]["onlyInB"].size()};
    EXPECT_EQ(counts, row.counts) << row.what << j.out;
  }
}

// Texts from the packages come out as the escaper shows them, in the text
// and in the JSON object alike.
TEST_F(DiffCli, JsonHoldsNamesEscaped) {
  auto items = OriginalItems();
  items.push_back({"K\xff\x1b[0m\"\\", "file:/\xc3(", BytesOf("x"), "", 0});
  Write("b.bin", items);
  const auto r = Run({"a.bin", "b.bin", "--json"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  const auto added = nlohmann::json::parse(r.out)["items"]["onlyInB"].at(0);
  EXPECT_EQ(added["name"], "K\\xFF\\x1B[0m\"\\");
  EXPECT_EQ(added["destination"], "file:/\\xC3(");
  EXPECT_EQ(added["size"], 1);
  EXPECT_NE(Run({"a.bin", "b.bin"}).out.find("only in B  item K\\xFF\\x1B[0m\"\\ at file:/\\xC3(, 1 bytes\n"),
            std::string::npos);
}

TEST_F(DiffCli, DamagedInputsAndUsageErrors) {
  Bytes damaged = LayOutPackage(OriginalItems(), kProducts);
  damaged.back() ^= 1;
  WriteBytes(dir_.path() / "damaged.bin", damaged);
  WriteBytes(dir_.path() / "junk.bin", BytesOf("QZXP"));
  struct Row {
    std::vector<std::string> args;
    std::string err;
  };
  const std::vector<Row> rows = {
      {{"a.bin", "damaged.bin"}, "quarnet-cli diff: damaged.bin is damaged: File CRC: expected 0x"},
      {{"damaged.bin", "a.bin", "--json"}, "quarnet-cli diff: damaged.bin is damaged: "},
      {{"a.bin", "junk.bin"}, "quarnet-cli diff: junk.bin is not a package"},
      {{"missing.bin", "a.bin"}, "quarnet-cli diff: cannot read missing.bin\n"},
      {{"a.bin"}, "quarnet-cli diff: give two packages\n\nUsage: quarnet-cli diff"},
      {{"a.bin", "a.bin", "a.bin"}, "quarnet-cli diff: give two packages\n\nUsage: quarnet-cli diff"},
      {{"a.bin", "a.bin", "--xml"}, "quarnet-cli diff: unknown option --xml\n\nUsage: quarnet-cli diff"},
  };
  for (const Row& row : rows) {
    const auto r = Run(row.args);
    EXPECT_EQ(r.exitCode, 2) << row.err;
    EXPECT_EQ(r.out, "") << row.err;
    EXPECT_EQ(r.err.rfind(row.err, 0), 0u) << r.err;
  }
  const auto help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: quarnet-cli diff A B [--json]\n", 0), 0u);
  EXPECT_NE(RunProcess(BinPath("quarnet-cli"), {"--help"}, dir_.path()).out.find("\n  diff A B [--json] "),
            std::string::npos);
}

}  // namespace
}  // namespace quarnet::test
