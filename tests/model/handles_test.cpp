#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "corvane/camera_controller/capture_settings.hpp"
#include "model/camera_image_impl.hpp"
#include "model/camera_image_list_impl.hpp"
#include "model/camera_storage_impl.hpp"
#include "model/camera_storage_list_impl.hpp"
#include "model/capture_impl.hpp"

namespace Corvane::CameraController {
namespace {

using namespace Impl;

std::shared_ptr<CameraImageImpl> makeImage(const std::string& id, ImageFormat format,
                                           std::weak_ptr<CameraStorage> storage = {}) {
    return std::make_shared<CameraImageImpl>(nullptr, std::move(storage), id, "IMG_" + id + ".JPG",
                                             1024, format, true, 1700000000);
}

// The standard library's texts for an index past the end, which callers may match.
template <class List>
void expectPastTheEnd(const List& list, size_t index, const std::string& text) {
    try {
        list.get(index);
        ADD_FAILURE() << "no exception for index " << index;
    } catch (const std::out_of_range& error) {
        EXPECT_EQ(error.what(), text);
    }
}

TEST(CameraImageTest, TypeFollowsFormatAndStorageIsHeldWeakly) {
    // The ends of each range of formats, and one past them.
    const std::pair<ImageFormat, ImageType> cases[] = {
        {ImageFormat::Unknown, ImageType::Unknown},
        {ImageFormat::JPEG, ImageType::StillImage},
        {ImageFormat::DNG, ImageType::StillImage},
        {ImageFormat::MP4, ImageType::Movie},
        {ImageFormat::AVI, ImageType::Movie},
        {static_cast<ImageFormat>(99), ImageType::Unknown}};
    for (const auto& [format, type] : cases) {
        EXPECT_EQ(makeImage("1", format)->getType(), type) << static_cast<int>(format);
    }
    // The storage is held weakly.
    auto storage = std::make_shared<CameraStorageImpl>();
    auto image = makeImage("42", ImageFormat::DNG, storage);
    EXPECT_EQ(image->lockStorage(), storage);
    storage.reset();
    EXPECT_EQ(image->getStorage(), nullptr);
}

TEST(CameraImageListTest, GetPastTheEndThrowsWithTheDequeText) {
    CameraImageListImpl list;
    expectPastTheEnd(list, 0, "invalid deque<T> subscript");
    list.add(makeImage("1", ImageFormat::JPEG));
    list.add(nullptr);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.get(0)->getId(), "1");
    expectPastTheEnd(list, 1, "invalid deque<T> subscript");
    EXPECT_EQ(list.size(), 1u);
}

TEST(CameraImageListTest, LibrarySideEditingAndTheIdIndexFollowingIt) {
    CameraImageListImpl list;
    auto a = makeImage("1", ImageFormat::JPEG);
    auto b = makeImage("2", ImageFormat::MP4);
    auto c = makeImage("3", ImageFormat::JPEG);
    list.add(a);
    list.add(b);
    list.add(c);
    list.add(a);

    EXPECT_EQ(list.findById("2"), b);
    EXPECT_EQ(list.findById("9"), nullptr);
    EXPECT_TRUE(list.remove(a));
    EXPECT_FALSE(list.contains(a));
    EXPECT_FALSE(list.remove(a));

    const auto removed =
        list.removeIf([](const CameraImage& image) { return image.getType() == ImageType::Movie; });
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], b);
    const auto rest = list.snapshot();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0], c);

    CameraImageListImpl assigned;
    assigned = list;
    list.clear();
    EXPECT_EQ(assigned.size(), 1u);

    // The id index behind addIfAbsent and findById must follow every way an entry leaves.
    CameraImageListImpl indexed;
    EXPECT_TRUE(indexed.addIfAbsent(a));
    EXPECT_FALSE(indexed.addIfAbsent(makeImage("1", ImageFormat::JPEG)));
    indexed.add(b);
    indexed.add(b);
    indexed.removeIf([](const CameraImage& image) { return image.getType() == ImageType::Movie; });
    EXPECT_TRUE(indexed.addIfAbsent(makeImage("2", ImageFormat::MP4)));
    indexed.remove(a);
    EXPECT_EQ(indexed.findById("1"), nullptr);
    EXPECT_TRUE(indexed.addIfAbsent(a));
    CameraImageListImpl copy;
    copy = indexed;
    EXPECT_FALSE(copy.addIfAbsent(makeImage("1", ImageFormat::JPEG)));
    EXPECT_EQ(CameraImageListImpl(copy).findById("2")->getId(), "2");
    indexed.clear();
    EXPECT_TRUE(indexed.addIfAbsent(a));
}

