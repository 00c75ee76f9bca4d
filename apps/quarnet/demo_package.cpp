#include "apps/quarnet/demo_package.h"

#include "ui/product_table.h"

namespace quarnet {

PackageFacts DemoFacts() {
  PackageFacts facts;
  facts.readable = true;
  facts.kind = PackageKind::kFull;
  facts.kernelVersion = facts.rootfsVersion = "V200R005C10";
  for (const char* code : {"1A0", "2B0"}) facts.products.push_back({code, ProductNames(code)});
  const struct {
    const char* name;
    std::uint32_t size;
    const char* place;
    std::uint32_t policy;
  } items[] = {{"UBOOT", 262144, "flash:uboot", 0},
               {"KERNEL", 2621440, "flash:kernel", 0},
               {"ROOTFS", 13631488, "flash:rootfs", 0},
               {"UNKNOWN", 18213, "file:/mnt/jffs2/qz_ctree.xml", 0},
               {"UNKNOWN", 2, "file:/mnt/jffs2/Updateflag", 2},
               {"EFS", 68, "flash:efs", 0}};
  for (const auto& item : items) {
    ItemFacts itemFacts;
    itemFacts.name = item.name;
    itemFacts.size = item.size;
    itemFacts.destination = item.place;
    itemFacts.policy = item.policy;
    itemFacts.dataCrc = itemFacts.crc;
    facts.items.push_back(itemFacts);
  }
  return facts;
}

PackageDiff DemoRepackDiff() {
  const PackageFacts original = DemoFacts();
  PackageDiff diff;
  for (const ItemFacts& item : original.items) {
    if (item.name != "UNKNOWN") diff.matched.push_back({item, item, {}});
  }
  ItemFacts config = original.items[3];
  config.size = 18542;
  config.crc = config.dataCrc.value() + 1;
  config.dataCrc = config.crc;
  diff.matched.push_back({original.items[3], config, {{"Item Len", "18213", "18542"}}});
  ItemFacts script = original.items[3];
  script.destination = "file:/mnt/jffs2/default_script.sh";
  script.size = 1536;
  diff.onlyInB.push_back(script);
  return diff;
}

std::vector<FileCheck> DemoFindings() {
  FileCheck config;
  config.path = "/home/tech/site-a/qz_ctree.xml";
  config.problem = CheckProblem::kMalformedXml;
  config.line = 214;
  config.column = 9;
  config.detail = "mismatched tag";
  FileCheck pack;
  pack.role = FileRole::kConfigPack;
  pack.path = "/home/tech/site-a/customize_xml.tar.gz";
  pack.problem = CheckProblem::kParentMember;
  pack.member = 3;
  pack.detail = "../etc/shadow";
  return {config, pack};
}

}  // namespace quarnet
