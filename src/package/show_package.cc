#include "package/show_package.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "metaxml/stored_show.h"
#include "platform/file_system.h"
#include "platform/last_error.h"
#include "util/file_utils.h"
#include "util/lane_groups.h"
#include "util/md5.h"
#include "util/md5_lanes.h"
#include "util/text.h"

namespace tavirelle {

namespace {

constexpr char kMetaName[] = "meta.xml";

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

void DropPrefix(std::string& text, const char* prefix) {
  if (StartsWith(text, prefix)) text.erase(0, std::strlen(prefix));
}

// The decimal number that the text after the name's last dot starts with;
// 0 when it starts with no digit. Saturates instead of overflowing.
int64_t VersionNumber(const std::string& name) {
  size_t dot = name.rfind('.');
  int64_t number = 0;
  if (dot == std::string::npos) return 0;
  for (size_t i = dot + 1; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
    number = number * 10 + (name[i] - '0');
    if (number > INT32_MAX) return int64_t{INT32_MAX} + 1;
  }
  return number;
}

}  // namespace

ShowPackage::ShowPackage(FileSystem& fs) : fs_(fs) {}
ShowPackage::~ShowPackage() = default;

const PackageEntry* ShowPackage::FindEntry(const std::string& name) const {
  auto found = index_.find(name);
  return found == index_.end() ? nullptr : &entries_[found->second];
}

void ShowPackage::IndexEntries() {
  index_.clear();
  index_.reserve(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].name, i);
}

Status ShowPackage::OpenPackage(const std::string& path, bool validateMeta) {
  entries_.clear();
  pending_.clear();
  packageFile_.reset();
  path_ = path;
  if (!PathExists(fs_, path)) return OpenFailure(PackageOpenError::kMissing);
  Status status = ReadDirectory(fs_, path, entries_);
  IndexEntries();
  if (!status.ok()) return status;
  auto file = std::make_unique<file_io>(fs_, path, StreamMode::kRead);
  status = file->open();
  if (!status.ok()) return OpenFailure(PackageOpenError::kUnreadable, status.code());
  packageFile_ = std::move(file);
  if (validateMeta) GetMetaText();
  if (!IsOpen()) return OpenFailure(PackageOpenError::kRepairFailed);
  return Status::Ok();
}

void ShowPackage::ClosePackage() { packageFile_.reset(); }

bool ShowPackage::SeekPastStoredHeaders(const PackageEntry& entry) {
  return packageFile_ && SeekStoredData(*packageFile_, entry.offset);
}

bool ShowPackage::ReadEntryHead(const PackageEntry& entry, uint32_t maxBytes,
                                std::string* head, bool* whole) {
  head->clear();
  if (whole != nullptr) *whole = false;
  if (!SeekPastStoredHeaders(entry)) return false;
  uint64_t remaining = packageFile_->remaining();
  if (whole != nullptr) *whole = entry.size <= remaining;
  uint64_t wanted = std::min<uint64_t>({maxBytes, entry.size, remaining});
  head->resize(static_cast<size_t>(wanted));
  uint32_t got = packageFile_->read(head->data(), static_cast<uint32_t>(wanted));
  head->resize(got);
  return true;
}

// Receives what a read found: the bytes of a pending entry, or the stored
// entry to be read from the package file, which stands at the entry's data.
class ShowPackage::EntrySink {
 public:
  virtual ~EntrySink() = default;
  virtual bool TakeBytes(const std::string& bytes) = 0;
  virtual bool TakeStored(file_io& package, const PackageEntry& entry) = 0;
  // The entry exists but its record cannot be read whole.
  virtual void Unreadable() {}
  // An attempt failed; the next one (a thumbnail fall-back) starts afresh.
  virtual void Discard() = 0;
  // The last attempt failed in a way another entry would not mend (the
  // target cannot be written, or the entry's bytes are not the ones the
  // directory states), so no fall-back is tried.
  virtual bool Final() const { return false; }
};

// Collects the entry's bytes in a string.
class ShowPackage::StringSink final : public EntrySink {
 public:
  explicit StringSink(std::string* data) : data_(data) { data_->clear(); }
  bool TakeBytes(const std::string& bytes) override {
    *data_ = bytes;
    return true;
  }
  bool TakeStored(file_io& package, const PackageEntry& entry) override {
    data_->resize(entry.size);
    return package.read(data_->data(), entry.size) == entry.size;
  }
  void Discard() override { data_->clear(); }

