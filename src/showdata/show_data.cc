#include "showdata/show_data.h"

#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "package/record_format.h"
#include "package/show_package.h"
#include "package/streams.h"
#include "platform/file_system.h"
#include "util/file_utils.h"
#include "util/parallel.h"

namespace tavirelle {

std::string& StripLeadingSeparators(std::string& text) {
  size_t n = 0;
  while (n + 1 < text.size() && (text[n] == '\\' || text[n] == '/')) ++n;
  text.erase(0, n);
  return text;
}

size_t ReplaceChar(std::string& text, char from, char to) {
  size_t count = 0;
  for (char& c : text) {
    if (c == from) {
      c = to;
      ++count;
    }
  }
  return count;
}

std::vector<std::string> SplitText(const std::string& text,
                                   const std::string& separators) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(separators, start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

bool IsNameInsideFolder(const std::string& name) {
  if (name.empty()) return true;
  if (name[0] == '\\' || name[0] == '/') return false;
  bool drive_letter = (name[0] >= 'A' && name[0] <= 'Z') ||
                      (name[0] >= 'a' && name[0] <= 'z');
  if (name.size() >= 2 && drive_letter && name[1] == ':') return false;
  for (const std::string& part : SplitText(name, "\\/")) {
    if (part == "..") return false;
  }
  return true;
}

ShowData::ShowData(const std::string& meta_text) {
  loaded_ = ReadStoredShow(meta_text, &show_).ok();
}

std::vector<std::string> ShowData::CollectReferencedFiles() {
  referenced_files_.clear();
  seen_.clear();
  online_files_.clear();
  AddReferencedFile(show_.icon, nullptr, false);
  for (const StoredImage& image : show_.images) {
    AddReferencedFile(image.online_filename, nullptr, true);
  }
  for (const StoredImage& image : show_.images) {
    AddReferencedFile(image.audio_caption, nullptr, false);
  }
  for (const StoredImage& image : show_.images) {
    if (image.music) AddReferencedFile(image.music->file, ".mp3", false);
  }
  return referenced_files_;
}

void ShowData::AddReferencedFile(std::string value, const char* extension, bool online_file) {
  if (value.empty()) return;
  StripLeadingSeparators(value);
  ReplaceChar(value, '\\', '/');
  if (extension != nullptr) {
    std::string wanted = Extension(extension);
    std::string found = Extension(value);
    if (found.empty() || found != wanted) return;
  }
  if (online_file) online_files_.insert(value);
  if (seen_.insert(value).second) referenced_files_.push_back(value);
}

bool ExtractShow(ShowPackage& package, const std::string& output_path, ExtractReport* report,
                 const ExtractProgress& progress, const ExtractOptions& options) {
  *report = ExtractReport();
  if (!package.IsOpen()) return false;
  report->description = package.ReadMetaText();
  const MetaText& meta = report->description;
  // The description names the files to write; one that is not what the
  // package's directory says it is cannot be trusted to name them.
  if ((!meta.entry.empty() && !meta.intact) ||
      (meta.entry.empty() && package.FindEntry("meta.xml") != nullptr)) {
    report->meta_damaged = true;
    report->meta_error = ERROR_CRC;
    return true;
  }
  const std::string& meta_text = meta.text;
  // A repair that could not be written leaves the package closed; the show
  // is still in it as it stands, so it is read through a second opening
  // rather than reported missing file by file.
  ShowPackage* source = &package;
  ShowPackage reopened(package.file_system());
  if (!package.IsOpen()) {
    report->repair_failed = true;
    if (reopened.OpenPackage(package.path(), /*validateMeta=*/false).ok()) source = &reopened;
  }
  ShowData show(meta_text);
  report->description_loads = show.Loaded();
  if (options.whole_description_only && (!report->description.intact || !show.Loaded())) {
    return true;
  }
  std::vector<std::string> names = show.CollectReferencedFiles();
  size_t total = names.size() + 1;
  // The files are copied on every core, eight digested at a time; progress
  // still counts them in the show's order.
  std::vector<std::pair<std::string, std::string>> targets;
  std::vector<size_t> target_of;
  for (const std::string& name : names) {
    ExtractedFile file;
    file.name = name;
    file.online_file = show.IsOnlineFile(name);
    file.outside = !IsNameInsideFolder(name);
    if (!file.outside) {
      target_of.push_back(report->files.size());
      targets.emplace_back(name, output_path + name);
    }
    report->files.push_back(std::move(file));
  }
  size_t settled = 0;
  auto count_to = [&](size_t files) {
    while (settled < files) {
      ++settled;
      if (progress) progress(settled, total);
    }
  };
  std::atomic<bool> stop_seen{false};
  source->SaveEntries(
      targets, options.jobs == 0 ? DefaultJobs() : options.jobs,
      [&](size_t i, const EntrySave& save) {
        report->files[target_of[i]].save = save;
        if (!stop_seen) count_to(target_of[i] + 1);
      },
      [&]() {
        if (options.stop && options.stop()) stop_seen = true;
        return stop_seen.load();
      });
  report->stopped = stop_seen || (options.stop && options.stop());
  if (report->stopped) return true;
  count_to(report->files.size());
  Status saved = SaveTextToFile(package.file_system(), output_path + "meta.xml", meta_text);
  report->meta_saved = saved.ok();
  if (!saved.ok()) report->meta_error = saved.code();
  if (progress) progress(total, total);
  return true;
}

Status ExtractionStatus(const ExtractReport& report) {
  for (const ExtractedFile& file : report.files) {
    if (file.save.result == EntrySaveResult::kWriteFailed) {
      return Status::Error(file.save.error != ERROR_SUCCESS ? file.save.error : ERROR_WRITE_FAULT);
    }
  }
  if (report.meta_damaged) return Status::Error(ERROR_CRC);
  if (!report.meta_saved) {
    return Status::Error(report.meta_error != ERROR_SUCCESS ? report.meta_error
                                                            : ERROR_WRITE_FAULT);
  }
  for (const ExtractedFile& file : report.files) {
    if (file.save.result == EntrySaveResult::kMismatch ||
        file.save.result == EntrySaveResult::kDamaged) {
      return Status::Error(ERROR_CRC);
    }
  }
  return Status::Ok();
}

Status GenerateShowData(ShowPackage& package, const std::string& output_path) {
  ExtractReport report;
  if (!ExtractShow(package, output_path, &report)) return Status::Error(ERROR_SUCCESS);
  return ExtractionStatus(report);
}

}  // namespace tavirelle
