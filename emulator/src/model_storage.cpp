// Cards, the objects on them and the standard object operations.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "byte_writer.hpp"
#include "camera_model.hpp"
#include "codes.hpp"

namespace Corvane::CameraController::Emulator {

namespace {

constexpr uint32_t kAllStorages = 0xFFFFFFFF;
constexpr uint32_t kRootOnly = 0xFFFFFFFF;
constexpr uint16_t kInvalidParentObject = 0x201A;
constexpr uint64_t kDefaultFileSize = 1u << 20;
constexpr const char* kCaptureFolder = "DCIM/100QUORN";
/// Files from this size on are generated as they are read instead of held in memory.
constexpr uint64_t kGeneratedFileSize = 256ull << 20;
/// The largest data phase a PTP container length can describe (after its 12-byte header).
constexpr uint64_t kLargestDataPhase = 0xFFFFFFFFull - 12;
constexpr uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ull;

uint64_t mixedWord(uint64_t seed, uint64_t index) {
    uint64_t z = seed * kGoldenGamma + 1 + (index + 1) * kGoldenGamma;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The bytes of a generated file at any offset, without the bytes before it: each 8-byte word
// depends on its position, so a misplaced piece shows up.
Bytes generatedBytes(uint64_t seed, uint64_t offset, size_t count) {
    Bytes bytes(count);
    size_t i = 0;
    while (i < count) {
        const uint64_t position = offset + i;
        const uint64_t word = mixedWord(seed, position / 8);
        const size_t skip = position % 8;
        const size_t take = std::min<size_t>(8 - skip, count - i);
        std::memcpy(bytes.data() + i, reinterpret_cast<const uint8_t*>(&word) + skip, take);
        i += take;
    }
    return bytes;
}

// Deterministic bytes that differ at every offset, so a misplaced piece shows up.
SharedBytes syntheticBytes(uint64_t size, const char* magic, uint64_t seed) {
    Bytes bytes(size);
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        state += 0x9E3779B97F4A7C15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        std::memcpy(bytes.data() + i, &z, 8);
    }
    for (; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 131 + seed);
    }
    std::memcpy(bytes.data(), magic, std::min<size_t>(std::strlen(magic), bytes.size()));
    return std::make_shared<const Bytes>(std::move(bytes));
}

std::string upperExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext;
}

uint16_t formatOfExtension(const std::string& ext) {
    if (ext == "JPG" || ext == "JPEG") {
        return Code::FormatExifJpeg;
    }
    if (ext == "DNG") {
        return Code::FormatUnknownImage;
    }
    if (ext == "TIF" || ext == "TIFF") {
        return Code::FormatTiff;
    }
    if (ext == "MOV") {
        return Code::FormatMov;
    }
    if (ext == "MP4") {
        return Code::FormatMp4;
    }
    if (ext == "AVI") {
        return Code::FormatAvi;
    }
    return Code::FormatUndefined;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('/', start), path.size());
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::string fileBase(unsigned number) {
    char text[16];
    std::snprintf(text, sizeof text, "QRN_%04u", number % 10000);
    return text;
}

}  // namespace

// --- Cards ---------------------------------------------------------------------------------

uint32_t CameraModel::storageIdOf(unsigned slot) const {
    return (static_cast<uint32_t>(slot) << 16) | (slots_[slot - 1].hasCard ? 1u : 0u);
}

unsigned CameraModel::slotOf(uint32_t storageId) const {
    const unsigned slot = storageId >> 16;
    return slot >= 1 && slot <= slotCount_ && (storageId & 0xFFFF) <= 1 ? slot : 0;
}

uint64_t CameraModel::usedBytes(unsigned slot) const {
    uint64_t used = 0;
    for (const auto& [handle, object] : objects_) {
        if (object.slot == slot) {
            used += object.size();
        }
    }
    return used;
}

uint64_t CameraModel::freeBytes(unsigned slot) const {
    const uint64_t used = usedBytes(slot);
    const uint64_t capacity = slots_[slot - 1].capacity;
    return capacity > used ? capacity - used : 0;
}

