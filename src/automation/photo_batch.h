// IPhotoBatch: photo import on several cores, for hosts that have many
// photos to add at once (the tavirelle command). It is not part of the
// published interfaces: a host reaches it by QueryInterface on an IQXHelper
// object. Only plain C types cross it, so that a host with its own C++
// runtime can call it.
#ifndef TAVIRELLE_AUTOMATION_PHOTO_BATCH_H_
#define TAVIRELLE_AUTOMATION_PHOTO_BATCH_H_

#include "tavirelle/com.h"
#include "tavirelle/interfaces.h"

namespace tavirelle {

// Called by AddPhotos on the caller's thread after each photo, in order,
// with the number of photos dealt with so far (added, or skipped because
// their source did not exist). Any return but S_OK stops the run.
typedef HRESULT (*PhotoBatchProgress)(void* context, LONG done);

// Contracts are those of interfaces.h; besides:
// - The call is one call on the caller's thread, like any other: the object
//   stays single-threaded. The photo descriptions and the progress callback
//   are used on the caller's thread only; worker threads do the file work
//   (copy, metadata, thumbnail, size) and touch no automation object.
class IPhotoBatch : public IUnknown {
 public:
  static constexpr IID kIid = {
      0x77623A06, 0x79B1, 0x4D10, {0xAD, 0x1B, 0x23, 0x0B, 0x41, 0x49, 0xAF, 0x1B}};
  // Does what AddPhoto on photos[0], photos[1], ... photos[count-1] in turn
  // does, stopping at the first that does not return S_OK, and returns that
  // HRESULT (S_OK when all were dealt with). The files of up to `jobs`
  // photos (1 to 256) are made at once; the show, the descriptions and the
  // output folder end as the calls one by one would leave them, apart from
  // the new GUID names. Every Path is read before any file is made.
  // `progress` (may be null) is called after each photo that did not fail;
  // when it returns anything but S_OK no further photo is added and the
  // call returns E_ABORT. Files made ahead for photos that are not added are
  // removed before the call returns. *added receives the number of photos
  // appended to the show, also on failure.
  // E_POINTER for a null `added`, or null `photos` with a count above 0;
  // E_INVALIDARG for a negative count or `jobs` outside 1..256.
  virtual HRESULT AddPhotos(IPhotoDesc** photos, LONG count, LONG jobs,
                            PhotoBatchProgress progress, void* context, LONG* added) = 0;

 protected:
  ~IPhotoBatch() = default;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_AUTOMATION_PHOTO_BATCH_H_
