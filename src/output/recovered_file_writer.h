// The recovered-file writer: RecoveredFileWriter writes one found file from the scanned device into a
// file, RecoverJob saves every checked file of a found tree below "Recovered Files" in a folder the
// user chose, recreating the found folders with safe, unique names.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "output/file_recover_callback.h"

namespace korvex {

class CFileNode;
class IDataRunList;
class IDevice;
class IMessagePump;

// The per-file worker. The volume geometry is the node's own (GetVolumeGeometry) for every file.
class RecoveredFileWriter {
 public:
  // The sector size defaults to the current one of CDataBase.
  RecoveredFileWriter(IFileRecoverCallback* callback, IDevice* device);

  // Writes the file of `node` to `path` (created, or truncated when it exists, never through a link).
  // kFailed for a folder, a node without properties or geometry, a file that cannot be opened, a size
  // beyond what the runs can give when there are no runs, or runs that point past the device.
  std::uint32_t WriteFileData(CFileNode* node, const std::string& path);

  // Copies the first `length` bytes of the runs to `fd` in chunks of up to 128 sectors: sparse runs as
  // zeros, unreadable sectors as zeros (counted). Runs that end early leave the file short (kWritten);
  // a run reaching past the device's end writes what lies before it and fails.
  std::uint32_t CopyRuns(int fd, IDataRunList& runs, std::uint64_t length);

  // Writes the first `size` bytes of an NTFS-compressed file: its runs cut into compression units of 16
  // clusters; a unit of data only is stored as is, one that ends in a sparse run is LZNT1 data, a
  // sparse unit is zeros. A unit that decodes short is padded with zeros to its full length, so that
  // the units after it stay in place. Needs 512-byte sectors and at most 8 sectors per cluster.
  std::uint32_t WriteCompressedFile(int fd, IDataRunList& runs, std::uint64_t size);

  void SetBytesPerSector(std::uint32_t bytes) { bytesPerSector_ = bytes; }
  std::uint64_t UnreadableSectors() const { return unreadableSectors_; }
  // The path the last WriteFileData left its file at ("<path>.EFS" for a converted encrypted file).
  const std::string& LastPath() const { return lastPath_; }

 private:
  IFileRecoverCallback* callback_;
  IDevice* device_;
  std::uint64_t volumeBase_ = 0;
  std::uint32_t sectorsPerCluster_ = 1;
  std::uint32_t bytesPerSector_;
  std::uint64_t unreadableSectors_ = 0;
  std::string lastPath_;
};

// One file the job handled, for reports: path relative to the output folder ("" when no file could
// be created), size, first source sector, result code.
struct RecoveredFileRecord {
  std::string path;
  std::uint64_t size = 0;
  std::uint64_t startSector = 0;
  std::uint32_t result = kFailed;
};

// One save of the checked files of a found tree.
class RecoverJob {
 public:
  static constexpr const char* kOutputFolderName = "Recovered Files";
  static constexpr const char* kAbnormalFolderName = "path abnormal file";

  RecoverJob(IFileRecoverCallback* callback, IDevice* device, CFileNode* root, std::string targetFolder)
      : callback_(callback), device_(device), root_(root), targetFolder_(std::move(targetFolder)) {}

  // Runs the job on a worker thread and waits through `pump` (blocking when null). 1 when the root was
  // checked and the walk ran, 0 when nothing was checked or the target folder could not be made.
  std::uint32_t Start(IMessagePump* pump = nullptr);
  // The same on the calling thread.
  std::uint32_t Run();

  // The full path of the output folder (valid after a run that returned 1).
  const std::string& OutputFolder() const { return outputFolder_; }
  // True when the walk ended because the callback cancelled.
  bool Cancelled() const { return cancelled_; }
  const std::vector<RecoveredFileRecord>& Records() const { return records_; }
  std::uint64_t UnreadableSectors() const { return unreadableSectors_; }

  // Creates a new file for `name` in `parent`: the name itself, else "%s_%03d%s" of its stem, 0 to 999,
  // and its extension; when the folder cannot hold it (missing, name too long), the same in the
  // abnormal-path folder of the output folder. False when every name is taken or another error occurs.
  bool CreateTargetFile(const std::string& parent, const std::string& name, std::string& made);

 private:
  void Walk();

  IFileRecoverCallback* callback_;
  IDevice* device_;
  CFileNode* root_;
  std::string targetFolder_;
  std::string outputFolder_;
  std::string abnormalFolder_;
  bool abnormalMade_ = false;
  bool cancelled_ = false;
  std::vector<RecoveredFileRecord> records_;
  std::uint64_t unreadableSectors_ = 0;
  std::atomic<std::int32_t> done_{0};
};

}  // namespace korvex
