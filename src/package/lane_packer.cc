#include "package/lane_packer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <thread>
#include <utility>

#include "platform/status.h"
#include "util/md5_lanes.h"

namespace tavirelle {

namespace {

constexpr size_t kLanes = Md5Lanes::kLanes;
// A lane's block: large enough that a round's seeks cost nothing beside its
// bytes, small enough that the blocks in flight stay a few mebibytes.
constexpr uint32_t kLaneBlock = 256 * 1024;
constexpr size_t kRoundsInFlight = 3;

// What the reading thread hands over at once: the record heads to write,
// one block of every open show file, and the digests that ended.
struct Round {
  struct Head {
    size_t source;
    uint64_t offset;
    uint32_t size;
  };
  struct Piece {
    uint64_t offset;
    size_t lane;
    uint32_t length;
  };
  struct Digest {
    size_t source;
    std::string md5;
  };
  std::unique_ptr<uint8_t[]> blocks[kLanes];
  std::vector<Head> heads;
  std::vector<Piece> pieces;
  std::vector<Digest> digests;

  void Clear() {
    heads.clear();
    pieces.clear();
    digests.clear();
  }
};

// A show file being read in one lane.
struct Lane {
  bool busy = false;
  size_t source = 0;
  std::unique_ptr<file_io> file;
  uint32_t size = 0;
  uint32_t copied = 0;
  uint64_t data_offset = 0;  // where its bytes go in the package
};

// Places the stream at `offset`, where the next bytes belong.
Status SeekForWrite(file_io& stream, uint64_t offset) {
  if (stream.tell64() == offset) return Status::Ok();
  return stream.seek(static_cast<uint32_t>(offset));
}

class LanePacker {
 public:
  LanePacker(file_io& stream, const std::vector<PackageSource>& sources, std::mutex* turns)
      : stream_(stream), sources_(sources), turns_(turns), end_(stream.tell64()) {}

  bool Allocate() {
    for (size_t r = 0; r < kRoundsInFlight; ++r) {
      auto round = std::make_unique<Round>();
      for (auto& block : round->blocks) {
        block.reset(new (std::nothrow) uint8_t[kLaneBlock]);
        if (!block) return false;
      }
      free_.push_back(round.get());
      rounds_.push_back(std::move(round));
    }
    return true;
  }

  Status Run(std::vector<PackageEntry>* directory) {
    std::vector<PackageEntry> entries(sources_.size());
    std::thread reader([this] { Read(); });
    Status written;
    try {
      written = Write(&entries);
    } catch (...) {
      Stop();
      reader.join();
      throw;
    }
    // A package that cannot be written needs no more of its sources.
    if (!written.ok()) Stop();
    reader.join();
    if (read_exception_) std::rethrow_exception(read_exception_);
    if (!written.ok()) return written;
    if (failed_at_ != kNone) return failure_;
    {
      auto turn = Turn();
      written = SeekForWrite(stream_, end_);
    }
    if (!written.ok()) return written;
    for (size_t i = 0; i < entries.size(); ++i) entries[i].name = sources_[i].storedName;
    *directory = std::move(entries);
    return Status::Ok();
  }

 private:
  static constexpr size_t kNone = SIZE_MAX;

  std::unique_lock<std::mutex> Turn() {
    return turns_ != nullptr ? std::unique_lock<std::mutex>(*turns_)
                             : std::unique_lock<std::mutex>();
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }

