// Works out which package entries a show description refers to (its icon,
// every image's online file, audio caption and MP3 music) and copies them,
// with the description itself, out of an open package into a folder a player
// can use.
#ifndef TAVIRELLE_SHOWDATA_SHOW_DATA_H_
#define TAVIRELLE_SHOWDATA_SHOW_DATA_H_

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "metaxml/stored_show.h"
#include "package/show_package.h"
#include "platform/status.h"

namespace tavirelle {

// Removes leading '\' and '/' characters, but never the last one left.
std::string& StripLeadingSeparators(std::string& text);
// Replaces every `from` by `to`; returns how many were replaced.
size_t ReplaceChar(std::string& text, char from, char to);
// Splits at every character of `separators`. Empty pieces between adjacent
// separators stay; a trailing empty piece is dropped.
std::vector<std::string> SplitText(const std::string& text,
                                   const std::string& separators);

// True when `name` joined to a folder stays inside it: not absolute, no
// drive prefix, no ".." component (either separator counts). Names come from
// package contents, so a hostile package must not reach outside the folder.
bool IsNameInsideFolder(const std::string& name);

class ShowData {
 public:
  explicit ShowData(const std::string& meta_text);
  ShowData(const ShowData&) = delete;
  ShowData& operator=(const ShowData&) = delete;

  // Whether the text loads as a show description: it parses, with a "qx"
  // element at the top.
  bool Loaded() const { return loaded_; }

  // The referenced entry names in show order (icon, online files, audio
  // captions, MP3 music), without duplicates, with '/' separators.
  std::vector<std::string> CollectReferencedFiles();
  // Whether a collected name is an image's online file (a photo or video
  // the show cannot play without), as opposed to an icon, audio caption or
  // music that may be a shared asset.
  bool IsOnlineFile(const std::string& name) const {
    return online_files_.count(name) != 0;
  }

 private:
  void AddReferencedFile(std::string value, const char* extension, bool online_file);

  StoredShow show_;
  bool loaded_ = false;
  std::vector<std::string> referenced_files_;
  // The names of referenced_files_, so that a description naming very many
  // files is not checked name against name.
  std::unordered_set<std::string> seen_;
  std::unordered_set<std::string> online_files_;
};

// What became of each file an extraction copies out.
struct ExtractedFile {
  std::string name;          // as collected: '/' separators
  bool online_file = false;  // an image's online file (ShowData::IsOnlineFile)
  bool outside = false;      // the name leaves the folder: never written
  EntrySave save;            // when not outside
};

struct ExtractReport {
  std::vector<ExtractedFile> files;  // in the order of CollectReferencedFiles
  // The description differs from its directory digest, or is listed but
  // cannot be read whole: it cannot be trusted to name the show's files,
  // so nothing was written (meta_error is then ERROR_CRC).
  bool meta_damaged = false;
  bool meta_saved = false;
  DWORD meta_error = ERROR_SUCCESS;  // the platform error when meta.xml was not saved
  // The description was recovered from an older version, but writing it
  // back into the package failed (which closes the package).
  bool repair_failed = false;
  // The description the files were read from: the entry it came from and
  // whether that entry's bytes are the ones its digest states.
  MetaText description;
  bool description_loads = false;  // ShowData::Loaded of its text
  // ExtractOptions::stop ended the run: the files not settled then were not
  // written, nor was meta.xml.
  bool stopped = false;
};

// Called after each file with the count done and the count to do; the
// report's files before `done` are settled then.
using ExtractProgress = std::function<void(size_t done, size_t total)>;

struct ExtractOptions {
  unsigned jobs = 0;  // threads that copy; 0: one per core
  // Asked, from any thread, before each file is started; once it answers
  // true the files being written are finished and nothing more is written.
  std::function<bool()> stop;
  // Writes nothing at all when the description does not match its digest or
  // does not load: the files it names cannot be trusted, nor can it.
  bool whole_description_only = false;
};

// Copies the show of the open package into `output_path` (which ends with a
// separator): every referenced entry that stays inside the folder, each
// checked against its MD5 as it is copied, then the current description as
// "meta.xml". A description that fails its own digest is not used: nothing
// is written. Every outcome goes into *report; a file that fails leaves
// nothing of itself. False only when no package is open (nothing written).
// The files go through the package's own file system.
bool ExtractShow(ShowPackage& package, const std::string& output_path, ExtractReport* report,
                 const ExtractProgress& progress = {}, const ExtractOptions& options = {});

// What a host is told of an extraction: Ok when the description and every
// entry the package holds for the show were written whole. Otherwise the
// error of the first write that failed (in the show's order, meta.xml
// last), else ERROR_CRC for a damaged description or entry. An entry the
// package lacks is no failure (a host supplies shared assets itself), nor
// is a name that would leave the folder, which is never written.
Status ExtractionStatus(const ExtractReport& report);

// The extraction a host asks for (GenerateTavirelleData): ExtractShow, told
// as ExtractionStatus; a failure without a code when no package is open.
Status GenerateShowData(ShowPackage& package, const std::string& output_path);

}  // namespace tavirelle

#endif  // TAVIRELLE_SHOWDATA_SHOW_DATA_H_