uint64_t CameraModel::estimatedShotSize() const {
    constexpr uint64_t kJpeg = 1200u << 10;
    switch (slotFileFormatCode()) {
        case 0:
            return kJpeg;
        case 1:
        case 2:
            return config_.rawFileSize;
        case 3:
        case 4:
            return config_.rawFileSize + kJpeg;
        default: {
            const auto [w, h] = PictureFactory::stillDimensions(imageFormat_.jpegSize);
            return static_cast<uint64_t>(w) * h * 3;
        }
    }
}

uint32_t CameraModel::folderFor(unsigned slot, const std::string& path) {
    uint32_t parent = 0;
    for (const std::string& name : splitPath(path)) {
        const auto found = std::find_if(objects_.begin(), objects_.end(), [&](const auto& e) {
            return e.second.slot == slot && e.second.parent == parent && e.second.isFolder() &&
                   e.second.name == name;
        });
        if (found != objects_.end()) {
            parent = found->first;
            continue;
        }
        StoredObject folder;
        folder.handle = nextHandle_++;
        folder.slot = slot;
        folder.parent = parent;
        folder.format = Code::FormatAssociation;
        folder.name = name;
        folder.captureDate = Wire::formatDateTime(cameraTime());
        parent = folder.handle;
        objects_.emplace(folder.handle, std::move(folder));
    }
    return parent;
}

uint32_t CameraModel::createFile(unsigned slot, uint32_t parent, const std::string& name,
                                 uint16_t format, SharedBytes data, SharedBytes thumbnail,
                                 uint32_t width, uint32_t height) {
    StoredObject object;
    object.handle = nextHandle_++;
    object.slot = slot;
    object.parent = parent;
    object.format = format;
    object.name = name;
    object.data = std::move(data);
    object.thumbnail = std::move(thumbnail);
    object.width = width;
    object.height = height;
    object.captureDate = Wire::formatDateTime(cameraTime());
    const uint32_t handle = object.handle;
    objects_.emplace(handle, std::move(object));
    return handle;
}

uint32_t CameraModel::loadCard(unsigned slot, const std::vector<FileSpec>& files) {
    uint32_t last = 0;
    for (const FileSpec& file : files) {
        std::vector<std::string> parts = splitPath(file.path);
        if (parts.empty()) {
            continue;
        }
        const std::string name = parts.back();
        parts.pop_back();
        std::string folderPath;
        for (const auto& part : parts) {
            folderPath += part + "/";
        }
        const uint32_t parent = folderFor(slot, folderPath);
        const uint16_t format = formatOfExtension(upperExtension(name));
        const unsigned number = ++fileNumber_;
        SharedBytes data;
        SharedBytes thumbnail;
        uint32_t width = 0;
        uint32_t height = 0;
        const bool generated = format != Code::FormatExifJpeg && file.size >= kGeneratedFileSize;
        if (generated) {
            // Bytes made when read; see StoredObject::window.
        } else if (format == Code::FormatExifJpeg) {
            StillPicture picture = pictures_.still(0, 2, file.path);
            if (file.size > picture.file->size()) {
                // Padding after the end-of-image marker keeps the picture decodable.
                const SharedBytes tail =
                    syntheticBytes(file.size - picture.file->size(), "", number);
                Bytes padded(*picture.file);
                padded.insert(padded.end(), tail->begin(), tail->end());
                picture.file = std::make_shared<const Bytes>(std::move(padded));
            }
            data = picture.file;
            thumbnail = picture.thumbnail;
            width = picture.width;
            height = picture.height;
        } else {
            data = syntheticBytes(file.size != 0 ? file.size : kDefaultFileSize, "", number);
            if (format == Code::FormatUndefined || format == Code::FormatUnknownImage) {
                thumbnail = pictures_.thumbnail();
            }
        }
        last = createFile(slot, parent, name, format, std::move(data), std::move(thumbnail), width,
                          height);
        StoredObject& created = objects_[last];
        created.writeProtected = file.writeProtected;
        created.sizeAnnouncedAsZero = file.sizeAnnouncedAsZero;
        if (generated) {
            created.generatedSize = file.size;
            created.seed = number;
        }
    }
    return last;
}

