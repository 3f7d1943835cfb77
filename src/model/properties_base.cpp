#include "model/properties_base.h"

#include <algorithm>
#include <cstring>

#include "model/byte_stream.h"
#include "model/data_run_list.h"
#include "model/extension_classification.h"
#include "model/stored_run_list.h"

namespace korvex {
namespace {

char kEmptyText[1] = {0};

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::unique_ptr<char[]> CopyText(std::string_view text) {
  // make_unique value-initialises: the copy ends in its NUL; an empty view may have no data at all.
  auto copy = std::make_unique<char[]>(text.size() + 1);
  if (!text.empty())
    std::memcpy(copy.get(), text.data(), text.size());
  return copy;
}

constexpr std::size_t kMaxNameLength = 0xFFFF;

}  // namespace

void CViewValueProperties::ResetViewValues() {
  inOtherFiles_ = otherFilesIndex_ = checkedCount_ = fileCount_ = 0;
  searchHit_ = searchIndex_ = extracted_ = 0;
  reserved1_ = reserved2_ = reserved3_ = reserved4_ = 0;
  checkState_ = kUnchecked;
  mark_ = 0;
}

CFoundFileProperties::CFoundFileProperties() : extension_(kEmptyText) {}

CFoundFileProperties::~CFoundFileProperties() {
  ReleaseExtension();
}

void CFoundFileProperties::ReleaseExtension() {
  if (ownsExtension_)
    delete[] extension_;
  ownsExtension_ = false;
  extension_ = kEmptyText;
}

std::unique_ptr<IDataRunList> CFoundFileProperties::CreateDataRunList() const {
  return runs_ ? korvex::CreateDataRunList(*runs_) : nullptr;
}

void CFoundFileProperties::SetStoredRunList(std::unique_ptr<StoredRunList> runs) {
  runs_ = std::move(runs);
}

void CFoundFileProperties::AssignName(std::string_view name) {
  name = name.substr(0, kMaxNameLength);
  ReleaseExtension();
  name_ = CopyText(name);
  nameLength_ = static_cast<std::uint16_t>(name.size());
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) {
    extension_ = name_.get() + dot;
    for (char* p = extension_; *p; ++p)
      *p = Upper(*p);
  }
  typeCode_ = ClassifyExtension(std::string_view(extension_));
}

void CFoundFileProperties::AssignNameAndExtension(std::string_view name, std::string_view extension) {
  name = name.substr(0, kMaxNameLength);
  ReleaseExtension();
  name_ = CopyText(name);
  nameLength_ = static_cast<std::uint16_t>(name.size());
  extension_ = CopyText(extension).release();
  ownsExtension_ = true;
}

void CFoundFileProperties::SaveName(IByteStream& stream) const {
  WriteU16(stream, nameLength_);
  stream.WriteBytes(GetName(), nameLength_);
}

void CFoundFileProperties::SaveExtension(IByteStream& stream) const {
  const std::size_t length = extension_ ? std::min(std::strlen(extension_), kMaxNameLength) : 0;
  WriteU16(stream, static_cast<std::uint16_t>(length));
  stream.WriteBytes(extension_ ? extension_ : kEmptyText, length);
}

std::string CFoundFileProperties::LoadCounted(IByteStream& stream) {
  std::string text(ReadU16(stream), '\0');
  stream.ReadBytes(text.data(), text.size());
  return text;
}

void CFoundFileProperties::RestoreNameAndExtension(std::string_view name, std::string_view extension,
                                                   bool nullWhenEmpty) {
  ReleaseExtension();
  name_ = CopyText(name);
  nameLength_ = static_cast<std::uint16_t>(name.size());
  // A NUL inside a loaded name ends it for every reader; the length stays as stored.
  if (extension.empty()) {
    extension_ = nullWhenEmpty ? nullptr : kEmptyText;
  } else if (name.ends_with(extension) && name.find('\0') == std::string_view::npos) {
    extension_ = name_.get() + (name.size() - extension.size());
  } else {
    extension_ = CopyText(extension).release();
    ownsExtension_ = true;
  }
}

void CFoundFileProperties::SaveRunList(IByteStream& stream) const {
  WriteU32(stream, runs_ ? 1 : 0);
  if (runs_)
    SaveStoredRunList(stream, *runs_);
}

void CFoundFileProperties::LoadRunList(IByteStream& stream) {
  runs_.reset();
  if (ReadU32(stream) == 1)
    runs_ = std::make_unique<StoredRunList>(LoadStoredRunList(stream));
}

}  // namespace korvex
