// The RAW controller's walk over a block and the registry's order of trial.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "carving/analyser_registry.h"
#include "carving/raw_search_controller.h"
#include "common/database.h"
#include "fixtures.h"
#include "scan/scan_options.h"
#include "storage/memory_device.h"

namespace korvex {
namespace {

// An analyser that accepts sectors starting with its four-byte tag and sizes them as told.
class TagAnalyser : public IRawFileAnalyser {
 public:
  TagAnalyser(const char* name, std::int32_t id) : IRawFileAnalyser(id), name_(name) {}
  int CheckSignature(const std::uint8_t* sector, CRawFileInfo& info) override {
    ++checks;
    if (throwInCheck)
      throw std::runtime_error("bad header");
    if (std::memcmp(sector, tag, 4) != 0)
      return 0;
    info.type = static_cast<std::uint32_t>(TypeId());
    return 1;
  }
  int DetermineSize(CRawFileInfo& info, IDevice&) override {
    ++sizes;
    if (!sizeWorks)
      return 0;
    info.size = 1234;
    return 1;
  }
  const char* GetTypeName() const override { return name_; }

  char tag[5] = "TAG!";
  bool sizeWorks = true;
  bool throwInCheck = false;
  int checks = 0, sizes = 0;

 private:
  const char* name_;
};

// The registry's class names with the analysers they stand for, in the order of the first fill.
const char* const kClassNames[] = {
    "FileDATAnalyser",    "File3GPAnalyser", "FileASFAnalyser",        "FileAUAnalyser",  "FileBMPAnalyser",
    "FileCABAnalyser",    "FileCHMAnalyser", "FileCPTAnalyser",        "FileCRWAnalyser", "FileDBXAnalyser",
    "FileDWGAnalyser",    "FileDXFAnalyser", "FileEMFAnalyser",        "FileEPSAnalyser", "FileFLVAnalyser",
    "FileGIFAnalyser",    "FileGZAnalyser",  "FileHTMAnalyser",        "FileICOAnalyser", "FileJPGAnalyser",
    "FileLowDocAnalyser", "FileLZHAnalyser", "FileMDBAnalyser",        "FileMIDAnalyser", "FileMNYAnalyser",
    "FileMOVAnalyser",    "FileMP3Analyser", "FileMP4Analyser",        "FileOLEAnalyser", "FileONEAnalyser",
    "FileOGGAnalyser",    "FilePDFAnalyser", "FilePNGAnalyser",        "FilePSDAnalyser", "FilePSPAnalyser",
    "FilePSTAnalyser",    "FileRARAnalyser", "FileRIFFAnalyser",       "FileRTFAnalyser", "FileSWFAnalyser",
    "FileTARAnalyser",    "FileTIFAnalyser", "FileUnicodeHTMAnalyser", "FileWMFAnalyser", "FileWPDAnalyser",
    "FileZIPAnalyser",    "FileWMVAnalyser", "CustomFileAnalyser",
};

// Every class of the registry, each making an analyser that never matches.
std::vector<AnalyserClass> EveryClassAsTags() {
  std::vector<AnalyserClass> classes;
  for (const char* name : kClassNames) {
    classes.push_back({name, [] { return std::unique_ptr<IRawFileAnalyser>(new TagAnalyser("x", 0)); }});
  }
  return classes;
}

TEST(AnalyserRegistry, EffectiveOrderOfTrialFromTheCatalogue) {
  AnalyserRegistry registry(EveryClassAsTags());
  EXPECT_EQ(registry.Analysers().size(), 48u) << "one of each class at first";
  std::vector<std::int32_t> ids(84);
  for (int i = 0; i < 84; ++i)
    ids[static_cast<std::size_t>(i)] = i + 1;
  registry.Rebuild(ids);
  const std::vector<std::string> expected = {
      "File3GPAnalyser", "FileONEAnalyser",    "FileRIFFAnalyser",   "FilePDFAnalyser",
      "FileASFAnalyser", "FileAUAnalyser",     "FileBMPAnalyser",    "FileCABAnalyser",
      "FileCHMAnalyser", "FileCPTAnalyser",    "FileCRWAnalyser",    "FileICOAnalyser",
      "FileDBXAnalyser", "FileOLEAnalyser",    "FileLowDocAnalyser", "FileDWGAnalyser",
      "FileDXFAnalyser", "FileEMFAnalyser",    "FileEPSAnalyser",    "FileFLVAnalyser",
      "FileGIFAnalyser", "FileGZAnalyser",     "FileHTMAnalyser",    "FileUnicodeHTMAnalyser",
      "FileJPGAnalyser", "CustomFileAnalyser", "FileLZHAnalyser",    "FileMIDAnalyser",
      "FileMDBAnalyser", "FileMNYAnalyser",    "FileMOVAnalyser",    "FileMP3Analyser",
      "FileMP4Analyser", "FileOGGAnalyser",    "FilePNGAnalyser",    "FilePSDAnalyser",
      "FilePSPAnalyser", "FilePSTAnalyser",    "FileRARAnalyser",    "FileRTFAnalyser",
      "FileWPDAnalyser", "FileSWFAnalyser",    "FileTARAnalyser",    "FileTIFAnalyser",
      "FileWMFAnalyser", "FileZIPAnalyser",    "FileWMVAnalyser",    "FileDATAnalyser",
  };
  EXPECT_EQ(registry.EffectiveOrder(), expected);
  // OLE serves twelve ids, RIFF eight and the script analyser eighteen.
  EXPECT_EQ(registry.Analysers().size(), 84u + 5) << "ids 19, 27, 55, 61 and 62 have two analysers";

  // Only the classes that exist are made: the real registry holds exactly the built-in classes.
  AnalyserRegistry& real = AnalyserRegistry::Instance();
  real.Rebuild(ids);
  std::vector<std::string> existing;
  for (const std::string& name : expected) {
    for (const AnalyserClass& c : BuiltInAnalyserClasses()) {
      if (name == c.className)
        existing.push_back(name);
    }
  }
  EXPECT_EQ(real.EffectiveOrder(), existing);
}

// A registry with two tag analysers: "JPG" before "PNG" in the order of trial.
class RawWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    CDataBase& db = CDataBase::Instance();
    db.bytesPerSector = 512;
    db.foundTotal = 0;
    db.foundPictures = 0;
    db.foundArchives = 0;
    auto first = std::make_unique<TagAnalyser>("JPG", 29);
    auto second = std::make_unique<TagAnalyser>("PNG", 65);  // counts as an archive, to tell counters apart
    std::strcpy(second->tag, "PNG!");
    jpg = first.get();
    png = second.get();
    std::vector<std::unique_ptr<IRawFileAnalyser>> analysers;
    analysers.push_back(std::move(first));
    analysers.push_back(std::move(second));
    registry = std::make_unique<AnalyserRegistry>(std::move(analysers));
    controller = std::make_unique<CRAWSearchController>(registry.get());
    controller->Attach(&device);
    controller->SetRawFileList(&list);
  }
  std::vector<std::uint8_t> Block(std::uint64_t sectors, std::uint32_t sectorSize) {
    return std::vector<std::uint8_t>(sectors * sectorSize, 0);
  }
  void Put(std::vector<std::uint8_t>& block, std::size_t offset, const char* tag) {
    std::memcpy(block.data() + offset, tag, 4);
  }

