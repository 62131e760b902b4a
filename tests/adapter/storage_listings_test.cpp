#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "adapter/adapter_storage_listings.hpp"

namespace Corvane::CameraController::Impl {
namespace {

using namespace std::chrono_literals;

TEST(StorageListingsTest, ANewListingWaitsForThePreviousAndStartsWithoutItsBaseline) {
    StorageListings listings;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    listings.start("65536", [&] {
        listings.rememberHandles("65536", {1, 2, 3});
        released.wait();
    });
    while (!listings.handlesOf("65536")) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(listings.tookHandles("65536"));

    std::atomic<bool> secondRan{false};
    auto restart =
        std::async(std::launch::async, [&] { listings.start("65536", [&] { secondRan = true; }); });
    EXPECT_EQ(restart.wait_for(50ms), std::future_status::timeout);
    EXPECT_FALSE(secondRan);
    release.set_value();
    restart.get();
    listings.waitFor("65536");
    EXPECT_TRUE(secondRan);
    // The second listing took no handles: an old baseline would make old files look new.
    EXPECT_FALSE(listings.handlesOf("65536"));
    // It has ended all the same, so nobody waits for its handles.
    EXPECT_TRUE(listings.tookHandles("65536"));
}

TEST(StorageListingsTest, ARunningListingWithoutHandlesIsWaitedForAndPausesAreCounted) {
    StorageListings listings;
    EXPECT_TRUE(listings.tookHandles("131072"));  // none ever started
    std::promise<void> release;
    listings.start("131072", [done = release.get_future().share()] { done.wait(); });
    EXPECT_FALSE(listings.tookHandles("131072"));

    {
        const StorageListings::PauseRequest capture(listings);
        {
            const StorageListings::PauseRequest update(listings);
            EXPECT_TRUE(listings.pauseRequested());
        }
        // The first to finish must not take back the other's request.
        EXPECT_TRUE(listings.pauseRequested());
    }
    EXPECT_FALSE(listings.pauseRequested());
    release.set_value();
    listings.waitFor("131072");
    EXPECT_TRUE(listings.tookHandles("131072"));
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
