#include "imaging/jpeg_io.h"

#include <jerror.h>

namespace tavirelle {

namespace {

constexpr DWORD kBlockSize = 64 * 1024;

void ExitToTrap(j_common_ptr cinfo) {
  // The trap's manager is its first member, so this is the trap itself.
  JpegErrorTrap* trap = reinterpret_cast<JpegErrorTrap*>(cinfo->err);
  std::longjmp(trap->jump, 1);
}

void Silent(j_common_ptr) {}

struct FileSource {
  jpeg_source_mgr pub;
  File* file;
  DWORD* error;
  JOCTET* buffer;
  bool at_start;
};

// The file calls, each ending its Status here and leaving the platform's
// reason of a failure in *error (when given): the error exit jumps over the
// frames that call these, which must hold nothing with a destructor.
bool Succeeded(const Status& status, DWORD* error) {
  if (!status.ok() && error != nullptr) *error = status.code();
  return status.ok();
}

bool ReadBlock(File* file, JOCTET* buffer, DWORD* got, DWORD* error) {
  return Succeeded(file->Read(buffer, kBlockSize, got), error);
}

bool SkipBytes(File* file, size_t n, DWORD* error) {
  return Succeeded(file->Seek(static_cast<int64_t>(n), SeekOrigin::kCurrent, nullptr), error);
}

bool WriteBlock(File* file, const JOCTET* data, DWORD n, DWORD* error) {
  DWORD done = 0;
  Status written = file->Write(data, n, &done);
  if (written.ok() && done != n) written = Status::Error(ERROR_WRITE_FAULT);
  return Succeeded(written, error);
}

void InitSource(j_decompress_ptr cinfo) {
  reinterpret_cast<FileSource*>(cinfo->src)->at_start = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  FileSource* src = reinterpret_cast<FileSource*>(cinfo->src);
  DWORD got = 0;
  if (!ReadBlock(src->file, src->buffer, &got, src->error)) ERREXIT(cinfo, JERR_FILE_READ);
  if (got == 0) {
    if (src->at_start) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // A truncated file ends the image; libjpeg fills the rest.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = got;
  src->at_start = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  FileSource* src = reinterpret_cast<FileSource*>(cinfo->src);
  size_t n = static_cast<size_t>(count);
  if (n <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
    return;
  }
  // Large segments (colour profiles, maker notes) are skipped by seeking,
  // not by reading them through the buffer.
  n -= src->pub.bytes_in_buffer;
  src->pub.bytes_in_buffer = 0;
  if (!SkipBytes(src->file, n, src->error)) ERREXIT(cinfo, JERR_FILE_READ);
}

void TermSource(j_decompress_ptr) {}

struct FileDestination {
  jpeg_destination_mgr pub;
  File* file;
  DWORD* error;
  JOCTET* buffer;
};

void WriteOrFail(j_compress_ptr cinfo, const JOCTET* data, DWORD n) {
  FileDestination* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
  if (n != 0 && !WriteBlock(dest->file, data, n, dest->error)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InitDestination(j_compress_ptr cinfo) {
  FileDestination* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBlockSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  FileDestination* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
  // libjpeg calls this only with the whole buffer full.
  WriteOrFail(cinfo, dest->buffer, kBlockSize);
  dest->pub.next_output_byte = dest->buffer;
  dest->pub.free_in_buffer = kBlockSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  FileDestination* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
  WriteOrFail(cinfo, dest->buffer,
              static_cast<DWORD>(kBlockSize - dest->pub.free_in_buffer));
}

}  // namespace

jpeg_error_mgr* InitJpegErrorTrap(JpegErrorTrap* trap) {
  jpeg_std_error(&trap->manager);
  trap->manager.error_exit = ExitToTrap;
  trap->manager.output_message = Silent;
  return &trap->manager;
}

void JpegFileSource(j_decompress_ptr cinfo, File* file, DWORD* error) {
  if (cinfo->src == nullptr) {
    cinfo->src = static_cast<jpeg_source_mgr*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT,
        sizeof(FileSource)));
    reinterpret_cast<FileSource*>(cinfo->src)->buffer =
        static_cast<JOCTET*>((*cinfo->mem->alloc_large)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT,
            kBlockSize));
  }
  FileSource* src = reinterpret_cast<FileSource*>(cinfo->src);
  src->file = file;
  src->error = error;
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillInputBuffer;
  src->pub.skip_input_data = SkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  src->pub.bytes_in_buffer = 0;
  src->pub.next_input_byte = nullptr;
}

void JpegFileDestination(j_compress_ptr cinfo, File* file, DWORD* error) {
  if (cinfo->dest == nullptr) {
    cinfo->dest = static_cast<jpeg_destination_mgr*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT,
        sizeof(FileDestination)));
    reinterpret_cast<FileDestination*>(cinfo->dest)->buffer =
        static_cast<JOCTET*>((*cinfo->mem->alloc_large)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT,
            kBlockSize));
  }
  FileDestination* dest = reinterpret_cast<FileDestination*>(cinfo->dest);
  dest->file = file;
  dest->error = error;
  dest->pub.init_destination = InitDestination;
  dest->pub.empty_output_buffer = EmptyOutputBuffer;
  dest->pub.term_destination = TermDestination;
}

}  // namespace tavirelle
