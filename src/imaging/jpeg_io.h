// libjpeg glue shared by the decoder and the thumbnail writer: a source and
// a destination manager over a platform File (so every byte goes through the
// swappable file system, in 64 KiB blocks), and an error manager whose fatal
// errors jump back to the operation that started the (de)compression.
//
// How to use the error trap: keep every object with a destructor outside the
// function that calls setjmp and the functions it calls while libjpeg may
// fail (errors longjmp over their frames), and let every way out pass the
// one destroy call, so that no path forgets it:
//
//   JpegErrorTrap trap;
//   volatile bool done = false;  // volatile: read after the jump
//   cinfo.err = InitJpegErrorTrap(&trap);
//   if (setjmp(trap.jump) == 0) {
//     jpeg_create_decompress(&cinfo);
//     ...
//     done = true;
//   }
//   jpeg_destroy_decompress(&cinfo);
//   return done;
#ifndef TAVIRELLE_IMAGING_JPEG_IO_H_
#define TAVIRELLE_IMAGING_JPEG_IO_H_

// jpeglib.h needs size_t and FILE declared before it, and must come after
// the platform headers: it defines TRUE and FALSE as macros.
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include "platform/file_system.h"

#include <jpeglib.h>

namespace tavirelle {

struct JpegErrorTrap {
  jpeg_error_mgr manager;  // first, so the library's pointer is the trap's
  std::jmp_buf jump;
};

// Sets up the standard error manager with a fatal-error exit that longjmps
// to trap->jump, and no messages printed (the system logs nothing).
jpeg_error_mgr* InitJpegErrorTrap(JpegErrorTrap* trap);

// Reads the compressed data from `file`, starting at its current position.
// The buffer comes from the decompressor's permanent pool; the caller keeps
// `file` open until jpeg_destroy_decompress. A read failure is a fatal
// libjpeg error (JERR_FILE_READ) whose platform code goes to *error (when
// given: a plain code, since the error exit jumps over destructors); the end
// of the file ends the image as libjpeg's own stdio source does (with a
// warning and an inserted end-of-image marker).
void JpegFileSource(j_decompress_ptr cinfo, File* file, DWORD* error);

// Writes the compressed data to `file`. A failed write is a fatal libjpeg
// error (JERR_FILE_WRITE) whose platform code goes to *error (when given).
// The caller keeps `file` open until jpeg_destroy_compress.
void JpegFileDestination(j_compress_ptr cinfo, File* file, DWORD* error);

}  // namespace tavirelle

#endif  // TAVIRELLE_IMAGING_JPEG_IO_H_
