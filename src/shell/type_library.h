// The type library compiled into the module: the library's entries in order,
// and for each dual interface a table of its members (DISPID, kind, name,
// help string, argument types and directions) together with the call that
// reaches the member through the interface's virtual table.
//
// Argument types are not written in the tables: they are taken from the C++
// signature of the member each row binds, so the description and the call
// cannot disagree.
#ifndef TAVIRELLE_SHELL_TYPE_LIBRARY_H_
#define TAVIRELLE_SHELL_TYPE_LIBRARY_H_

#include <array>
#include <cstddef>
#include <span>
#include <utility>

#include "com/com.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"

namespace tavirelle {

inline constexpr WORD kTypeLibraryMajorVersion = 1;
inline constexpr WORD kTypeLibraryMinorVersion = 0;
inline constexpr const char* kTypeLibraryName = "TavirelleHelperLib";
inline constexpr const char* kTypeLibraryHelp = "TavirelleHelper 1.0 Type Library";

enum class EntryKind { kDispinterface, kCoclass, kDualInterface, kEnum };

struct EnumValue {
  const char* name;
  LONG value;
};

struct LibraryEntry {
  EntryKind kind;
  const char* name;
  const char* help;  // null: none
  const GUID* guid;  // null for the enumeration
  // Coclasses: the default interface and the default source (or null).
  const IID* default_interface;
  const IID* default_source;
};

std::span<const LibraryEntry> LibraryEntries();
std::span<const EnumValue> PhotoOrientationValues();

enum class MemberKind { kGet, kPut, kMethod };

// The types an argument of the four interfaces can have.
enum class ArgKind { kBstr, kLong, kFloat, kOrientation, kClip, kPhotoDesc };

struct ArgType {
  ArgKind kind;
  bool out;
};

// Storage for one argument while a member is called.
struct ArgSlot {
  BSTR bstr = nullptr;
  LONG value = 0;
  FLOAT real = 0;
  PhotoOrientation orientation = Degree0;
  ComPtr<IClip> clip;
  ComPtr<IPhotoDesc> photo;
};

using MemberCall = HRESULT (*)(IDispatch* self, ArgSlot* slots);

inline constexpr size_t kMaxArgs = 3;

struct MemberDesc {
  DISPID dispid;
  MemberKind kind;
  const char* name;
  const char* help;
  size_t arg_count;
  std::array<ArgType, kMaxArgs> args;
  std::array<const char*, kMaxArgs> arg_names;  // null for property values
  bool retval;  // the last argument is the result
  MemberCall call;

  // Arguments the caller passes (all but the result).
  size_t VisibleArgs() const { return retval ? arg_count - 1 : arg_count; }
};

struct InterfaceDesc {
  const char* name;
  const IID* iid;
  const char* help;
  std::span<const MemberDesc> members;  // in virtual-table order
};

std::span<const InterfaceDesc> Interfaces();
const InterfaceDesc* FindInterface(REFIID iid);

namespace type_library_internal {

template <class T>
struct ArgTraits;
template <>
struct ArgTraits<BSTR> {
  static constexpr ArgType kType{ArgKind::kBstr, false};
  static BSTR Get(ArgSlot& s) { return s.bstr; }
};
template <>
struct ArgTraits<BSTR*> {
  static constexpr ArgType kType{ArgKind::kBstr, true};
  static BSTR* Get(ArgSlot& s) { return &s.bstr; }
};
template <>
struct ArgTraits<LONG> {
  static constexpr ArgType kType{ArgKind::kLong, false};
  static LONG Get(ArgSlot& s) { return s.value; }
};
template <>
struct ArgTraits<LONG*> {
  static constexpr ArgType kType{ArgKind::kLong, true};
  static LONG* Get(ArgSlot& s) { return &s.value; }
};
template <>
struct ArgTraits<FLOAT> {
  static constexpr ArgType kType{ArgKind::kFloat, false};
  static FLOAT Get(ArgSlot& s) { return s.real; }
};
template <>
struct ArgTraits<FLOAT*> {
  static constexpr ArgType kType{ArgKind::kFloat, true};
  static FLOAT* Get(ArgSlot& s) { return &s.real; }
};
template <>
struct ArgTraits<PhotoOrientation> {
  static constexpr ArgType kType{ArgKind::kOrientation, false};
  static PhotoOrientation Get(ArgSlot& s) { return s.orientation; }
};
template <>
struct ArgTraits<PhotoOrientation*> {
  static constexpr ArgType kType{ArgKind::kOrientation, true};
  static PhotoOrientation* Get(ArgSlot& s) { return &s.orientation; }
};
template <>
struct ArgTraits<IClip*> {
  static constexpr ArgType kType{ArgKind::kClip, false};
  static IClip* Get(ArgSlot& s) { return s.clip.get(); }
};
template <>
struct ArgTraits<IClip**> {
  static constexpr ArgType kType{ArgKind::kClip, true};
  static IClip** Get(ArgSlot& s) { return s.clip.Receive(); }
};
template <>
struct ArgTraits<IPhotoDesc*> {
  static constexpr ArgType kType{ArgKind::kPhotoDesc, false};
  static IPhotoDesc* Get(ArgSlot& s) { return s.photo.get(); }
};
template <>
struct ArgTraits<IPhotoDesc**> {
  static constexpr ArgType kType{ArgKind::kPhotoDesc, true};
  static IPhotoDesc** Get(ArgSlot& s) { return s.photo.Receive(); }
};

template <auto F>
struct Binder;
template <class I, class... A, HRESULT (I::*F)(A...)>
struct Binder<F> {
  static_assert(sizeof...(A) <= kMaxArgs);
  static constexpr size_t kCount = sizeof...(A);
  static constexpr std::array<ArgType, kMaxArgs> Types() {
    std::array<ArgType, kMaxArgs> types{};
    size_t i = 0;
    ((types[i++] = ArgTraits<A>::kType), ...);
    return types;
  }
  template <size_t... N>
  static HRESULT CallWith(I* object, ArgSlot* slots, std::index_sequence<N...>) {
    (void)slots;
    return (object->*F)(ArgTraits<A>::Get(slots[N])...);
  }
  static HRESULT Call(IDispatch* self, ArgSlot* slots) {
    return CallWith(static_cast<I*>(self), slots, std::index_sequence_for<A...>{});
  }
};

}  // namespace type_library_internal

// One table row: binds `F` and takes its argument types from its signature.
// Property gets return their value as the result.
template <auto F>
constexpr MemberDesc Member(DISPID dispid, MemberKind kind, const char* name,
                            const char* help,
                            std::array<const char*, kMaxArgs> arg_names = {},
                            bool retval = false) {
  using B = type_library_internal::Binder<F>;
  return MemberDesc{dispid, kind, name, help, B::kCount, B::Types(), arg_names,
                    retval || kind == MemberKind::kGet, &B::Call};
}

}  // namespace tavirelle

#endif  // TAVIRELLE_SHELL_TYPE_LIBRARY_H_
