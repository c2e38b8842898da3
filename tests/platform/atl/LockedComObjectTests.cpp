// COM objects whose count is guarded by a lock: references taken and released
// from several threads at once, and the final release that runs once.
#include "LockedComObject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::atomic<int> finalReleases{0};
std::atomic<int> destroyed{0};

class Counted : public Atl::LockedObjectRoot, public IUnknown {
public:
    static const Atl::InterfaceEntry* interfaceEntries()
    {
        static const Atl::InterfaceEntry entries[] = {Atl::entry<Counted, IUnknown>(IID_IUnknown), {}};
        return entries;
    }
    void FinalRelease() { ++finalReleases; }
    ~Counted() override { ++destroyed; }
};

TEST(LockedComObject, ReferencesFromManyThreadsAndOneFinalRelease)
{
    finalReleases = 0;
    destroyed = 0;
    const long modulesBefore = Atl::ModuleLock::current();
    auto* object = new Atl::LockedComObject<Counted>();
    object->AddRef();
    EXPECT_EQ(Atl::ModuleLock::current(), modulesBefore + 1);

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([object] {
            for (int i = 0; i < 20000; ++i) {
                object->AddRef();
                object->Release();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(finalReleases.load(), 0);

    Com::ComPtr<IUnknown> asked;
    EXPECT_HRESULT_SUCCEEDED(object->QueryInterface(IID_IUnknown, asked.PutVoid()));
    EXPECT_EQ(asked->AddRef(), 3u);
    asked->Release();
    asked.Reset();
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(finalReleases.load(), 1);
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_EQ(Atl::ModuleLock::current(), modulesBefore);
}

}  // namespace