 private:
  std::string* data_;
};

// Writes the entry's bytes to a new file beside the target, in blocks (the
// photos and music that make up most of a show are never held whole),
// hashing them on the way, and renames it over the target only when every
// byte arrived and the digest is the directory's. Renaming replaces a link
// standing at the target instead of writing into the file it points to.
class ShowPackage::FileSink final : public EntrySink {
 public:
  FileSink(FileSystem& fs, const std::string& path) : fs_(fs), path_(path) {}

  const EntrySave& outcome() const { return outcome_; }

  bool TakeBytes(const std::string& bytes) override {
    // Pending bytes are the package's own, hashed when they were stored.
    return Write([&](File& file) {
      return bytes.empty() || Written(WriteAll(file, bytes.data(), static_cast<DWORD>(bytes.size())));
    });
  }

  bool TakeStored(file_io& package, const PackageEntry& entry) override {
    return Write([&](File& file) {
      Md5Digest digest;
      std::vector<char> block(std::min<uint32_t>(entry.size, kBlock));
      for (uint32_t left = entry.size; left > 0;) {
        uint32_t n = std::min<uint32_t>(left, kBlock);
        if (package.read(block.data(), n) != n) {
          outcome_.result = EntrySaveResult::kDamaged;
          return false;
        }
        digest.Update(block.data(), n);
        if (!Written(WriteAll(file, block.data(), n))) return false;
        left -= n;
      }
      if (digest.FinishHex() != entry.md5) {
        outcome_.result = EntrySaveResult::kMismatch;
        return false;
      }
      return true;
    });
  }

  void Unreadable() override { outcome_.result = EntrySaveResult::kDamaged; }
  void Discard() override {}
  bool Final() const override {
    return outcome_.result == EntrySaveResult::kWriteFailed ||
           outcome_.result == EntrySaveResult::kMismatch;
  }

 private:
  static constexpr uint32_t kBlock = 1 << 20;

  bool Written(const Status& status) {
    if (!status.ok()) outcome_ = {EntrySaveResult::kWriteFailed, status.code()};
    return status.ok();
  }

  static Status WriteAll(File& file, const void* data, DWORD size) {
    DWORD done = 0;
    Status written = file.Write(data, size, &done);
    if (written.ok() && done != size) return Status::Error(ERROR_WRITE_FAULT);
    return written;
  }

  // Runs `fill` on a new file beside the target and puts it in the
  // target's place when it succeeds; removes it otherwise.
  template <class Fill>
  bool Write(Fill fill) {
    if (!Begin()) return false;
    return End(fill(*file_));
  }

 public:
  // Write in steps, for callers that fill several files at once: Begin
  // opens the new file (false, with the outcome, when it cannot), Append
  // adds bytes, and End puts the file in place when `ok`.
  bool Begin() {
    DWORD attributes = 0;
    if (fs_.GetFileAttributes(path_, &attributes).ok() &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      // Replacing a read-only file fails, as it would in place.
      outcome_ = {EntrySaveResult::kWriteFailed, ERROR_ACCESS_DENIED};
      return false;
    }
    temporary_ = TemporaryNameBeside(path_);
    return Written(fs_.Open(temporary_, GENERIC_WRITE, Disposition::kCreateNew, &file_));
  }
  bool Append(const void* data, uint32_t size) { return Written(WriteAll(*file_, data, size)); }
  void Mismatch() { outcome_.result = EntrySaveResult::kMismatch; }
  bool End(bool ok) {
    ok = Written(file_->Close()) && ok;
    file_.reset();
    ok = ok && Written(fs_.MoveFile(temporary_, path_, IfExists::kReplace));
    if (!ok) {
      fs_.DeleteFile(temporary_).IgnoreError();
      return false;
    }
    outcome_ = {EntrySaveResult::kSaved, 0};
    return true;
  }

 private:
  FileSystem& fs_;
  std::string path_;
  EntrySave outcome_;
  std::string temporary_;
  std::unique_ptr<File> file_;
};

