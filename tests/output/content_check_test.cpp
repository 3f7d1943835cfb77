// The content check on real picture samples placed on a device: which analyser judges which
// extension, and the cases that give no answer.
#include "output/content_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "carving/analyser_registry.h"
#include "common/database.h"
#include "model/file_node.h"
#include "model/raw_file_properties.h"
#include "output/file_extract_job.h"
#include "scan/search_sink.h"
#include "storage/memory_device.h"
#include "support/fixtures.h"

namespace korvex {
namespace {

// A carved file of the sample at sector 0 of a device, below a root with geometry 0 / 1.
struct SampleOnDevice {
  explicit SampleOnDevice(const std::string& sample, const std::string& extension)
      : bytes(test::ReadFixture(sample.find('/') == std::string::npos ? "pictures/" + sample : sample)),
        device(Padded(bytes), 512) {
    root = new CFileSystemNode;
    root->properties = CRAWFileProperties::MakeFolder("All RAW Files").release();
    root->SetVolumeGeometry(0, 0, 1);
    file = new CFileNode;
    file->properties = CRAWFileProperties::MakeFile("File001", 0, bytes.size(), extension).release();
    AddChild(root, file);
  }
  ~SampleOnDevice() { ReleaseTree(root); }
  SampleOnDevice(const SampleOnDevice&) = delete;
  SampleOnDevice& operator=(const SampleOnDevice&) = delete;
  static std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> b) {
    b.resize((b.size() / 512 + 2) * 512, 0);
    return b;
  }
  std::vector<std::uint8_t> bytes;
  CMemoryDevice device;
  CFileSystemNode* root;
  CFileNode* file;
};

TEST(ContentCheck, TheAnalyserOfTheExtensionJudgesTheFirstSector) {
  CDataBase::Instance().bytesPerSector = 512;
  struct Case {
    const char* sample;
    const char* extension;
    bool accepted;
  } cases[] =
      {
          {"baseline.jpg", "JPG", true},
          {"baseline.jpg", "PNG", false},  // the PNG analyser does not take a JPEG
          {"plain.png", "PNG", true},
          {"big.dng", "DNG", true},  // raw camera files are judged by the TIFF analyser
          {"nikon.nef", "NEF", true},
          {"big.tif", "TIF", false},  // ... which judges no .TIF file
          {"baseline.jpg", "DOCX", false},
          {"media/clip.mkv", "MKV", true},  // the Matroska analyser's name is "WMV"
          {"media/clip.webm", "WEBM", true},
          {"media/clip.wmv", "WMV", true},  // ... and WMV files are the ASF analyser's
          {"media/clip.mkv", "WMV", false},
          {"media/sound.m4a", "M4A", true},
          {"media/plain.wav", "WAV", true},
          {"media/clip.avi", "AVI", true},
          {"media/opus.opus", "OPUS", true},
          {"media/clip.3g2", "3G2", true},
          {"media/clip.mov", "MP4", false},
      };
  for (const Case& c : cases) {
    SampleOnDevice s(c.sample, c.extension);
    EXPECT_EQ(VerifyFileContent(s.device, s.file, c.extension) != 0, c.accepted)
        << c.sample << " " << c.extension;
  }
}

TEST(ContentCheck, AnswersWithoutALookAtTheSector) {
  CDataBase::Instance().bytesPerSector = 512;
  SampleOnDevice s("baseline.jpg", "JPG");
  const AnalyserRegistry empty{std::vector<std::unique_ptr<IRawFileAnalyser>>{}};
  EXPECT_EQ(VerifyFileContent(s.device, s.file, "JPG", &empty), 1u);
  EXPECT_EQ(VerifyFileContent(s.device, s.root, "JPG"), 0u);  // a folder
  // Geometry given: the JPEG's first sector is not at sector 1.
  EXPECT_EQ(VerifyFileContentAt(s.device, s.file, "JPG", 1, 1), 0u);
  EXPECT_NE(VerifyFileContentAt(s.device, s.file, "JPG", 0, 1), 0u);
  CDataBase::Instance().bytesPerSector = 2048;
  EXPECT_EQ(VerifyFileContent(s.device, s.file, "JPG"), 1u);
  CDataBase::Instance().bytesPerSector = 512;
}

TEST(FileExtractJob, WritesTheFileOnTheCallingThreadOrAWorker) {
  CDataBase::Instance().bytesPerSector = 512;
  SampleOnDevice s("plain.png", "PNG");
  const std::string dir = ::testing::TempDir();
  CBlockingPump pump;
  for (const bool onThread : {false, true}) {
    const std::string path = dir + "/korvex-extract-" + std::to_string(onThread);
    FileExtractJob job(&s.device, s.file, path);
    ASSERT_TRUE(job.Start(onThread, &pump));
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), s.bytes);
    std::filesystem::remove(path);
  }
  FileExtractJob folder(&s.device, s.root, dir + "/korvex-extract-folder");
  EXPECT_FALSE(folder.Start(false));
  EXPECT_EQ(folder.Result(), 1u);
}

}  // namespace
}  // namespace korvex