  Round* TakeFree() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || !free_.empty(); });
    if (stopped_) return nullptr;
    Round* round = free_.front();
    free_.pop_front();
    return round;
  }

  void Hand(Round* round) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      full_.push_back(round);
    }
    changed_.notify_all();
  }

  // The first source in order that failed wins, as it would one at a time.
  void Failed(size_t source, Status why) {
    if (source < failed_at_) {
      failed_at_ = source;
      failure_ = std::move(why);
    }
  }

  // Opens the next source into an idle lane; false when there is none to
  // open or it failed.
  bool Open(Lane& lane, Round* round) {
    if (next_ == sources_.size() || failed_at_ != kNone) return false;
    const size_t source = next_++;
    auto turn = Turn();
    auto file =
        std::make_unique<file_io>(stream_.file_system(), sources_[source].path, StreamMode::kRead);
    Status opened = file->open();
    if (!opened.ok()) {
      Failed(source, std::move(opened));
      return false;
    }
    const uint64_t size = file->size64();
    const uint64_t record = StoredFileRecordSize(sources_[source].storedName, size);
    if (end_ + record > kMaxPackageSize) {
      Failed(source, Status::Error(ERROR_FILE_TOO_LARGE));
      return false;
    }
    lane.busy = true;
    lane.source = source;
    lane.file = std::move(file);
    lane.size = static_cast<uint32_t>(size);
    lane.copied = 0;
    lane.data_offset = end_ + (record - size);
    round->heads.push_back({source, end_, lane.size});
    end_ += record;
    return true;
  }

  void Read() {
    std::exception_ptr exception;
    try {
      ReadRounds();
    } catch (...) {
      // Only allocation throws in here; the writer rethrows it.
      exception = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      read_exception_ = exception;
      reading_ = false;
    }
    changed_.notify_all();
  }

  void ReadRounds() {
    Lane lanes[kLanes];
    Md5Lanes digests;
    for (;;) {
      Round* round = TakeFree();
      if (round == nullptr) return;
      round->Clear();
      bool any = false;
      for (Lane& lane : lanes) {
        // Sources after a failed one are never written.
        if (lane.busy && failed_at_ != kNone && lane.source > failed_at_) lane = Lane();
        if (!lane.busy) Open(lane, round);
        any = any || lane.busy;
      }
      if (!any) {
        Hand(round);
        return;
      }
      Md5Lanes::Chunk chunks[kLanes];
      for (size_t l = 0; l < kLanes; ++l) {
        Lane& lane = lanes[l];
        if (!lane.busy) continue;
        const uint32_t want = std::min(kLaneBlock, lane.size - lane.copied);
        uint32_t got = 0;
        Status read;
        if (want != 0) {
          auto turn = Turn();
          read = lane.file->read_all(round->blocks[l].get(), want, &got);
        }
        if (got != 0) {
          round->pieces.push_back({lane.data_offset + lane.copied, l, got});
          chunks[l] = {round->blocks[l].get(), got};
        }
        lane.copied += got;
        if (got < want) {
          // The file shrank or could not be read: its record would announce
          // more than follows.
          Failed(lane.source, read.ok() ? Status::Error(ERROR_SUCCESS, kSourceShrank)
                                        : std::move(read));
          chunks[l] = {};
          digests.Start(l);
          lane = Lane();
        }
      }
      digests.Update(chunks);
      for (size_t l = 0; l < kLanes; ++l) {
        Lane& lane = lanes[l];
        if (!lane.busy || lane.copied != lane.size) continue;
        round->digests.push_back({lane.source, digests.FinishHex(l)});
        lane = Lane();
      }
      Hand(round);
    }
  }

  Status Write(std::vector<PackageEntry>* entries) {
    for (;;) {
      Round* round;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !full_.empty() || !reading_; });
        if (full_.empty()) break;
        round = full_.front();
        full_.pop_front();
      }
      {
        auto turn = Turn();
        Status written;
        for (const Round::Head& head : round->heads) {
          written = SeekForWrite(stream_, head.offset);
          if (written.ok()) {
            written = WriteStoredFileHead(stream_, kTagStoredFile,
                                          sources_[head.source].storedName, head.size);
          }
          if (!written.ok()) return written;
          (*entries)[head.source].offset = static_cast<uint32_t>(head.offset);
          (*entries)[head.source].size = head.size;
        }
        for (const Round::Piece& piece : round->pieces) {
          written = SeekForWrite(stream_, piece.offset);
          if (written.ok()) written = stream_.write_all(round->blocks[piece.lane].get(), piece.length);
          if (!written.ok()) return written;
        }
      }
      for (Round::Digest& digest : round->digests) {
        (*entries)[digest.source].md5 = std::move(digest.md5);
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(round);
      }
      changed_.notify_all();
    }
    return Status::Ok();
  }

  file_io& stream_;
  const std::vector<PackageSource>& sources_;
  std::mutex* turns_;

  // The reading thread's own, read by the writer once it has joined.
  size_t next_ = 0;
  uint64_t end_;  // where the next record goes
  size_t failed_at_ = kNone;
  Status failure_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Round>> rounds_;
  std::deque<Round*> free_;
  std::deque<Round*> full_;
  bool stopped_ = false;
  bool reading_ = true;
  std::exception_ptr read_exception_;
};

}  // namespace

Status WriteFileRecordsInLanes(file_io& stream, const std::vector<PackageSource>& sources,
                               std::vector<PackageEntry>* directory, std::mutex* turns) {
  LanePacker packer(stream, sources, turns);
  if (!packer.Allocate()) return Status::Error(ERROR_NOT_ENOUGH_MEMORY);
  return packer.Run(directory);
}

Status WriteFileRecordsInTurn(file_io& stream, const std::vector<PackageSource>& sources,
                              std::vector<PackageEntry>* directory) {
  directory->reserve(sources.size());
  std::unique_ptr<uint8_t[]> scratch;
  for (const PackageSource& source : sources) {
    PackageEntry entry;
    entry.name = source.storedName;
    entry.offset = stream.tell();
    Status written = WriteFileRecord(stream, kTagStoredFile, source.path, entry.name, &entry.md5,
                                     &entry.size, &scratch);
    if (!written.ok()) return written;
    directory->push_back(std::move(entry));
  }
  return Status::Ok();
}

}  // namespace tavirelle
