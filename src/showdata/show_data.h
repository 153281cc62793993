// Works out which package entries a show description refers to (its icon,
// every image's online file, audio caption and MP3 music) and copies them,
// with the description itself, out of an open package into a folder a player
// can use.
#ifndef TAVIRELLE_SHOWDATA_SHOW_DATA_H_
#define TAVIRELLE_SHOWDATA_SHOW_DATA_H_

#include <string>
#include <unordered_set>
#include <vector>

#include "xml/xml_document.h"

class ShowPackage;

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

  // The referenced entry names in show order (icon, online files, audio
  // captions, MP3 music), without duplicates, with '/' separators.
  std::vector<std::string> CollectReferencedFiles();

 private:
  bool AddReferencedFile(std::string path, _tagXMLNode* start_element,
                         const char* extension);
  int AddReferencedFilesForEach(std::string list_path, std::string item_path,
                                const char* extension);
  _tagXMLNode* FindByPath(std::string path, _tagXMLNode* start_element,
                          std::string* attribute_value);
  void AddUnique(const std::string& name);

  _tagXMLDocument document_;
  std::vector<std::string> referenced_files_;
  // The names of referenced_files_, so that a description naming very many
  // files is not checked name against name.
  std::unordered_set<std::string> seen_;
};

// Copies the show of the open package into `output_path` (which ends with a
// separator): every referenced entry that stays inside the folder, then the
// current description as "meta.xml". Individual failures are ignored, as a
// player copes with a missing file. False only when no package is open.
bool GenerateShowData(ShowPackage& package, const std::string& output_path);

#endif  // TAVIRELLE_SHOWDATA_SHOW_DATA_H_