TEST(CameraImageListTest, ConcurrentAddsAndReadsStayConsistent) {
    CameraImageListImpl list;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            list.add(makeImage(std::to_string(i), ImageFormat::JPEG));
            if (i % 3 == 0) {
                list.removeIf([](const CameraImage& image) { return image.getId() == "0"; });
            }
        }
    });
    for (int i = 0; i < 2000; ++i) {
        auto snapshot = list.clone();
        for (size_t j = 0; j < snapshot->size(); ++j) {
            ASSERT_NE(snapshot->get(j), nullptr);
        }
    }
    writer.join();
    EXPECT_EQ(list.size(), 1999u);
}

TEST(CameraStorageTest, IdReferencesSurviveRefreshesAndListingStatesChangeOnlyFromTheExpected) {
    CameraStorageImpl storage;
    storage.setId("65536");
    const std::string& id = storage.getId();
    const std::string* address = &id;

    storage.setId("65536");
    EXPECT_EQ(&storage.getId(), address);
    storage.setId("131072");
    EXPECT_EQ(storage.getId(), "131072");
    EXPECT_EQ(id, "65536");  // the earlier reference still reads its text
    storage.setId("65536");
    EXPECT_EQ(&storage.getId(), address);

    storage.setListingState(ListingState::Running);
    EXPECT_FALSE(storage.changeListingState(ListingState::Paused, ListingState::Running));
    EXPECT_EQ(storage.getListingState(), ListingState::Running);
    EXPECT_TRUE(storage.changeListingState(ListingState::Running, ListingState::Paused));
    EXPECT_EQ(storage.getListingState(), ListingState::Paused);
    storage.getImagesImpl().add(makeImage("5", ImageFormat::JPEG));
    EXPECT_EQ(storage.getImages().get(0)->getId(), "5");
}

TEST(CameraStorageTest, IdReadsWhileRefreshing) {
    CameraStorageImpl storage;
    storage.setId("65536");
    std::thread refresher([&] {
        for (int i = 0; i < 10000; ++i) {
            storage.setId(i % 2 ? "65536" : "131072");
        }
    });
    for (int i = 0; i < 10000; ++i) {
        const std::string& id = storage.getId();
        ASSERT_TRUE(id == "65536" || id == "131072") << id;
    }
    refresher.join();
}

TEST(CameraStorageListTest, GetPastTheEndThrowsWithTheVectorText) {
    CameraStorageListImpl list;
    expectPastTheEnd(list, 0, "invalid vector<T> subscript");

    auto first = std::make_shared<CameraStorageImpl>();
    first->setId("65536");
    auto second = std::make_shared<CameraStorageImpl>();
    second->setId("131072");
    list.add(first);
    list.add(second);
    list.add(nullptr);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.get(1), second);
    EXPECT_EQ(list.findById("65536"), first);
    EXPECT_EQ(list.findById("1"), nullptr);
    expectPastTheEnd(list, 2, "invalid vector<T> subscript");

    EXPECT_TRUE(list.remove(first));
    EXPECT_EQ(list.snapshot(), std::vector<std::shared_ptr<CameraStorage>>{second});
    list.assign({first, nullptr});
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(list.get(0), first);
}

TEST(CaptureTest, StateMovesFromExecutingOnce) {
    CaptureImpl capture("20260101120000", CaptureMethod::Movie, 2);
    EXPECT_EQ(capture.getState(), CaptureState::Executing);

    EXPECT_EQ(capture.fileArrived(), 1);
    EXPECT_EQ(capture.fileArrived(), 0);
    EXPECT_EQ(capture.getRemainingFiles(), 0);

    EXPECT_FALSE(capture.finish(CaptureState::Executing));
    EXPECT_TRUE(capture.finish(CaptureState::Complete));
    EXPECT_FALSE(capture.finish(CaptureState::Unknown));
    EXPECT_EQ(capture.getState(), CaptureState::Complete);
    EXPECT_THROW(CaptureImpl("x", nullptr, 1), std::invalid_argument);
}

}  // namespace
}  // namespace Corvane::CameraController
