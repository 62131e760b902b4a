// Links against the installed library and touches a few of its public classes.
#include <corvane/camera_controller.hpp>

#include <iostream>

using namespace Corvane::CameraController;

int main() {
    ISO iso;
    if (iso.toString() != "ISO: no value") {
        std::cerr << "unexpected text: " << iso.toString() << "\n";
        return 1;
    }
    // A singleton (static data) and a static function reach across the library boundary.
    if (FNumber::F5_6->getValue().toString() != "5.6") {
        std::cerr << "unexpected singleton: " << FNumber::F5_6->toString() << "\n";
        return 1;
    }
    Diagnostics::setCallback(nullptr);
    // A non-USB interface must come back empty without touching any transport.
    const auto cameras = CameraDeviceDetector::detect(static_cast<DeviceInterface>(7));
    std::cout << "ok " << cameras.size() << "\n";
    return cameras.empty() ? 0 : 1;
}
