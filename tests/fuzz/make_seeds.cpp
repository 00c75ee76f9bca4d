// Writes the seed corpus of the fuzz targets into OUTDIR/<target>/:
// packages built by the engine itself (every item kind, heads, system modes,
// descriptors, product lists) and by the tests' package builder (compact
// packages, EFS in the middle, empty items, odd names), the argument vectors
// that built them, date texts, and chosen files (configuration files and
// packs with every kind of tar header).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "basic/packall.h"
#include "package/format.h"
#include "package/output.h"
#include "tests/support/pack_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/package_check.h"
#include "tests/support/temp_dir.h"

namespace quarnet::test {
namespace {

namespace fs = std::filesystem;

// Argument vectors over the fixture files of the PackAll target.
const std::vector<std::vector<std::string>> kArgumentVectors = {
    {"-Uu", "-Yy", "-Kk", "-Rr", "-Ff", "-vV100R001C00", "-L1A0|2B0|", "-nc@/mnt/jffs2/qz_ctree.xml",
     "-nc@/var/default_script.sh&"},
    {"-Kk", "-Rr", "-H", "-vV100R002C00", "-Dd"},
    {"-Uu", "-Kk", "-Rr", "-S", "-H", "-Vv"},
    {"-Kk", "-Rr", "-I", "-H", "-Dd", "-Ox"},
    {"-Uu", "-Kk", "-Rr", "-T", "-Orelease", "-A300", "-N7", "-Jx", "-Mm"},
    {"-nc@/mnt/jffs2/customize_xml.tar.gz", "-nf@/mnt/jffs2/Updateflag", "-L1A0|"},
    {"-Kk", "-S"},
    {"-Kk", "-Ee", "-ne@/x"},
    {"-Uu", "?"},
};

const std::vector<std::string> kDates = {
    "2013-05-20_14:30:00", "2013-05-20", "2013_05_20:14-30-00\n", "1970-01-01_00:00:00", "1969-12-31_23:59:59",
    "3000-12-31_23:59:59", "3001-01-01", "2013-13-01", "2013-00-00_24:60:60", "", "--__::", "+2013-5-20-1-2-3-4-5",
    " 2013-05-20_14:30:00 and a tail past 31 characters",
};

std::vector<std::string> ChosenFiles() {
  return {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<config a=\"1\"><b>&amp;</b><!-- c --></config>\r\n",
          "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
          SamplePack(),
          Gzip(TarArchive({{"././@LongLink", 'L', "a/b"}, {"a", '0', "x"}, {"p", 'x', "11 path=c\n"}, {"c", '0', ""},
                           {"d", '5', "", "pre"}, {"l", '2', ""}})),
          Gzip(TarArchive({})) + Gzip(TarArchive({{"f", '0', std::string(1000, 'f')}}))};
}

void Write(const fs::path& path, const std::string& bytes) { WriteText(path, bytes); }
void Write(const fs::path& path, const Bytes& bytes) { WriteBytes(path, bytes); }

std::string Joined(const std::vector<std::string>& args) {
  std::string joined;
  for (std::size_t i = 0; i < args.size(); ++i) joined += (i ? std::string(1, '\0') : "") + args[i];
  return joined;
}

// Builds every argument vector in a scratch folder; returns the packages.
std::vector<Bytes> EnginePackages() {
  TempDir dir;
  ScopedChdir in(dir.path());
  for (const auto& [name, contents] : std::vector<std::pair<const char*, const char*>>{
           {"u", "boot"}, {"k", "kernel"}, {"r", "rootfs"}, {"y", "mini"}, {"f", "1\n"}, {"c", "<cfg/>"},
           {"e", ""}, {"v", "V100R001C00\r\n"}, {"d", "2013-05-20_14:30:00\n"}}) {
    WriteText(name, contents);
  }
  std::vector<Bytes> packages;
  const ScopedOutputSink quiet([](std::string_view) {});
  for (const auto& args : kArgumentVectors) {
    std::vector<const char*> argv = {nullptr};
    for (const auto& a : args) argv.push_back(a.c_str());
    PackAll(static_cast<int>(argv.size()), argv.data());
    for (const auto& e : fs::directory_iterator(".")) {
      const std::string name = e.path().filename().string();
      if (name.rfind("package[", 0) == 0) {
        packages.push_back(ReadBytes(e.path()));
        fs::remove(e.path());
      }
    }
  }
  return packages;
}

std::vector<Bytes> BuilderPackages() {
  const auto item = [](const std::string& name, const std::string& data) {
    return TestItem{name, "file:/x", BytesOf(data), "", 0};
  };
  std::vector<TestItem> sixteen;
  for (int i = 0; i < 16; ++i) sixteen.push_back(item(std::string(1, static_cast<char>('A' + i)), "x"));
  return {
      LayOutPackage(OriginalItems(), kProducts),
      LayOutCompactPackage(OriginalItems()),
      LayOutPackage({item("A", "first"), EfsItem(), item("EMPTY", ""), item("A", "second")}),
      LayOutPackage({item("x..y", "1"), item("..x", "2"), item("../x", "3")}),
      LayOutPackage({{item::kSystem, destination::kSystem, WithItemHead("V1", kHeadSystem, BytesOf("sys")), "V1", 0},
                     {item::kMinisys, destination::kMinisys, WithItemHead("", kHeadMinisys, {}), "", 1},
                     EfsItem()}),
      LayOutPackage(sixteen, std::string(127, 'P')),
      LayOutPackage({}),
  };
}

}  // namespace
}  // namespace quarnet::test

int main(int argc, char** argv) {
  using namespace quarnet::test;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  for (const char* target : {"reader", "inspect", "packall_args", "date_stamp", "chosen_files"})
    fs::create_directories(out / target);

  std::vector<Bytes> packages = EnginePackages();
  for (auto& p : BuilderPackages()) packages.push_back(std::move(p));
  for (std::size_t i = 0; i < packages.size(); ++i) {
    const std::string name = "package-" + std::to_string(i);
    Write(out / "reader" / name, packages[i]);
    Write(out / "inspect" / name, packages[i]);
  }
  for (std::size_t i = 0; i < kArgumentVectors.size(); ++i)
    Write(out / "packall_args" / ("args-" + std::to_string(i)), Joined(kArgumentVectors[i]));
  for (std::size_t i = 0; i < kDates.size(); ++i) Write(out / "date_stamp" / ("date-" + std::to_string(i)), kDates[i]);
  const std::vector<std::string> chosen = ChosenFiles();
  for (std::size_t i = 0; i < chosen.size(); ++i) Write(out / "chosen_files" / ("chosen-" + std::to_string(i)), chosen[i]);
  std::printf("fuzz seeds: %zu packages, %zu argument vectors, %zu dates in %s\n", packages.size(),
              kArgumentVectors.size(), kDates.size(), out.c_str());
  return 0;
}