  CMemoryDevice device{std::vector<std::uint8_t>(512 * 100, 0), 512};
  TagAnalyser* jpg = nullptr;
  TagAnalyser* png = nullptr;
  std::unique_ptr<AnalyserRegistry> registry;
  std::unique_ptr<CRAWSearchController> controller;
  RawFileList list;
};

TEST_F(RawWalk, ZeroSectorsAskNoAnalyser) {
  auto block = Block(1000, 512);
  controller->ProcessBlock(block.data(), 0, 1000, nullptr);
  EXPECT_EQ(jpg->checks + png->checks, 0);
  EXPECT_TRUE(list.Empty());
}

TEST_F(RawWalk, FindsEverySectorStartIncludingEmbeddedFiles) {
  auto block = Block(1000, 512);
  Put(block, 0, "TAG!");
  Put(block, 512 * 3, "TAG!");  // inside the first find: reported on its own
  Put(block, 512 * 7, "PNG!");
  Put(block, 512 * 9 + 100, "TAG!");  // not at a sector start
  controller->ProcessBlock(block.data(), 5000, 1000, nullptr);
  ASSERT_EQ(list.Size(), 3u);
  EXPECT_EQ(list.InOrder()[0].startSector, 5000u);
  EXPECT_EQ(list.InOrder()[1].startSector, 5003u);
  EXPECT_EQ(list.InOrder()[2].startSector, 5007u);
  EXPECT_EQ(list.InOrder()[2].type, 65u);
  EXPECT_EQ(list.InOrder()[0].size, 1234u);
  EXPECT_EQ(list.InOrder()[0].analyserType, 29u);
  EXPECT_EQ(list.InOrder()[0].analyser, jpg);
  EXPECT_EQ(list.FindByStart(5003)->startSector, 5003u);
  const CDataBase& db = CDataBase::Instance();
  EXPECT_EQ(db.foundTotal, 3u);
  EXPECT_EQ(db.foundPictures, 2u);
  EXPECT_EQ(db.foundArchives, 1u);
}

TEST_F(RawWalk, FirstAcceptingAnalyserWinsEvenWhenItsSizeStepFails) {
  std::strcpy(png->tag, "TAG!");  // both accept the same sector
  jpg->sizeWorks = false;
  auto block = Block(10, 512);
  Put(block, 0, "TAG!");
  controller->ProcessBlock(block.data(), 0, 10, nullptr);
  EXPECT_EQ(jpg->sizes, 1);
  EXPECT_EQ(png->checks, 0) << "no later analyser is asked about a claimed sector";
  EXPECT_TRUE(list.Empty());
  EXPECT_EQ(CDataBase::Instance().foundTotal, 0u);
}

