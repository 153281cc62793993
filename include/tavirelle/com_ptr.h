// ComPtr: holds one reference to an interface and releases it when it goes.
// Header-only; for hosts and for the module's own code alike.
#ifndef TAVIRELLE_COM_PTR_H_
#define TAVIRELLE_COM_PTR_H_

#include <utility>

#include "tavirelle/com.h"

namespace tavirelle {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already holds (a newly created object,
  // an out argument).
  static ComPtr Adopt(T* pointer) {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* pointer) {
    if (pointer != nullptr) pointer->AddRef();
    return Adopt(pointer);
  }
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
    if (pointer_ != nullptr) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // Releases the held reference and returns the slot for an out argument.
  T** Receive() {
    Reset();
    return &pointer_;
  }
  // The slot as void**, for QueryInterface and class-object calls.
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  // Gives up the reference to the caller.
  T* Detach() { return std::exchange(pointer_, nullptr); }
  void Reset() {
    if (T* held = std::exchange(pointer_, nullptr)) held->Release();
  }

  // This object's `U` interface, or null with the failure in *hr.
  template <class U>
  ComPtr<U> As(REFIID iid, HRESULT* hr = nullptr) const {
    ComPtr<U> result;
    HRESULT status = pointer_ == nullptr
                         ? E_POINTER
                         : pointer_->QueryInterface(iid, result.ReceiveVoid());
    if (hr != nullptr) *hr = status;
    return result;
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_PTR_H_
