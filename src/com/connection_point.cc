#include "com/connection_point.h"

#include <new>
#include <utility>

namespace tavirelle {

namespace {

// An enumerator over a snapshot of items taken when it was made. It keeps
// the object it enumerates alive.
template <class IEnum, class Item, const IID& kIid, class Traits>
class SnapshotEnumerator final : public IEnum {
 public:
  SnapshotEnumerator(IUnknown* keep_alive, std::vector<Item> items)
      : keep_alive_(keep_alive), items_(std::move(items)) {
    keep_alive_->AddRef();
    for (Item& item : items_) Traits::AddRef(item);
  }
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == kIid) {
      *object = static_cast<IEnum*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT Next(ULONG count, Item* out, ULONG* fetched) override {
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    while (n < count && position_ < items_.size()) {
      out[n] = items_[position_++];
      Traits::AddRef(out[n]);
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    size_t left = items_.size() - position_;
    if (count > left) {
      position_ = items_.size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnum** copy) override {
    if (copy == nullptr) return E_POINTER;
    auto* twin = new (std::nothrow) SnapshotEnumerator(keep_alive_, items_);
    *copy = twin;
    if (twin == nullptr) return E_OUTOFMEMORY;
    twin->position_ = position_;
    return S_OK;
  }

 private:
  ~SnapshotEnumerator() {
    for (Item& item : items_) Traits::Release(item);
    keep_alive_->Release();
  }

  IUnknown* keep_alive_;
  std::vector<Item> items_;
  size_t position_ = 0;
  ULONG references_ = 1;
};

struct ConnectionTraits {
  static void AddRef(CONNECTDATA& d) { d.pUnk->AddRef(); }
  static void Release(CONNECTDATA& d) { d.pUnk->Release(); }
};
struct PointTraits {
  static void AddRef(IConnectionPoint* p) { p->AddRef(); }
  static void Release(IConnectionPoint* p) { p->Release(); }
};

using ConnectionEnumerator =
    SnapshotEnumerator<IEnumConnections, CONNECTDATA, IID_IEnumConnections, ConnectionTraits>;
using PointEnumerator = SnapshotEnumerator<IEnumConnectionPoints, IConnectionPoint*,
                                           IID_IEnumConnectionPoints, PointTraits>;

}  // namespace

ConnectionPointSource::ConnectionPointSource(IUnknown* owner, const IID& event_iid,
                                             size_t max_slots)
    : owner_(owner), event_iid_(event_iid), max_slots_(max_slots) {}

bool ConnectionPointSource::QueryInterface(REFIID riid, void** object) {
  if (riid == IID_IConnectionPointContainer) {
    *object = static_cast<IConnectionPointContainer*>(&container_);
    return true;
  }
  return false;
}

std::vector<IUnknown*> ConnectionPointSource::Sinks() const {
  std::vector<IUnknown*> sinks;
  for (const ComPtr<IUnknown>& sink : slots_) {
    if (sink) sinks.push_back(sink.get());
  }
  return sinks;
}

// The container is one of the owner's interfaces: QueryInterface and the
// reference count are the owner's.
HRESULT ConnectionPointSource::Container::QueryInterface(REFIID riid, void** object) {
  return source_->owner_->QueryInterface(riid, object);
}
ULONG ConnectionPointSource::Container::AddRef() { return source_->owner_->AddRef(); }
ULONG ConnectionPointSource::Container::Release() { return source_->owner_->Release(); }

HRESULT ConnectionPointSource::Container::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
  try {
    *points = new PointEnumerator(source_->owner_, {&source_->point_});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT ConnectionPointSource::Container::FindConnectionPoint(REFIID iid,
                                                              IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (!(iid == source_->event_iid_)) return CONNECT_E_NOCONNECTION;
  *point = &source_->point_;
  (*point)->AddRef();
  return S_OK;
}

// The point has an identity of its own but lives and dies with the owner.
HRESULT ConnectionPointSource::Point::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}
ULONG ConnectionPointSource::Point::AddRef() { return source_->owner_->AddRef(); }
ULONG ConnectionPointSource::Point::Release() { return source_->owner_->Release(); }

HRESULT ConnectionPointSource::Point::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = source_->event_iid_;
  return S_OK;
}

HRESULT ConnectionPointSource::Point::GetConnectionPointContainer(
    IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = &source_->container_;
  (*container)->AddRef();
  return S_OK;
}

HRESULT ConnectionPointSource::Point::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  ComPtr<IUnknown> events;
  if (FAILED(sink->QueryInterface(source_->event_iid_, events.ReceiveVoid())) || !events) {
    return CONNECT_E_CANNOTCONNECT;
  }
  auto& slots = source_->slots_;
  size_t free_slot = slots.size();
  for (size_t i = 0; i < slots.size(); ++i) {
    if (!slots[i]) {
      free_slot = i;
      break;
    }
  }
  if (free_slot == slots.size()) {
    size_t grown = slots.empty() ? 4 : slots.size() * 2;
    bool grew = grown <= source_->max_slots_ && grown <= 0xFFFFFFFFu;
    if (grew) {
      try {
        slots.resize(grown);
      } catch (const std::bad_alloc&) {
        grew = false;
      }
    }
    if (!grew) return CONNECT_E_ADVISELIMIT;
  }
  slots[free_slot] = std::move(events);
  *cookie = static_cast<DWORD>(free_slot + 1);
  return S_OK;
}

HRESULT ConnectionPointSource::Point::Unadvise(DWORD cookie) {
  auto& slots = source_->slots_;
  if (cookie == 0 || cookie > slots.size() || !slots[cookie - 1]) {
    return CONNECT_E_NOCONNECTION;
  }
  // Moved out first: the sink's last release may call back into this point.
  ComPtr<IUnknown> sink = std::move(slots[cookie - 1]);
  return S_OK;
}

HRESULT ConnectionPointSource::Point::EnumConnections(IEnumConnections** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  try {
    std::vector<CONNECTDATA> items;
    for (size_t i = 0; i < source_->slots_.size(); ++i) {
      if (source_->slots_[i]) {
        items.push_back({source_->slots_[i].get(), static_cast<DWORD>(i + 1)});
      }
    }
    *connections = new ConnectionEnumerator(source_->owner_, std::move(items));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace tavirelle