TEST_F(RawWalk, ACheckThatThrowsCountsAsNo) {
  jpg->throwInCheck = true;
  std::strcpy(png->tag, "TAG!");
  auto block = Block(10, 512);
  Put(block, 0, "TAG!");
  controller->ProcessBlock(block.data(), 0, 10, nullptr);
  ASSERT_EQ(list.Size(), 1u);
  EXPECT_EQ(list.InOrder()[0].analyser, png);
}

TEST_F(RawWalk, FourKilobyteSectorsOfferOnlyTheirStarts) {
  CDataBase::Instance().bytesPerSector = 4096;
  auto block = Block(10, 4096);
  Put(block, 4096 * 2, "TAG!");
  Put(block, 4096 * 5 + 512, "TAG!");
  controller->ProcessBlock(block.data(), 100, 10, nullptr);
  ASSERT_EQ(list.Size(), 1u);
  EXPECT_EQ(list.InOrder()[0].startSector, 102u);
  EXPECT_EQ(jpg->checks, 1) << "a sector whose first bytes are zero is never offered";
}

TEST_F(RawWalk, FindsAreCountedWithoutAList) {
  controller->SetRawFileList(nullptr);
  auto block = Block(10, 512);
  Put(block, 0, "TAG!");
  controller->ProcessBlock(block.data(), 0, 10, nullptr);
  EXPECT_EQ(CDataBase::Instance().foundTotal, 1u);
}

TEST(RawFileList, KeepsDiscoveryOrderAndOneFindPerStart) {
  RawFileList list;
  for (std::uint64_t start : {30u, 10u, 30u, 20u}) {
    CRawFileInfo info;
    info.startSector = start;
    info.size = list.Size() + 1;
    list.Add(info);
  }
  ASSERT_EQ(list.Size(), 4u);
  EXPECT_EQ(list.InOrder()[1].startSector, 10u);
  std::vector<std::uint64_t> starts;
  for (const auto& [start, info] : list.ByStart())
    starts.push_back(start);
  EXPECT_EQ(starts, (std::vector<std::uint64_t>{10, 20, 30}));
  EXPECT_EQ(list.FindByStart(30)->size, 1u) << "the first find of a start sector is kept";
}

}  // namespace
}  // namespace korvex

namespace korvex {
namespace {

// Every sector start of every picture and media sample and of random data, plus each sample's first sector
// with its first byte replaced by every value.
std::vector<std::vector<std::uint8_t>> SectorCorpus() {
  std::vector<std::vector<std::uint8_t>> sectors;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::FixturePath(""))) {
    const std::string folder = entry.path().parent_path().filename().string();
    if (folder != "pictures" && folder != "media")
      continue;
    std::vector<std::uint8_t> bytes = test::ReadFixture(folder + "/" + entry.path().filename().string());
    bytes.resize((bytes.size() + 511) / 512 * 512, 0);
    for (std::size_t off = 0; off < bytes.size(); off += 512)
      sectors.emplace_back(bytes.begin() + off, bytes.begin() + off + 512);
    for (int b = 0; b < 256; ++b) {
      std::vector<std::uint8_t> head(bytes.begin(), bytes.begin() + 512);
      head[0] = static_cast<std::uint8_t>(b);
      sectors.push_back(std::move(head));
    }
  }
  // No tool here writes Fuji RAF files: their first sector starts with this magic.
  std::vector<std::uint8_t> raf(512, 0);
  std::memcpy(raf.data(), "FUJIFILMCCD-RAW 0201FF383501", 28);
  sectors.push_back(raf);
  std::mt19937 random(11);
  for (int i = 0; i < 20000; ++i) {
    std::vector<std::uint8_t> sector(512);
    for (auto& v : sector)
      v = static_cast<std::uint8_t>(random());
    sectors.push_back(std::move(sector));
  }
  return sectors;
}

TEST(FirstBytePrefilter, ClaimsWhatThePlainWalkClaims) {
  AnalyserRegistry& registry = AnalyserRegistry::Instance();
  registry.Rebuild(ScanOptions::Instance().enabledTypes);
  ASSERT_FALSE(registry.Empty());
  const auto corpus = SectorCorpus();
  int claimed = 0;
  for (const auto& sector : corpus) {
    IRawFileAnalyser* plain = nullptr;
    for (const auto& a : registry.Analysers()) {
      CRawFileInfo info;
      if (a->CheckSignature(sector.data(), info)) {
        plain = a.get();
        break;
      }
    }
    IRawFileAnalyser* filtered = nullptr;
    for (IRawFileAnalyser* a : registry.CandidatesFor(sector[0])) {
      CRawFileInfo info;
      if (a->CheckSignature(sector.data(), info)) {
        filtered = a;
        break;
      }
    }
    ASSERT_EQ(filtered, plain) << "first byte " << int{sector[0]} << ": "
                               << (plain ? plain->GetTypeName() : "none") << " is claimed by "
                               << (filtered ? filtered->GetTypeName() : "none");
    claimed += plain != nullptr;
  }
  EXPECT_GT(claimed, 30) << "the corpus holds the samples' headers";
}

}  // namespace
}  // namespace korvex