std::string CameraModel::pathOf(const StoredObject& object) const {
    std::string path = object.name;
    uint32_t parent = object.parent;
    // Bounded walk: a parent chain never exceeds the number of objects.
    for (size_t guard = 0; parent != 0 && guard < objects_.size(); ++guard) {
        const auto it = objects_.find(parent);
        if (it == objects_.end()) {
            break;
        }
        path = it->second.name + "/" + path;
        parent = it->second.parent;
    }
    return path;
}

bool CameraModel::insertCard(unsigned slot, uint64_t capacity, const std::vector<FileSpec>& files) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot < 1 || slot > slotCount_ || slots_[slot - 1].hasCard) {
        return false;
    }
    slots_[slot - 1].hasCard = true;
    slots_[slot - 1].capacity = capacity;
    loadCard(slot, files);
    return true;
}

bool CameraModel::removeCard(unsigned slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot < 1 || slot > slotCount_ || !slots_[slot - 1].hasCard) {
        return false;
    }
    slots_[slot - 1].hasCard = false;
    for (auto it = objects_.begin(); it != objects_.end();) {
        it = it->second.slot == slot ? objects_.erase(it) : std::next(it);
    }
    return true;
}

uint32_t CameraModel::addFile(unsigned slot, const FileSpec& file) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot < 1 || slot > slotCount_ || !slots_[slot - 1].hasCard) {
        return 0;
    }
    return loadCard(slot, {file});
}

std::vector<ObjectSummary> CameraModel::objects() {
    std::lock_guard<std::mutex> lock(mutex_);
    settle(Clock::now());
    std::vector<ObjectSummary> result;
    for (const auto& [handle, object] : objects_) {
        result.push_back(
            {handle, storageIdOf(object.slot), object.format, pathOf(object), object.size()});
    }
    return result;
}

Bytes CameraModel::objectData(uint32_t handle, uint64_t offset, uint64_t count) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const StoredObject* object = findObject(handle);
    if (object == nullptr || offset >= object->size()) {
        return {};
    }
    const Payload piece = object->window(offset, count);
    return Bytes(piece.data(), piece.data() + piece.size);
}

Payload CameraModel::StoredObject::window(uint64_t offset, uint64_t count) const {
    const uint64_t total = size();
    const uint64_t start = std::min(offset, total);
    const uint64_t length = std::min(count, total - start);
    if (data) {
        return Payload::slice(data, start, length);
    }
    return Payload::of(generatedBytes(seed, start, length));
}

// --- Captured files ------------------------------------------------------------------------

std::vector<CameraModel::TetherImage> CameraModel::makeShotFiles() {
    const unsigned number = ++fileNumber_;
    const std::string base = fileBase(number);
    const std::string label = base + " " + Wire::formatDateTime(cameraTime());
    const uint8_t grade = imageFormat_.jpegGrade;
    const auto [width, height] = PictureFactory::stillDimensions(imageFormat_.jpegSize);
    const bool dng = imageFormat_.rawKind != 0;
    auto raw = [&]() {
        TetherImage image;
        image.type = dng ? 3 : 2;
        image.object.format = dng ? Code::FormatUnknownImage : Code::FormatUndefined;
        image.object.name = base + (dng ? ".DNG" : ".QRW");
        image.object.data = syntheticBytes(config_.rawFileSize, dng ? "II*" : "QRW", number);
        image.object.thumbnail = pictures_.thumbnail();
        image.object.width = width;
        image.object.height = height;
        return image;
    };
    auto jpeg = [&]() {
        StillPicture picture = pictures_.still(imageFormat_.jpegSize, grade, label);
        TetherImage image;
        image.type = 1;
        image.object.format = Code::FormatExifJpeg;
        image.object.name = base + ".JPG";
        image.object.data = picture.file;
        image.object.thumbnail = picture.thumbnail;
        image.object.width = picture.width;
        image.object.height = picture.height;
        return image;
    };
    std::vector<TetherImage> files;
    switch (imageFormat_.fileFormat) {
        case 0:
            files.push_back(jpeg());
            break;
        case 1:
            files.push_back(raw());
            break;
        case 2:
            files.push_back(raw());
            files.push_back(jpeg());
            break;
        default: {
            TetherImage image;
            image.type = 4;
            image.object.format = Code::FormatTiff;
            image.object.name = base + ".TIF";
            image.object.data =
                syntheticBytes(static_cast<uint64_t>(width) * height * 3, "II*", number);
            image.object.width = width;
            image.object.height = height;
            files.push_back(std::move(image));
        }
    }
    const std::string date = Wire::formatDateTime(cameraTime());
    for (auto& file : files) {
        file.object.captureDate = date;
    }
    return files;
}

