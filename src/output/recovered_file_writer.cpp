// The recovered-file writer: one found file through its runs into a new file, and the job that saves
// the checked files of a found tree.
#include "output/recovered_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "common/database.h"
#include "model/data_run_list.h"
#include "model/file_node.h"
#include "ntfs/ntfs_record.h"
#include "output/efs_layout.h"
#include "output/file_services.h"
#include "output/lznt1.h"
#include "scan/search_sink.h"
#include "storage/device.h"

namespace korvex {

namespace {

// Data moves in chunks of at most this many sectors.
constexpr std::uint64_t kChunkSectors = 128;
// FILE records are 1024 bytes, or one sector where sectors are larger (4096-byte sectors give
// 4096-byte records).
std::size_t FileRecordSize(std::uint32_t bytesPerSector) {
  return std::max<std::size_t>(1024, bytesPerSector);
}

}  // namespace

RecoveredFileWriter::RecoveredFileWriter(IFileRecoverCallback* callback, IDevice* device)
    : callback_(callback), device_(device), bytesPerSector_(CDataBase::Instance().bytesPerSector.load()) {}

std::uint32_t RecoveredFileWriter::CopyRuns(int fd, IDataRunList& runs, std::uint64_t length) {
  if (bytesPerSector_ != 512 && bytesPerSector_ != 4096)
    return kFailed;
  if (!device_ || sectorsPerCluster_ == 0)
    return kFailed;
  std::vector<std::uint8_t> buffer(kChunkSectors * bytesPerSector_);
  const std::uint64_t deviceSectors = device_->GetSectorCount();
  std::uint64_t remaining = length;
  std::uint64_t written = 0;
  bool holes = false;
  for (const DataRun* run = runs.First(); run && remaining > 0; run = runs.Next()) {
    if (run->length > std::numeric_limits<std::uint64_t>::max() / sectorsPerCluster_)
      return kFailed;
    const std::uint64_t sectors = run->length * sectorsPerCluster_;
    std::uint64_t first = 0;
    if (!run->IsSparse()) {
      // A start that is negative (other than the sparse mark) or that overflows lies past any device.
      if (run->start < 0)
        return kFailed;
      const auto start = static_cast<std::uint64_t>(run->start);
      if (start > (std::numeric_limits<std::uint64_t>::max() - volumeBase_) / sectorsPerCluster_)
        return kFailed;
      first = volumeBase_ + start * sectorsPerCluster_;
    }
    for (std::uint64_t offset = 0; offset < sectors && remaining > 0;) {
      // Only the sectors still due are read: a 1,000-byte file on a large cluster reads two sectors.
      const std::uint64_t due = (remaining + bytesPerSector_ - 1) / bytesPerSector_;
      const std::uint64_t n = std::min({kChunkSectors, sectors - offset, due});
      const std::uint64_t bytes = std::min<std::uint64_t>(n * bytesPerSector_, remaining);
      if (run->IsSparse()) {
        // A hole reads as zeros and costs no space or writes.
        if (lseek(fd, static_cast<off_t>(bytes), SEEK_CUR) < 0)
          return kFailed;
        holes = true;
      } else {
        const std::uint64_t lba = first + offset;
        if (lba >= deviceSectors)
          return kFailed;  // the run points past the device: what lay before it is written
        const std::uint64_t readable = std::min(n, deviceSectors - lba);
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        unreadableSectors_ += ReadSalvaging(*device_, buffer.data(), lba, readable, bytesPerSector_);
        const std::uint64_t usable = std::min<std::uint64_t>(bytes, readable * bytesPerSector_);
        if (!WriteAll(fd, buffer.data(), static_cast<std::size_t>(usable)))
          return kFailed;
        if (readable < n)
          return kFailed;
      }
      offset += n;
      remaining -= bytes;
      written += bytes;
      if (callback_ && callback_->BytesWritten(bytes) == -1)
        return kCancelled;
    }
  }
  // A file that ends in a hole needs its length set; nothing was written there.
  if (holes && ftruncate(fd, static_cast<off_t>(written)) != 0)
    return kFailed;
  return kWritten;
}

std::uint32_t RecoveredFileWriter::WriteCompressedFile(int fd, IDataRunList& runs, std::uint64_t size) {
  constexpr std::uint64_t kUnitClusters = 16;
  if (bytesPerSector_ != 512 || sectorsPerCluster_ == 0 || sectorsPerCluster_ > 8 || !device_)
    return kFailed;
  const std::uint64_t clusterBytes = std::uint64_t{sectorsPerCluster_} * bytesPerSector_;
  const std::uint64_t deviceSectors = device_->GetSectorCount();
  struct Piece {
    bool sparse;
    std::uint64_t lcn;
    std::uint64_t count;
  };
  std::vector<Piece> unit;
  std::uint64_t unitClusters = 0;
  std::uint64_t due = size;
  std::uint64_t written = 0;
  std::vector<std::uint8_t> buffer;

  // Puts `bytes` (or, when null, that many zeros as a hole) at the end of the file, cut to what is due.
  auto put = [&](const std::uint8_t* bytes, std::uint64_t n) -> bool {
    n = std::min(n, due);
    if (bytes ? !WriteAll(fd, bytes, static_cast<std::size_t>(n))
              : lseek(fd, static_cast<off_t>(n), SEEK_CUR) < 0)
      return false;
    due -= n;
    written += n;
    return true;
  };
  auto finishUnit = [&]() -> std::uint32_t {
    std::uint64_t dataClusters = 0;
    for (const Piece& p : unit)
      dataClusters += p.sparse ? 0 : p.count;
    const std::uint64_t unitBytes = unitClusters * clusterBytes;
    const std::uint64_t before = written;
    if (dataClusters == 0) {
      if (!put(nullptr, unitBytes))
        return kFailed;
    } else {
      buffer.assign(dataClusters * clusterBytes, 0);
      std::uint64_t at = 0;
      for (const Piece& p : unit) {
        if (p.sparse)
          continue;
        const std::uint64_t lba = volumeBase_ + p.lcn * sectorsPerCluster_;
        const std::uint64_t sectors = p.count * sectorsPerCluster_;
        if (lba >= deviceSectors || sectors > deviceSectors - lba)
          return kFailed;  // the unit lies past the device
        unreadableSectors_ += ReadSalvaging(*device_, buffer.data() + at, lba, sectors, bytesPerSector_);
        at += sectors * bytesPerSector_;
      }
      if (!unit.back().sparse) {
        if (!put(buffer.data(), buffer.size()))
          return kFailed;
      } else {
        const std::vector<std::uint8_t> plain = DecompressLznt1Unit(buffer);
        if (!put(plain.data(), std::min<std::uint64_t>(plain.size(), unitBytes)))
          return kFailed;
      }
      if (written - before < unitBytes && !put(nullptr, unitBytes - (written - before)))
        return kFailed;
    }
    unit.clear();
    unitClusters = 0;
    if (callback_ && callback_->BytesWritten(written - before) == -1)
      return kCancelled;
    return kWritten;
  };

  for (const DataRun* run = runs.First(); run && due > 0; run = runs.Next()) {
    if (callback_ && callback_->Poll() == -1)
      return kFailed;
    if (!run->IsSparse() && run->start < 0)
      return kFailed;
    std::uint64_t lcn = run->IsSparse() ? 0 : static_cast<std::uint64_t>(run->start);
    // Cluster numbers beyond what a sector number can hold lie past any device.
    if (!run->IsSparse() &&
        (lcn > (std::numeric_limits<std::uint64_t>::max() - volumeBase_) / sectorsPerCluster_ / 2 ||
         run->length > std::numeric_limits<std::uint64_t>::max() / 2 / sectorsPerCluster_))
      return kFailed;
    for (std::uint64_t left = run->length; left > 0 && due > 0;) {
      const std::uint64_t take = std::min(left, kUnitClusters - unitClusters);
      unit.push_back({run->IsSparse(), lcn, take});
      if (!run->IsSparse())
        lcn += take;
      left -= take;
      unitClusters += take;
      if (unitClusters == kUnitClusters) {
        if (const std::uint32_t r = finishUnit(); r != kWritten)
          return r;
      }
    }
  }
  if (!unit.empty() && due > 0) {
    if (const std::uint32_t r = finishUnit(); r != kWritten)
      return r;
  }
  if (ftruncate(fd, static_cast<off_t>(written)) != 0)
    return kFailed;
  return kWritten;
}

std::uint32_t RecoveredFileWriter::WriteFileData(CFileNode* node, const std::string& path) {
  std::uint64_t base = 0;
  std::uint32_t sectors = 0;
  if (!node || !node->GetVolumeGeometry(base, sectors))
    return kFailed;
  const IFileProperties* properties = node->properties;
  if (!properties || node->IsFolder())
    return kFailed;
  volumeBase_ = base;
  sectorsPerCluster_ = sectors;
  if (callback_ && callback_->FileStarted(properties->GetName()) == -1)
    return kCancelled;
  const std::uint16_t attributes = properties->GetAttributes();
  const bool compressed = (attributes & file_attr::kCompressed) != 0;
  // Compression units are 16 clusters; the decoder handles units of at most 64 KB.
  if (compressed && sectorsPerCluster_ > 8)
    return kFailed;

  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    // A link or an unwritable entry in its place: removed (the link itself, never its target) and the
    // file made anew, exclusively.
    unlink(path.c_str());
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
      return kFailed;
  }
  const std::uint64_t size = properties->GetSize();
  lastPath_ = path;
  std::uint32_t result = kFailed;
  // An encrypted file gets the intermediate layout when its $EFS stream can be read: header, stream,
  // and its raw data rounded up to whole 512-byte blocks. Otherwise its raw encrypted bytes alone.
  std::uint64_t length = size;
  bool efsWritten = false;
  if ((attributes & file_attr::kEncrypted) && device_) {
    std::vector<std::uint8_t> efs;
    if (ReadEfsStream(*device_, bytesPerSector_, FileRecordSize(bytesPerSector_),
                      properties->GetRecordSector(), volumeBase_, sectorsPerCluster_, efs)) {
      if (!WriteEfsHeader(fd, static_cast<std::uint32_t>(efs.size())) ||
          !WriteAll(fd, efs.data(), efs.size())) {
        close(fd);
        return kFailed;
      }
      efsWritten = true;
      length = (size + 511) / 512 * 512;
    }
  }
  std::unique_ptr<IDataRunList> runs = properties->CreateDataRunList();
  const DataRun* firstRun = runs ? runs->First() : nullptr;
  if (!runs || !firstRun) {
    result = size == 0 ? kWritten : kFailed;
  } else if (runs->IsResident()) {
    std::vector<std::uint8_t> value;
    if (device_ && firstRun->start >= 0 &&
        ReadResidentData(*device_, bytesPerSector_, FileRecordSize(bytesPerSector_),
                         static_cast<std::uint64_t>(firstRun->start), runs->GetResidentOffset(), value)) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(value.size(), size));
      if (WriteAll(fd, value.data(), n)) {
        result = kWritten;
        if (callback_ && callback_->BytesWritten(n) == -1)
          result = kCancelled;
      }
    }
  } else if (!compressed) {
    result = CopyRuns(fd, *runs, length);
  } else if (bytesPerSector_ == 512) {
    result = WriteCompressedFile(fd, *runs, size);
  }

  if (result == kWritten && efsWritten) {
    // No raw-encrypted import here: the raw-import stream is kept as "<name>.EFS", the intermediate
    // file removed. When the conversion fails the intermediate layout stays.
    close(fd);
    const std::string efsPath = path + ".EFS";
    fd = ConvertToRawImport(path, efsPath, size, callback_);
    if (fd >= 0) {
      unlink(path.c_str());
      lastPath_ = efsPath;
    } else {
      fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
      if (fd < 0)
        return kFailed;
    }
  }

  if (result == kWritten) {
    // Times first, then the read-only mode: the mode never keeps the times from being set.
    const std::uint32_t valid = properties->GetValidFields();
    FileTime access = 0;
    FileTime modification = 0;
    if (valid & valid_field::kAccessTime)
      properties->GetAccessTime(&access);
    if (valid & valid_field::kModificationTime)
      properties->GetModificationTime(&modification);
    SetFileTimes(fd, access, modification);
    ApplyReadOnly(fd, (attributes & file_attr::kReadOnly) != 0);
  }
  if (close(fd) != 0 && result == kWritten)
    result = kFailed;
  if (result == kWritten && callback_) {
    callback_->BytesWithdrawn(static_cast<std::uint32_t>(length - size));
    if (callback_->FileDone(1) == -1)
      result = kCancelled;
  }
  return result;
}

