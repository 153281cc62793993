// The base of the system's automation objects: reference counting, the
// module's lock count, QueryInterface for one dual interface, and IDispatch
// served by whichever dispatch provider the module installed.
//
// Late binding (type information, GetIDsOfNames, Invoke) lives in the
// automation shell, which installs itself as the DispatchProvider when the
// module starts; the objects below it only forward to it, so they do not
// depend on the shell.
#ifndef TAVIRELLE_COM_COM_OBJECT_H_
#define TAVIRELLE_COM_COM_OBJECT_H_

#include "com/com.h"

namespace tavirelle {

// Live objects plus server locks of the module; DllCanUnloadNow reads it.
// Changed with interlocked operations.
LONG ModuleLockCount();
void ModuleLock();
void ModuleUnlock();

// Serves IDispatch for an interface described by the module's type
// information. `self` is the object's interface pointer for `iid`.
class DispatchProvider {
 public:
  virtual ~DispatchProvider() = default;
  virtual HRESULT GetTypeInfo(REFIID iid, UINT index, LCID lcid,
                              ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count,
                                LCID lcid, DISPID* ids) = 0;
  virtual HRESULT Invoke(REFIID iid, IDispatch* self, DISPID id, LCID lcid,
                         WORD flags, DISPPARAMS* params, VARIANT* result,
                         EXCEPINFO* exception, UINT* arg_error) = 0;
};

void SetDispatchProvider(DispatchProvider* provider);
DispatchProvider* GetDispatchProvider();

// Implements IUnknown and IDispatch for one dual interface `Interface`,
// which names its interface ID as `Interface::kIid`. Objects start with one
// reference, owned by whoever created them.
//
// Every object can be aggregated: after SetOuterUnknown the object's
// interfaces delegate IUnknown to the controlling outer object, and the outer
// object holds the object through InnerUnknown(), whose QueryInterface,
// AddRef and Release are the object's own.
template <class Interface>
class DispatchObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (outer_ != nullptr) return outer_->QueryInterface(riid, object);
    return OwnQueryInterface(riid, object);
  }
  ULONG AddRef() override {
    return outer_ != nullptr ? outer_->AddRef() : ++references_;
  }
  ULONG Release() override {
    return outer_ != nullptr ? outer_->Release() : OwnRelease();
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = GetDispatchProvider() != nullptr ? 1 : 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    DispatchProvider* provider = GetDispatchProvider();
    if (provider == nullptr) return E_NOTIMPL;
    return provider->GetTypeInfo(Interface::kIid, index, lcid, info);
  }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                        DISPID* ids) override {
    if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    DispatchProvider* provider = GetDispatchProvider();
    if (provider == nullptr) return E_NOTIMPL;
    return provider->GetIDsOfNames(Interface::kIid, names, count, lcid, ids);
  }
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT* arg_error) override {
    if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    DispatchProvider* provider = GetDispatchProvider();
    if (provider == nullptr) return E_NOTIMPL;
    return provider->Invoke(Interface::kIid, static_cast<Interface*>(this), id,
                            lcid, flags, params, result, exception, arg_error);
  }

  // Makes the object part of `outer`; call right after construction, before
  // any interface of the object is handed out. `outer` is not referenced:
  // it owns the object, not the other way round.
  void SetOuterUnknown(IUnknown* outer) { outer_ = outer; }
  // The non-delegating IUnknown that an outer object keeps.
  IUnknown* InnerUnknown() { return &inner_; }

 protected:
  DispatchObject() { ModuleLock(); }
  virtual ~DispatchObject() { ModuleUnlock(); }

  // Further interfaces of the object; on success stores the pointer (the
  // caller adds the reference) and returns true.
  virtual bool QueryOtherInterface(REFIID riid, void** object) {
    (void)riid;
    (void)object;
    return false;
  }

 private:
  class Inner final : public IUnknown {
   public:
    explicit Inner(DispatchObject* owner) : owner_(owner) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
      if (object != nullptr && riid == IID_IUnknown) {
        *object = this;
        AddRef();
        return S_OK;
      }
      return owner_->OwnQueryInterface(riid, object);
    }
    ULONG AddRef() override { return ++owner_->references_; }
    ULONG Release() override { return owner_->OwnRelease(); }

   private:
    DispatchObject* owner_;
  };

  HRESULT OwnQueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == Interface::kIid) {
      *object = static_cast<Interface*>(this);
    } else if (!QueryOtherInterface(riid, object)) {
      return E_NOINTERFACE;
    }
    // Through the interface handed out: an aggregated object's interfaces
    // keep the outer object alive.
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
  }
  ULONG OwnRelease() {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  ULONG references_ = 1;
  IUnknown* outer_ = nullptr;
  Inner inner_{this};
};

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_COM_OBJECT_H_
