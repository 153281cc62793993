// Connection points: the interfaces through which a client advises an
// object of its event sink, and ConnectionPointSource, which an automation
// object embeds to be a container with one connection point.
#ifndef TAVIRELLE_PLATFORM_CONNECTION_POINT_H_
#define TAVIRELLE_PLATFORM_CONNECTION_POINT_H_

#include <vector>

#include "platform/com.h"

inline constexpr IID IID_IEnumConnections = {
    0xB196B287, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IEnumConnectionPoints = {
    0xB196B285, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

class IConnectionPoint;
class IConnectionPointContainer;

struct CONNECTDATA {
  IUnknown* pUnk;
  DWORD dwCookie;
};

class IEnumConnections : public IUnknown {
 public:
  virtual HRESULT Next(ULONG count, CONNECTDATA* items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnections** copy) = 0;

 protected:
  ~IEnumConnections() = default;
};

class IEnumConnectionPoints : public IUnknown {
 public:
  virtual HRESULT Next(ULONG count, IConnectionPoint** items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnectionPoints** copy) = 0;

 protected:
  ~IEnumConnectionPoints() = default;
};

class IConnectionPoint : public IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  virtual HRESULT Unadvise(DWORD cookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
 public:
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
  virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

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
  ~ConnectionPointSource();
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
  std::vector<IUnknown*> slots_;
  Container container_{this};
  Point point_{this};
};

#endif  // TAVIRELLE_PLATFORM_CONNECTION_POINT_H_