void CameraModel::deliverShot() {
    std::vector<TetherImage> files = makeShotFiles();
    uint64_t total = 0;
    for (const auto& file : files) {
        total += file.object.size();
    }
    bool written = false;
    for (unsigned slot = 1; slot <= slotCount_; ++slot) {
        const bool toCards = writeToCard_ || !tetherMode_;
        if (!toCards || !slots_[slot - 1].hasCard || !slotActive(slot - 1)) {
            continue;
        }
        written = true;
        if (freeBytes(slot) < total) {
            continue;
        }
        const uint32_t folder = folderFor(slot, kCaptureFolder);
        for (const auto& file : files) {
            createFile(slot, folder, file.object.name, file.object.format, file.object.data,
                       file.object.thumbnail, file.object.width, file.object.height);
        }
        lastSlotIndex_ = slot - 1;
    }
    if (written || !tetherMode_) {
        return;
    }
    for (auto& file : files) {
        file.object.handle = nextHandle_++;
        tether_.push_back(std::move(file));
    }
}

// --- Standard object operations ------------------------------------------------------------

const CameraModel::StoredObject* CameraModel::findObject(uint32_t handle) const {
    const auto it = objects_.find(handle);
    if (it != objects_.end()) {
        return &it->second;
    }
    for (const auto& image : tether_) {
        if (image.object.handle == handle) {
            return &image.object;
        }
    }
    return nullptr;
}

Reply CameraModel::getDeviceInfo() const {
    Wire::DeviceInfoFields info;
    info.vendorExtensionDesc = "microsoft.com: 1.0;";
    info.operations = config_.operations;
    info.properties = {Code::PropBatteryLevel, Code::PropWhiteBalance, Code::PropFNumber,
                       Code::PropExposureBias, Code::PropDateTime,     Code::PropLiveViewGeometry,
                       Code::PropShutterSpeed, Code::PropImageFormat,  Code::PropIso,
                       Code::PropLiveView,     Code::PropFocusPoint};
    info.captureFormats = {Code::FormatExifJpeg, Code::FormatUndefined, Code::FormatTiff};
    info.imageFormats = {Code::FormatAssociation,  Code::FormatExifJpeg, Code::FormatUndefined,
                         Code::FormatUnknownImage, Code::FormatTiff,     Code::FormatMov,
                         Code::FormatMp4};
    info.manufacturer = config_.manufacturer;
    info.model = config_.model;
    info.deviceVersion = config_.firmwareVersion;
    info.serialNumber = config_.serialNumber;
    return Reply::withData(Wire::encodeDeviceInfo(info));
}

Reply CameraModel::getStorageIds() const {
    std::vector<uint32_t> ids;
    for (unsigned slot = 1; slot <= slotCount_; ++slot) {
        ids.push_back(storageIdOf(slot));
    }
    Wire::ByteWriter w;
    w.array32(ids);
    return Reply::withData(w.take());
}