bool ShowPackage::ReadEntryExact(const std::string& name, bool thumbnail,
                                 EntrySink& sink) {
  for (const PackageEntry& entry : pending_) {
    if (entry.name == name) return sink.TakeBytes(entry.data);
  }
  const PackageEntry* entry = FindEntry(name);
  if (entry != nullptr) {
    // A size past the end of the package is damage, not a reason to allocate.
    if (SeekPastStoredHeaders(*entry) && entry->size <= packageFile_->remaining()) {
      if (sink.TakeStored(*packageFile_, *entry)) return true;
    } else {
      sink.Unreadable();
    }
    if (sink.Final()) return false;
  }
  sink.Discard();
  if (thumbnail) {
    std::string file = FileNameOf(name);
    return ReadEntryInto("w120\\h90\\" + file, sink) || ReadEntryInto(file, sink);
  }
  // Nothing is deleted here: the name comes from the package, and a read
  // must never touch files outside it.
  return false;
}

bool ShowPackage::ReadEntry(const std::string& name, std::string* data) {
  StringSink sink(data);
  return ReadEntryInto(name, sink);
}

std::string ShowPackage::LookupName(const std::string& requested, bool* thumbnail) {
  std::string name = requested;
  DropPrefix(name, "file:///");
  std::replace(name.begin(), name.end(), '/', '\\');
  DropPrefix(name, "c|\\");
  DropPrefix(name, "C|\\");
  DropPrefix(name, "c:\\\\");
  DropPrefix(name, "c:\\");
  if (Extension(name) == ".mp3") name = FileNameOf(name);
  *thumbnail = false;
  static const char kShowCode[] = "\\SHOWCODE\\";
  size_t at = name.find(kShowCode);
  if (at != std::string::npos) {
    std::string rest = name.substr(at + std::strlen(kShowCode));
    if (StartsWith(rest, "w120\\h90\\") || StartsWith(rest, "w133\\h100\\")) {
      name = rest;
      *thumbnail = true;
    } else {
      name = FileNameOf(name);
    }
  }
  return name;
}

bool ShowPackage::ReadEntryInto(const std::string& requested, EntrySink& sink) {
  if (!IsOpen()) return false;
  bool thumbnail = false;
  std::string name = LookupName(requested, &thumbnail);
  return ReadEntryExact(name, thumbnail, sink);
}

std::string ShowPackage::ReadEntryText(const std::string& name) {
  std::string data;
  if (!ReadEntry(name, &data)) return std::string();
  data.resize(std::strlen(data.c_str()));
  return data;
}

bool ShowPackage::IsUsableMetaText(const std::string& text) const {
  std::optional<std::string> first = ScanFirstImageName(text);
  return first && FindEntry(*first) != nullptr;
}

MetaText ShowPackage::ReadMetaText() {
  // Reads one version whole, digesting it as it stands in the package.
  auto read = [this](const std::string& name) {
    MetaText version;
    std::string data;
    if (!ReadEntry(name, &data)) return version;
    version.entry = name;
    const PackageEntry* listed = FindEntry(name);
    bool pending = std::any_of(pending_.begin(), pending_.end(),
                               [&](const PackageEntry& e) { return e.name == name; });
    version.intact = pending || (listed != nullptr &&
                                 Md5BufferHex(data.data(), data.size()) == listed->md5);
    data.resize(std::strlen(data.c_str()));
    version.text = std::move(data);
    return version;
  };

  MetaText current = read(kMetaName);
  if (IsUsableMetaText(current.text) || entries_.empty()) return current;

  // Only the numbered versions the directory lists can be read, so only they
  // are tried, newest first: the same outcome as counting down from the
  // highest number, bounded by the number of entries.
  std::vector<int32_t> versions;
  for (const PackageEntry& entry : entries_) {
    if (!StartsWith(entry.name, kMetaName)) continue;
    int64_t number = VersionNumber(entry.name);
    if (number > INT32_MAX) continue;
    auto version = static_cast<int32_t>(number);
    if (entry.name == FormatText("meta.xml.%i", version)) versions.push_back(version);
  }
  std::sort(versions.begin(), versions.end(), std::greater<int32_t>());
  versions.erase(std::unique(versions.begin(), versions.end()), versions.end());

  for (int32_t version : versions) {
    MetaText candidate = read(FormatText("meta.xml.%i", version));
    if (!IsUsableMetaText(candidate.text)) continue;
    StorePending(kMetaName, candidate.text.data(),
                 static_cast<uint32_t>(candidate.text.size()));
    // A package that cannot take the repair is still read through it.
    CommitPending().IgnoreError();
    return candidate;
  }
  return current;
}

