#include "com/connection_point.h"

#include <gtest/gtest.h>

namespace tavirelle {

namespace {

constexpr IID kEvents = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

// A plain reference-counted object; optionally implements kEvents.
class Counted : public IUnknown {
 public:
  explicit Counted(bool sink) : sink_(sink) {}
  virtual ~Counted() = default;
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || (sink_ && riid == kEvents)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  ULONG references = 1;

 private:
  bool sink_;
};

class Owner : public Counted {
 public:
  explicit Owner(size_t max_slots = size_t{1} << 20)
      : Counted(false), source(this, kEvents, max_slots) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (source.QueryInterface(riid, object)) {
      AddRef();
      return S_OK;
    }
    return Counted::QueryInterface(riid, object);
  }
  ConnectionPointSource source;
};

IConnectionPoint* FindPoint(Owner& owner) {
  IConnectionPointContainer* container = nullptr;
  EXPECT_EQ(owner.QueryInterface(IID_IConnectionPointContainer,
                                 reinterpret_cast<void**>(&container)), S_OK);
  IConnectionPoint* point = nullptr;
  EXPECT_EQ(container->FindConnectionPoint(kEvents, &point), S_OK);
  IConnectionPoint* none = nullptr;
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &none), CONNECT_E_NOCONNECTION);
  container->Release();
  return point;
}

TEST(ConnectionPoint, CookiesAreSlotPositionsAndFreedSlotsAreReused) {
  // Sinks outlive the owner, which releases the connections it still has.
  Counted sinks[6] = {Counted(true), Counted(true), Counted(true),
                      Counted(true), Counted(true), Counted(true)};
  Owner owner;
  IConnectionPoint* point = FindPoint(owner);
  DWORD cookies[6];
  for (int i = 0; i < 5; ++i) ASSERT_EQ(point->Advise(&sinks[i], &cookies[i]), S_OK);
  EXPECT_EQ(cookies[0], 1u);
  EXPECT_EQ(cookies[4], 5u);
  EXPECT_EQ(owner.source.SlotCount(), 8u);  // 4, doubled when the fifth came
  EXPECT_EQ(sinks[1].references, 2u);
  ASSERT_EQ(point->Unadvise(2), S_OK);
  EXPECT_EQ(sinks[1].references, 1u);
  ASSERT_EQ(point->Advise(&sinks[5], &cookies[5]), S_OK);
  EXPECT_EQ(cookies[5], 2u);
  EXPECT_EQ(point->Unadvise(2), S_OK);
  EXPECT_EQ(point->Unadvise(2), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(point->Unadvise(99), CONNECT_E_NOCONNECTION);

  IEnumConnections* connections = nullptr;
  ASSERT_EQ(point->EnumConnections(&connections), S_OK);
  CONNECTDATA data[8];
  ULONG fetched = 0;
  EXPECT_EQ(connections->Next(8, data, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 4u);
  EXPECT_EQ(data[0].dwCookie, 1u);
  EXPECT_EQ(data[1].dwCookie, 3u);
  for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
  connections->Release();
  point->Release();
}

TEST(ConnectionPoint, RefusesBadSinksAndStopsAtTheLimit) {
  Counted sink(true);
  Counted not_a_sink(false);
  Owner owner(8);
  IConnectionPoint* point = FindPoint(owner);
  DWORD cookie = 77;
  EXPECT_EQ(point->Advise(&not_a_sink, &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
  EXPECT_EQ(point->Advise(&sink, nullptr), E_POINTER);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
  EXPECT_EQ(point->Advise(&sink, &cookie), CONNECT_E_ADVISELIMIT);
  EXPECT_EQ(sink.references, 9u);  // a refused sink keeps no reference
  point->Release();
}

TEST(ConnectionPoint, ContainerAndPointKeepTheOwnerAlive) {
  Owner owner;
  ULONG before = owner.references;
  IConnectionPoint* point = FindPoint(owner);
  EXPECT_EQ(owner.references, before + 1);
  IConnectionPointContainer* back = nullptr;
  ASSERT_EQ(point->GetConnectionPointContainer(&back), S_OK);
  IID iid{};
  ASSERT_EQ(point->GetConnectionInterface(&iid), S_OK);
  EXPECT_TRUE(iid == kEvents);
  back->Release();
  point->Release();
  EXPECT_EQ(owner.references, before);
}

// Hosts walk the connections with Next, Skip, Reset and Clone: a snapshot
// taken when the enumerator was made, each position its own, every sink
// handed out with a reference for the caller.
TEST(ConnectionPoint, EnumeratorsWalkASnapshotWithSkipResetAndClone) {
  Counted sinks[4] = {Counted(true), Counted(true), Counted(true), Counted(true)};
  Owner owner;
  IConnectionPoint* point = FindPoint(owner);
  DWORD cookie = 0;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(point->Advise(&sinks[i], &cookie), S_OK);
  ASSERT_EQ(point->Unadvise(2), S_OK);  // cookies 1 and 3 stay
  IEnumConnections* walk = nullptr;
  ASSERT_EQ(point->EnumConnections(&walk), S_OK);
  ASSERT_EQ(point->Advise(&sinks[3], &cookie), S_OK);  // after the snapshot
  const ULONG owner_held = owner.references;

  auto next_cookie = [](IEnumConnections* e) -> DWORD {
    CONNECTDATA data{};
    if (e->Next(1, &data, nullptr) != S_OK) return 0;  // one item needs no count
    data.pUnk->Release();
    return data.dwCookie;
  };
  EXPECT_EQ(walk->Skip(1), S_OK);
  EXPECT_EQ(next_cookie(walk), 3u);
  EXPECT_EQ(next_cookie(walk), 0u);  // the end: the later sink is not in it
  EXPECT_EQ(walk->Reset(), S_OK);
  EXPECT_EQ(next_cookie(walk), 1u);
  IEnumConnections* twin = nullptr;
  ASSERT_EQ(walk->Clone(&twin), S_OK);
  EXPECT_EQ(next_cookie(twin), 3u);  // from where the original stood
  EXPECT_EQ(next_cookie(walk), 3u);  // which the twin did not move
  EXPECT_EQ(twin->Skip(5), S_FALSE);
  EXPECT_EQ(twin->Reset(), S_OK);
  CONNECTDATA two[2];
  EXPECT_EQ(twin->Next(2, two, nullptr), E_POINTER);
  EXPECT_EQ(walk->Clone(nullptr), E_POINTER);
  // Its own, its connection's and the two snapshots' references; released,
  // the snapshots give theirs back.
  EXPECT_EQ(sinks[0].references, 4u);
  twin->Release();
  walk->Release();
  EXPECT_EQ(sinks[0].references, 2u);
  EXPECT_EQ(sinks[1].references, 1u);
  EXPECT_LT(owner.references, owner_held);  // the snapshots kept the owner
  point->Release();
}

}  // namespace

}  // namespace tavirelle