Reply CameraModel::getStorageInfo(const Operation& op) const {
    const unsigned slot = slotOf(op.param(0));
    if (slot == 0) {
        return Reply::error(Code::InvalidStorageId);
    }
    Wire::StorageInfoFields info;
    info.description = "Card slot " + std::to_string(slot);
    if (slots_[slot - 1].hasCard) {
        info.storageType = 4;     // removable RAM
        info.filesystemType = 3;  // DCF
        info.accessCapability = 0;
        info.maxCapacity = slots_[slot - 1].capacity;
        info.freeSpaceInBytes = freeBytes(slot);
        const uint64_t shots = info.freeSpaceInBytes / std::max<uint64_t>(estimatedShotSize(), 1);
        info.freeSpaceInObjects = static_cast<uint32_t>(std::min<uint64_t>(shots, 0xFFFFFFFE));
        info.volumeLabel = "QUORIN";
    }
    return Reply::withData(Wire::encodeStorageInfo(info));
}

namespace {

// Shared filter of GetNumObjects and GetObjectHandles. Returns a response code.
template <typename Objects, typename SlotOf, typename HasCard, typename Visit>
uint16_t selectObjects(const Objects& objects, const Operation& op, SlotOf slotOf, HasCard hasCard,
                       Visit visit) {
    const uint32_t storage = op.param(0);
    const uint32_t format = op.param(1);
    const uint32_t parent = op.param(2);
    unsigned slot = 0;
    if (storage != kAllStorages) {
        slot = slotOf(storage);
        if (slot == 0) {
            return Code::InvalidStorageId;
        }
        if (!hasCard(slot)) {
            return Code::StoreNotAvailable;
        }
    }
    if (parent != 0 && parent != kRootOnly) {
        const auto it = objects.find(parent);
        if (it == objects.end() || !it->second.isFolder()) {
            return kInvalidParentObject;
        }
    }
    for (const auto& [handle, object] : objects) {
        if ((slot != 0 && object.slot != slot) || (format != 0 && object.format != format)) {
            continue;
        }
        if ((parent == kRootOnly && object.parent != 0) ||
            (parent != 0 && parent != kRootOnly && object.parent != parent)) {
            continue;
        }
        visit(handle);
    }
    return Code::Ok;
}

}  // namespace

Reply CameraModel::getNumObjects(const Operation& op) const {
    uint32_t count = 0;
    const uint16_t code = selectObjects(
        objects_, op, [this](uint32_t id) { return slotOf(id); },
        [this](unsigned slot) { return slots_[slot - 1].hasCard; },
        [&count](uint32_t) { ++count; });
    if (code != Code::Ok) {
        return Reply::error(code);
    }
    Reply reply = Reply::ok();
    reply.parameters = {count};
    return reply;
}

Reply CameraModel::getObjectHandles(const Operation& op) const {
    std::vector<uint32_t> handles;
    const uint16_t code = selectObjects(
        objects_, op, [this](uint32_t id) { return slotOf(id); },
        [this](unsigned slot) { return slots_[slot - 1].hasCard; },
        [&handles](uint32_t handle) { handles.push_back(handle); });
    if (code != Code::Ok) {
        return Reply::error(code);
    }
    Wire::ByteWriter w(4 + 4 * handles.size());
    w.array32(handles);
    return Reply::withData(w.take());
}

Reply CameraModel::getObjectInfo(const Operation& op) const {
    const StoredObject* object = findObject(op.param(0));
    if (object == nullptr) {
        return Reply::error(Code::InvalidObjectHandle);
    }
    Wire::ObjectInfoFields info;
    info.storageId = object->slot != 0 ? storageIdOf(object->slot) : 0;
    info.objectFormat = object->format;
    info.protectionStatus = object->writeProtected ? 1 : 0;
    info.compressedSize = object->sizeAnnouncedAsZero ? 0 : object->size();
    if (object->thumbnail) {
        info.thumbFormat = Code::FormatJfif;
        info.thumbCompressedSize = static_cast<uint32_t>(object->thumbnail->size());
        info.thumbWidth = kThumbnailWidth;
        info.thumbHeight = kThumbnailHeight;
    }
    info.imageWidth = object->width;
    info.imageHeight = object->height;
    info.imageBitDepth = object->width != 0 ? 24 : 0;
    info.parentObject = object->parent;
    info.associationType = object->isFolder() ? 1 : 0;
    info.filename = object->name;
    info.captureDate = object->captureDate;
    info.modificationDate = object->captureDate;
    return Reply::withData(Wire::encodeObjectInfo(info));
}

