// Connection points: the interfaces through which a client advises an
// object of its event sink, and ConnectionPointSource, which an automation
// object embeds to be a container with one connection point.
#ifndef TAVIRELLE_COM_CONNECTION_POINT_H_
#define TAVIRELLE_COM_CONNECTION_POINT_H_

#include <vector>

#include "com/com.h"
#include "tavirelle/com_ptr.h"

namespace tavirelle {

// Makes the object that embeds it a connection-point container with one
// connection point, for the outgoing interface `event_iid`.
//
// `owner` is the embedding object's IUnknown (one of its interfaces); the
// container and the point delegate their reference counts to it, so they
// live exactly as long as the object. Connections are kept in slots that
// start at four and double when full; a freed slot is used again and the
// cookie of a connection is its slot's 1-based position. `max_slots` bounds
// the growth (the slot array "cannot grow" beyond it).
class ConnectionPointSource {
 public:
  ConnectionPointSource(IUnknown* owner, const IID& event_iid,
                        size_t max_slots = size_t{1} << 20);
  ~ConnectionPointSource() = default;
  ConnectionPointSource(const ConnectionPointSource&) = delete;
  ConnectionPointSource& operator=(const ConnectionPointSource&) = delete;

  // For the owner's QueryInterface: stores the container for
  // IID_IConnectionPointContainer (without adding a reference) and returns
  // true; false for any other interface.
  bool QueryInterface(REFIID riid, void** object);

  IConnectionPointContainer* container() { return &container_; }
  IConnectionPoint* point() { return &point_; }

  // The sinks advised now, in slot order (for firing events).
  std::vector<IUnknown*> Sinks() const;
  size_t SlotCount() const { return slots_.size(); }

 private:
  class Container final : public IConnectionPointContainer {
   public:
    explicit Container(ConnectionPointSource* source) : source_(source) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

   private:
    ConnectionPointSource* source_;
  };
  class Point final : public IConnectionPoint {
   public:
    explicit Point(ConnectionPointSource* source) : source_(source) {}
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** connections) override;

   private:
    ConnectionPointSource* source_;
  };

  IUnknown* owner_;
  IID event_iid_;
  size_t max_slots_;
  std::vector<ComPtr<IUnknown>> slots_;  // null where a sink was unadvised
  Container container_{this};
  Point point_{this};
};

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_CONNECTION_POINT_H_