namespace {

// Creates a new file for `name` in `folder`: the name, else "%s_%03d%s" of its stem, 0 to 999, and its
// extension. 0 with the path in `made`, EEXIST when all 1001 names are taken, else the errno.
int CreateUniqueFile(const std::string& folder, const std::string& name, std::string& made) {
  std::string path = JoinPath(folder, name);
  int error = CreateNewFile(path);
  if (error == 0) {
    made = path;
    return 0;
  }
  if (error != EEXIST)
    return error;
  const std::size_t dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
  std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  // Room for the suffix within the longest name.
  const std::size_t room = kMaxNameBytes > extension.size() + 4 ? kMaxNameBytes - extension.size() - 4 : 0;
  if (stem.size() > room) {
    std::size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(stem[end]) & 0xC0) == 0x80)
      --end;
    stem.resize(end);
  }
  char suffix[16];
  for (int i = 0; i < 1000; ++i) {
    std::snprintf(suffix, sizeof suffix, "_%03d", i);
    path = JoinPath(folder, stem + suffix + extension);
    error = CreateNewFile(path);
    if (error == 0) {
      made = path;
      return 0;
    }
    if (error != EEXIST)
      return error;
  }
  return EEXIST;
}

}  // namespace

bool RecoverJob::CreateTargetFile(const std::string& parent, const std::string& name, std::string& made) {
  const int error = CreateUniqueFile(parent, name, made);
  if (error == 0)
    return true;
  if (error != ENOENT && error != ENAMETOOLONG)
    return false;
  // The folder cannot hold it: the abnormal-path folder of the output folder, made once per job.
  if (!abnormalMade_) {
    abnormalFolder_ = JoinPath(outputFolder_, kAbnormalFolderName);
    if (!CreateUniqueDirectory(abnormalFolder_))
      return false;
    abnormalMade_ = true;
  }
  return CreateUniqueFile(abnormalFolder_, name, made) == 0;
}