void ShowPackage::StorePending(const std::string& name, const void* data, uint32_t size) {
  PackageEntry* target = nullptr;
  for (PackageEntry& entry : pending_) {
    if (entry.name == name) target = &entry;
  }
  if (target == nullptr) {
    pending_.emplace_back();
    target = &pending_.back();
  }
  target->name = name;
  target->size = size;
  target->md5 = Md5BufferHex(data, size);
  target->data.assign(static_cast<const char*>(data), size);
}

Status ShowPackage::CommitPending() {
  if (!IsOpen()) return Status::Error(ERROR_INVALID_HANDLE, "no package is open");
  packageFile_.reset();
  file_io stream(fs_, path_, StreamMode::kWrite);
  if (Status opened = stream.open(); !opened.ok()) return opened;

  std::vector<PackageEntry> previous = entries_;
  Status written = stream.seek_end();
  const bool ended = written.ok();
  uint32_t oldEnd = stream.tell();
  if (written.ok() && pending_.empty()) {
    written = Status::Error(ERROR_INVALID_PARAMETER, "no entry is waiting");
  }
  for (const PackageEntry& item : pending_) {
    if (!written.ok()) break;
    // The current entry of this name keeps pointing at its old data under
    // the next free version number.
    PackageEntry* current = nullptr;
    int64_t next = 0;
    for (PackageEntry& entry : entries_) {
      if (entry.name.compare(0, item.name.size(), item.name) != 0) continue;
      std::string stem = WithoutExtension(entry.name);
      if (Extension(stem).empty()) {
        current = &entry;
      } else if (!Extension(entry.name).empty()) {
        next = std::max(next, VersionNumber(entry.name) + 1);
      }
    }
    if (current != nullptr) {
      current->name += FormatText(".%i", static_cast<int32_t>(std::min<int64_t>(next, INT32_MAX)));
    }
    PackageEntry added;
    added.name = item.name;
    added.offset = stream.tell();
    added.size = item.size;
    added.md5 = item.md5;
    written = WriteMemoryRecord(stream, kTagStoredFile, item.name, item.data.data(), item.size);
    entries_.push_back(std::move(added));
  }
  pending_.clear();
  if (written.ok()) written = WriteDirectory(stream, entries_);
  if (!written.ok()) {
    // The 'L' record still names the previous directory: drop what was
    // appended so the file is as it was, and keep reading the old entries.
    if (ended && stream.seek(oldEnd).ok()) stream.truncate().IgnoreError();
    entries_ = std::move(previous);
  }
  Status closed = stream.close();
  if (!closed.ok() && written.ok()) {
    // The data may or may not have reached the medium: believe the file.
    written = closed;
    std::vector<PackageEntry> onDisk;
    entries_ = ReadDirectory(fs_, path_, onDisk).ok() ? std::move(onDisk) : std::move(previous);
  }
  IndexEntries();
  auto file = std::make_unique<file_io>(fs_, path_, StreamMode::kRead);
  if (file->open().ok()) packageFile_ = std::move(file);
  return written;
}

EntrySave ShowPackage::SaveEntry(const std::string& name, const std::string& path) {
  FileSink sink(fs_, path);
  ReadEntryInto(name, sink);
  return sink.outcome();
}

// One (name, path) pair of SaveEntries.
struct ShowPackage::SaveTarget {
  const std::string* path = nullptr;
  const PackageEntry* entry = nullptr;  // when stored plainly
  bool settled = false;                 // `save` is its outcome
  bool skipped = false;                 // its group was not begun for a stop
  EntrySave save;
};

