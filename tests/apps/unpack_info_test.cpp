#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "package/endian.h"
#include "tests/support/package_check.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

class UnpackInfoCli : public ::testing::Test {
 protected:
  UnpackInfoCli() {
    fs::create_directory(dir_.path() / "out");
    WriteBytes(dir_.path() / "orig.bin", LayOutPackage(OriginalItems(), kProducts));
  }

  ProcessResult Run(const std::vector<std::string>& args) {
    return RunProcess(BinPath("quarnet-cli"), args, dir_.path());
  }

  void Write(const std::string& name, const Bytes& bytes) { WriteBytes(dir_.path() / name, bytes); }

  TempDir dir_;
};

TEST_F(UnpackInfoCli, UnpackIntoAnotherDirectory) {
  const auto r = Run({"unpack", "orig.bin", "-C", "out"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "quarnet-cli unpack: 4 items exported: UBOOT.bin KERNEL.bin ROOTFS.bin UPDATEFLAG.bin\n"
            "product list: 1A0|2B0|\n");
  EXPECT_EQ(ListDir(dir_.path() / "out"), (std::vector<std::string>{"KERNEL.bin", "ROOTFS.bin", "UBOOT.bin",
                                                                    "UPDATEFLAG.bin", "pack_xml.log"}));
  EXPECT_EQ(ReadBytes(dir_.path() / "out" / "KERNEL.bin"), OriginalItems()[1].data);
  EXPECT_NE(ReadText(dir_.path() / "out" / "pack_xml.log").find("Item Name    : EFS \r\n"), std::string::npos);
  EXPECT_EQ(ListDir(dir_.path()), (std::vector<std::string>{"orig.bin", "out"}));

  // Items of one name: the file keeps the last, and the summary says so.
  Write("twice.bin", LayOutPackage({{"UNKNOWN", "file:/a", BytesOf("1"), "", 0},
                                    {"UNKNOWN", "file:/b", BytesOf("2"), "", 0}}));
  const auto twice = Run({"unpack", "twice.bin", "-C", "out"});
  EXPECT_EQ(twice.exitCode, 0) << twice.err;
  EXPECT_NE(twice.err.find("\nwarning: item 1 (UNKNOWN) replaced UNKNOWN.bin of an earlier item of the same name\n"),
            std::string::npos) << twice.err;
  EXPECT_EQ(ReadText(dir_.path() / "out" / "UNKNOWN.bin"), "2");
}

TEST_F(UnpackInfoCli, UnpackFailuresPrintTheReaderLines) {
  Bytes truncated = LayOutPackage({{"A", "file:/a", BytesOf("0123456789"), "", 0}});
  truncated.resize(truncated.size() - 4);
  Write("truncated.bin", truncated);
  Write("hostile.bin", LayOutPackage({{"../escape", "file:/a", BytesOf("x"), "", 0}}));
  Write("junk.bin", BytesOf("not a package"));
  // A name Windows cannot hold, refused there before any file is made.
  Write("device.bin", LayOutPackage({{"A", "file:/a", BytesOf("a"), "", 0}, {"Com1", "file:/c", BytesOf("c"), "", 0}}));
  struct Case {
    const char* package;
    std::string out;
    const char* reason;
  };
  std::vector<Case> cases = {
      {"truncated.bin", "Unpack file A error. left size 4.\r\nExport item A error.\r\n", "ends inside item A"},
      {"hostile.bin", "Export item ../escape error.\r\n", "is not a plain file name"},
      {"junk.bin", "Wrong file input.\r\n", "not a firmware package"},
  };
#ifdef _WIN32
  cases.push_back({"device.bin", "Export item Com1 error.\r\n", "on this system: Com1 is the name of a device"});
#endif
  for (const Case& c : cases) {
    const auto r = Run({"unpack", "-C", ".", c.package});
    EXPECT_EQ(r.exitCode, 1) << c.package;
    EXPECT_EQ(r.out, c.out) << c.package;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_.path() / "A.bin")) << c.package;
  }
  EXPECT_FALSE(fs::exists(dir_.path() / "escape.bin"));
  const auto r = Run({"unpack", "missing.bin"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "Open file missing.bin error.\r\n");
}