std::uint32_t RecoverJob::Run() {
  records_.clear();
  cancelled_ = false;
  abnormalMade_ = false;
  if (!root_ || root_->CheckState() == kUnchecked)
    return 0;
  if (!MakeSureDirectoryPathExists(targetFolder_))
    return 0;
  outputFolder_ = JoinPath(targetFolder_, kOutputFolderName);
  if (!CreateUniqueDirectory(outputFolder_))
    return 0;
  Walk();
  return 1;
}

std::uint32_t RecoverJob::Start(IMessagePump* pump) {
  std::uint32_t result = 0;
  done_.store(0);
  std::thread worker([&] {
    result = Run();
    done_.store(1);
    done_.notify_all();
  });
  if (pump)
    pump->WaitUntilDone(done_);
  worker.join();
  return result;
}

void RecoverJob::Walk() {
  RecoveredFileWriter writer(callback_, device_);
  // One frame per folder being walked: its next child and the folder its files go to (none when the
  // folder could not be made). A heap stack, so that no depth of found folders can exhaust ours.
  struct Frame {
    CFileNode* next;
    bool hasFolder;
    std::string folder;
  };
  std::vector<Frame> stack;
  stack.push_back({root_->firstChild, true, outputFolder_});
  while (!stack.empty()) {
    CFileNode* node = stack.back().next;
    if (!node) {
      stack.pop_back();
      continue;
    }
    stack.back().next = node->nextSibling;
    if (!node->properties || node->CheckState() == kUnchecked)
      continue;
    const std::string name = SafeFileName(node->properties->GetName());
    if (node->IsFolder()) {
      Frame frame{node->firstChild, false, {}};
      if (stack.back().hasFolder) {
        frame.folder = JoinPath(stack.back().folder, name);
        frame.hasFolder = CreateUniqueDirectory(frame.folder);
        if (!frame.hasFolder)
          frame.folder.clear();
      }
      stack.push_back(std::move(frame));
      continue;
    }

    RecoveredFileRecord record;
    record.size = node->properties->GetSize();
    std::uint64_t base = 0;
    std::uint32_t sectors = 0;
    if (node->GetVolumeGeometry(base, sectors)) {
      if (auto runs = node->properties->CreateDataRunList()) {
        for (const DataRun* run = runs->First(); run; run = runs->Next()) {
          if (!run->IsSparse() && run->start >= 0) {
            record.startSector = runs->IsResident() ? static_cast<std::uint64_t>(run->start)
                                                    : base + static_cast<std::uint64_t>(run->start) * sectors;
            break;
          }
        }
      }
    }
    const std::string parent = stack.back().hasFolder ? stack.back().folder : targetFolder_;
    std::string made;
    if (CreateTargetFile(parent, name, made)) {
      record.path = made.rfind(outputFolder_ + "/", 0) == 0 ? made.substr(outputFolder_.size() + 1)
                                                            : "../" + made.substr(made.rfind('/') + 1);
      record.result = writer.WriteFileData(node, made);
      // An encrypted file may have been kept under another name.
      if (writer.LastPath() != made)
        record.path += writer.LastPath().substr(made.size());
    }
    records_.push_back(record);
    if (record.result == kCancelled) {
      cancelled_ = true;
      break;
    }
  }
  unreadableSectors_ = writer.UnreadableSectors();
}

}  // namespace korvex
