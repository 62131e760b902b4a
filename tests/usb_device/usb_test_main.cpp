// The tests reach the emulated bus through umockdev's preload library, so the program first
// runs itself again under it; without it the tests skip.
#include <gtest/gtest.h>

#include "usb_camera_host.hpp"

int main(int argc, char** argv) {
    Corvane::CameraController::Emulator::Usb::UsbCameraHost::enterMockEnvironment(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
