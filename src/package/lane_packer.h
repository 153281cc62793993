// Stored-file records written with the digests of several show files taken
// at once.
//
// Packing digests every byte of a show, and one MD5 at a time costs more
// than reading and writing the bytes. Here a reading thread keeps up to
// eight show files open, reads a block of each, digests the blocks side by
// side in vector lanes (util/md5_lanes.h) and hands them to the writing
// thread, which puts each block where one record after another would have
// put it: every record's offset follows from the sizes of those before it,
// known once their files are open. Each block is read once, so a digest
// always names the bytes written, and the records are byte for byte those
// WriteFileRecord writes for one show file after another.
#ifndef TAVIRELLE_PACKAGE_LANE_PACKER_H_
#define TAVIRELLE_PACKAGE_LANE_PACKER_H_

#include <mutex>
#include <string>
#include <vector>

#include "package/record_format.h"
#include "package/show_package.h"
#include "package/streams.h"
#include "platform/status.h"
#include "tavirelle/types.h"

namespace tavirelle {

// Writes one stored-file record per source from the stream's position, as
// WriteFileRecord would one after another, and their directory entries into
// *directory in the same order; the stream is left at the end of the last
// record. Fails with the reason of a write to the stream that failed, or else
// of the first source in order that could not be opened or read whole, or
// whose record would make the package too large (ERROR_FILE_TOO_LARGE).
// `turns`, when not null, is held around every call into the file system,
// for file systems that serve one thread at a time.
Status WriteFileRecordsInLanes(file_io& stream, const std::vector<PackageSource>& sources,
                               std::vector<PackageEntry>* directory,
                               std::mutex* turns = nullptr);

// The same records, one WriteFileRecord after another on this thread (the
// form that counts a package's size without writing it takes).
Status WriteFileRecordsInTurn(file_io& stream, const std::vector<PackageSource>& sources,
                              std::vector<PackageEntry>* directory);

}  // namespace tavirelle

#endif  // TAVIRELLE_PACKAGE_LANE_PACKER_H_