TEST_F(UnpackInfoCli, UsageErrors) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"unpack"},
           {"unpack", "orig.bin", "-x"},
           {"unpack", "orig.bin", "-C"},
           {"unpack", "orig.bin", "-C", "no-such-dir"},
           {"unpack", "orig.bin", "orig.bin"},
           {"info"},
           {"info", "orig.bin", "--xml"},
           {"info", "orig.bin", "orig.bin"},
       }) {
    const auto r = Run(args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_EQ(r.out, "") << args.back();
    EXPECT_NE(r.err.find("Usage: quarnet-cli"), std::string::npos) << args.back();
  }
  for (const char* command : {"unpack", "info"}) {
    const auto r = Run({command, "--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind(std::string("Usage: quarnet-cli ") + command, 0), 0u);
  }
  EXPECT_EQ(ListDir(dir_.path()), (std::vector<std::string>{"orig.bin", "out"}));
}

TEST_F(UnpackInfoCli, InfoShowsAndVerifies) {
  auto r = Run({"info", "orig.bin"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find("Item Info Len: 0x00000168 (360)\n"), std::string::npos);
  EXPECT_NE(r.out.find("Product List : 1A0|2B0|\n"), std::string::npos);
  EXPECT_NE(r.out.find("Item Name    : ROOTFS\n"), std::string::npos);
  EXPECT_NE(r.out.find("Result: consistent"), std::string::npos);

  Bytes damaged = LayOutPackage(OriginalItems(), kProducts);
  damaged.back() ^= 1;
  Write("damaged.bin", damaged);
  r = Run({"info", "damaged.bin"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("MISMATCH  File CRC"), std::string::npos);
  EXPECT_NE(r.out.find("MISMATCH  Item 4 CRC"), std::string::npos);
  EXPECT_NE(r.out.find("Result: INCONSISTENT (2 of"), std::string::npos);

  Write("junk.bin", BytesOf("QZXP"));
  for (const char* package : {"junk.bin", "missing.bin", "out"}) {
    r = Run({"info", package});
    EXPECT_EQ(r.exitCode, 2) << package;
    EXPECT_EQ(r.out, "") << package;
  }
}

// The facts of a package as info prints them are the package as it was laid
// out: its product list, and each item's record and bytes in order.
TEST_F(UnpackInfoCli, InfoPrintsTheFactsOfThePackage) {
  auto items = OriginalItems();
  items.push_back({"UNKNOWN", "file:/mnt/a.xml", BytesOf("<a/>"), "V9", 2});
  Write("p.bin", LayOutPackage(items, "1A0|"));
  const auto r = Run({"info", "p.bin", "--json"});
  EXPECT_EQ(r.exitCode, 0);
  const auto doc = nlohmann::json::parse(r.out);
  EXPECT_EQ(doc["header"]["productList"], "1A0|");
  EXPECT_EQ(doc["header"]["itemNum"], items.size());
  ASSERT_EQ(doc["items"].size(), items.size());
  std::uint32_t offset = 164 + 360 * static_cast<std::uint32_t>(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto& item = doc["items"][i];
    const TestItem& laid = items[i];
    EXPECT_EQ(item["itemName"], laid.name);
    EXPECT_EQ(item["destination"], laid.destination);
    EXPECT_EQ(item["itemVersion"], laid.version);
    EXPECT_EQ(item["itemPolicy"], laid.policy);
    EXPECT_EQ(item["itemLen"], laid.data.size());
    EXPECT_EQ(item["itemOffset"], offset) << i;
    offset += static_cast<std::uint32_t>(laid.data.size());
  }
  EXPECT_NE(Run({"info", "p.bin"}).out.find("Item 5:\nIndex        : 5\nItem CRC     : 0x"), std::string::npos);
}

TEST_F(UnpackInfoCli, InfoJsonParsesWhateverTheNamesHold) {
  Bytes hostile = LayOutPackage({{"K\xff\x1b[0m\"\\", "file:\xc3(", BytesOf("x"), "", 0}}, "\xfe|");
  Write("hostile.bin", hostile);
  auto r = Run({"info", "--json", "hostile.bin"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  EXPECT_TRUE(doc["consistent"].get<bool>());
  EXPECT_EQ(doc["kind"], "full");
  EXPECT_EQ(doc["items"][0]["itemName"], "K\xef\xbf\xbd\x1b[0m\"\\");

  Bytes compact = LayOutCompactPackage({{"A", "file:/a", BytesOf("a"), "", 0}});
  StoreLE32(&compact[20], 17);
  Write("compact.bin", compact);
  r = Run({"info", "compact.bin", "--json"});
  EXPECT_EQ(r.exitCode, 1);
  const auto c = nlohmann::json::parse(r.out);
  EXPECT_FALSE(c["consistent"].get<bool>());
  EXPECT_EQ(c["compactHeader"]["itemNum"], 17);
  EXPECT_FALSE(c["notes"].empty());
}

}  // namespace
}  // namespace quarnet::test