void ShowPackage::SaveStoredTogether(SaveTarget* group, size_t size) {
  struct Slot {
    SaveTarget* target;
    std::unique_ptr<file_io> package;
    std::unique_ptr<FileSink> sink;
    bool damaged = false;       // the record ended early after all
    bool write_failed = false;  // the sink holds why
  };
  std::vector<Slot> slots;
  slots.reserve(size);
  for (SaveTarget* target = group; target != group + size; ++target) {
    const PackageEntry& entry = *target->entry;
    auto package = std::make_unique<file_io>(fs_, path_, StreamMode::kRead);
    // A record that cannot be read is for SaveEntry, with its fall-backs.
    if (!package->open().ok() || !SeekStoredData(*package, entry.offset) ||
        entry.size > package->remaining()) {
      continue;
    }
    auto sink = std::make_unique<FileSink>(fs_, *target->path);
    if (!sink->Begin()) {
      target->settled = true;
      target->save = sink->outcome();
      continue;
    }
    slots.push_back({target, std::move(package), std::move(sink)});
  }
  // Every block read is written at once; the digests come side by side.
  std::vector<Md5Stream> streams(slots.size());
  for (size_t i = 0; i < slots.size(); ++i) {
    Slot& slot = slots[i];
    streams[i].size = slot.target->entry->size;
    streams[i].read = [&slot](void* buffer, size_t size) -> size_t {
      const uint32_t got = slot.package->read(buffer, static_cast<uint32_t>(size));
      if (got != size) {
        slot.damaged = true;
        return 0;
      }
      if (!slot.sink->Append(buffer, got)) {
        slot.write_failed = true;
        return 0;
      }
      return got;
    };
  }
  Md5Streams(streams);
  for (size_t i = 0; i < slots.size(); ++i) {
    Slot& slot = slots[i];
    if (slot.damaged) {
      // SaveEntry reads it again and settles it.
      slot.sink->End(false);
      continue;
    }
    if (!slot.write_failed && streams[i].md5 != slot.target->entry->md5) slot.sink->Mismatch();
    slot.sink->End(!slot.write_failed && streams[i].md5 == slot.target->entry->md5);
    slot.target->settled = true;
    slot.target->save = slot.sink->outcome();
  }
}

std::vector<EntrySave> ShowPackage::SaveEntries(
    const std::vector<std::pair<std::string, std::string>>& targets, unsigned jobs,
    const std::function<void(size_t, const EntrySave&)>& saved, const std::function<bool()>& stop) {
  std::vector<SaveTarget> all(targets.size());
  for (size_t i = 0; i < targets.size(); ++i) {
    SaveTarget& target = all[i];
    target.path = &targets[i].second;
    bool thumbnail = false;
    const std::string name = LookupName(targets[i].first, &thumbnail);
    const bool pending = std::any_of(pending_.begin(), pending_.end(),
                                     [&](const PackageEntry& e) { return e.name == name; });
    // A file system that serves one thread at a time (a test's) gets the
    // files one after another, in order, as SaveEntry writes them.
    if (IsOpen() && !pending && fs_.ThreadSafe()) target.entry = FindEntry(name);
  }
  auto stopped = [&]() { return stop && stop(); };
  // Runs of plainly stored entries go together; any other target is a group
  // of its own, settled by SaveEntry.
  const size_t taken = RunInLaneGroups(
      all.size(), jobs, [&](size_t i) { return all[i].entry != nullptr; },
      [&](size_t first, size_t size) {
        if (stopped()) {
          // A group skipped for `stop` is not settled when taken either.
          for (size_t i = first; i < first + size; ++i) all[i].skipped = true;
        } else if (all[first].entry != nullptr) {
          SaveStoredTogether(all.data() + first, size);
        }
      },
      [&](size_t i) {
        SaveTarget& target = all[i];
        if (target.skipped) return false;
        if (!target.settled) {
          // What a group wrote is told; a file of its own is not begun once
          // the run is to stop.
          if (stopped()) return false;
          target.save = SaveEntry(targets[i].first, *target.path);
          target.settled = true;
        }
        if (saved) saved(i, target.save);
        return true;
      });
  // Groups that workers finished ahead of a stop were written all the same.
  for (size_t i = taken; i < all.size() && saved; ++i) {
    if (all[i].settled) saved(i, all[i].save);
  }
  std::vector<EntrySave> outcomes;
  outcomes.reserve(all.size());
  for (const SaveTarget& target : all) outcomes.push_back(target.save);
  return outcomes;
}

}  // namespace tavirelle