Reply CameraModel::getObject(const Operation& op) const {
    const StoredObject* object = findObject(op.param(0));
    if (object == nullptr || object->isFolder()) {
        return Reply::error(Code::InvalidObjectHandle);
    }
    if (object->size() > kLargestDataPhase) {
        // One data phase cannot carry it; such files are read in pieces.
        return Reply::error(Code::GeneralError);
    }
    return Reply::withData(object->window(0, object->size()));
}

Reply CameraModel::getPartialObject(const Operation& op) const {
    return partialObject(op.param(0), op.param(1), op.param(2));
}

Reply CameraModel::getPartialObject64(const Operation& op) const {
    const uint64_t offset = op.param(1) | (static_cast<uint64_t>(op.param(2)) << 32);
    return partialObject(op.param(0), offset, op.param(3));
}

Reply CameraModel::partialObject(uint32_t handle, uint64_t offset, uint32_t count) const {
    const StoredObject* object = findObject(handle);
    if (object == nullptr || object->isFolder()) {
        return Reply::error(Code::InvalidObjectHandle);
    }
    if (offset > object->size()) {
        return Reply::error(Code::InvalidParameter);
    }
    Reply reply = Reply::withData(object->window(offset, count));
    reply.parameters = {static_cast<uint32_t>(reply.data.size)};
    return reply;
}

Reply CameraModel::getObjectPropValue(const Operation& op) const {
    const StoredObject* object = findObject(op.param(0));
    if (object == nullptr) {
        return Reply::error(Code::InvalidObjectHandle);
    }
    if (op.param(1) != Code::ObjectPropSize) {
        return Reply::error(Code::InvalidObjectPropCode);
    }
    Wire::ByteWriter w;
    w.u64(object->size());
    return Reply::withData(w.take());
}

Reply CameraModel::getThumb(const Operation& op) const {
    const StoredObject* object = findObject(op.param(0));
    if (object == nullptr) {
        return Reply::error(Code::InvalidObjectHandle);
    }
    if (!object->thumbnail) {
        return Reply::error(Code::NoThumbnailPresent);
    }
    return Reply::withData(Payload::slice(object->thumbnail, 0, object->thumbnail->size()));
}

void CameraModel::deleteTree(uint32_t handle, bool& partial) {
    std::vector<uint32_t> children;
    for (const auto& [h, object] : objects_) {
        if (object.parent == handle) {
            children.push_back(h);
        }
    }
    for (const uint32_t child : children) {
        deleteTree(child, partial);
    }
    const auto it = objects_.find(handle);
    if (it == objects_.end()) {
        return;
    }
    const bool hasChildren = std::any_of(objects_.begin(), objects_.end(),
                                         [&](const auto& e) { return e.second.parent == handle; });
    if (it->second.writeProtected || hasChildren) {
        partial = true;
        return;
    }
    objects_.erase(it);
}

Reply CameraModel::deleteObject(const Operation& op) {
    if (recording_) {
        return Reply::error(Code::DeviceBusy);
    }
    const uint32_t handle = op.param(0);
    bool partial = false;
    if (handle == 0xFFFFFFFF) {
        std::vector<uint32_t> files;
        for (const auto& [h, object] : objects_) {
            if (!object.isFolder()) {
                files.push_back(h);
            }
        }
        for (const uint32_t h : files) {
            deleteTree(h, partial);
        }
        return Reply::error(partial ? 0x2012 : Code::Ok);
    }
    const auto it = objects_.find(handle);
    if (it == objects_.end()) {
        return Reply::error(Code::InvalidObjectHandle);
    }
    if (it->second.writeProtected) {
        return Reply::error(Code::ObjectWriteProtected);
    }
    deleteTree(handle, partial);
    return Reply::error(partial ? 0x2012 : Code::Ok);
}

}  // namespace Corvane::CameraController::Emulator
