// Checks that the package commands make around the work the module does for
// them. The interface says little of what became of each file it was to
// write (an extraction succeeds however many files failed, as a player copes
// with a missing one), so the outcome is checked with the package library
// against a read-only opening of the same package. Nothing here does the
// work itself: what a check writes, it removes again.
#ifndef TAVIRELLE_CLI_PACKAGE_CHECKS_H_
#define TAVIRELLE_CLI_PACKAGE_CHECKS_H_

#include <string>
#include <unordered_map>
#include <vector>

#include "package/show_package.h"

namespace tavirelle {

// Why an entry was not saved as a file, in words; empty when it was.
std::string DescribeEntrySave(const EntrySave& save);

// What became of the entry `name` of `package` that the module was to save
// as the file `path`: saved when the file holds the entry's bytes, else why
// not (missing from the package, damaged in it, or not written, with the
// platform error that writing there meets).
EntrySave CheckSavedEntry(ShowPackage& package, const std::string& name,
                          const std::string& path);
// The common case of CheckSavedEntry, settled by one read of the file: it
// has the directory's size and MD5 for the entry. Of the package it reads
// only the directory in memory, so files may be checked on several threads
// at once.
bool SavedEntryMatches(const ShowPackage& package, const std::string& name,
                       const std::string& path);
// SavedEntryMatches for up to Md5Lanes::kLanes files, digested side by side:
// matches[i] for the entry names[i] saved as paths[i].
void SavedEntriesMatch(const ShowPackage& package, const std::vector<std::string>& names,
                       const std::vector<std::string>& paths, bool* matches);
// CheckSavedEntry for a file SavedEntryMatches found wanting: finds out why.
EntrySave DiagnoseSavedEntry(ShowPackage& package, const std::string& name,
                             const std::string& path);

// Whether `meta_text`, a usable description handed over for `package`, was
// read from an older version because its meta.xml is broken, and could not
// be written back over it (a read-only package).
bool DescriptionNotRepaired(ShowPackage& package, const std::string& meta_text);
// Warns that the package `typed` (a command argument) is in that state.
void WarnDescriptionNotRepaired(const std::string& typed);

// Whether `name` joined to a folder stays inside it.
bool StaysInsideFolder(const std::string& name);

// The entries of `package` whose names would leave a folder they were
// written into ("/tmp/x.jpg", "\\x.jpg"), keyed by the name a show
// description that refers to them comes to (leading separators gone, '/'
// separators): such a reference finds no entry, and is to be reported under
// the entry's own name, for the name it has.
std::unordered_map<std::string, std::string> EntriesLeavingTheFolder(const ShowPackage& package);

}  // namespace tavirelle

#endif  // TAVIRELLE_CLI_PACKAGE_CHECKS_H_
