#include "mtp/usb/usb_access_diagnostic.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace Corvane::CameraController::Impl {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

// A throwaway process table: <root>/<pid>/fd/<n> links and <root>/<pid>/comm.
class FakeProc : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("corvane-proc-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    void process(int pid, const std::string& comm, const std::vector<std::string>& fds) {
        const fs::path dir = root / std::to_string(pid);
        fs::create_directories(dir / "fd");
        std::ofstream(dir / "comm") << comm << "\n";
        for (size_t i = 0; i < fds.size(); ++i) {
            fs::create_symlink(fds[i], dir / "fd" / std::to_string(i + 3));
        }
    }

    fs::path root;
};

const std::string kNode = "/dev/bus/usb/001/007";

TEST_F(FakeProc, FindsOtherProcessesHoldingTheNodeButNotItself) {
    process(100, "gvfsd-gphoto2", {"/dev/null", kNode});
    process(200, "bash", {"/dev/pts/0", "/dev/bus/usb/001/070"});
    process(300, "us", {kNode});
    process(400, "shotwell", {kNode, kNode});
    fs::create_directories(root / "self" / "fd");
    fs::create_directories(root / "500");  // a process whose fds we may not read

    auto holders = findDeviceHolders(root.string(), kNode, 300);
    std::sort(holders.begin(), holders.end(),
              [](const auto& a, const auto& b) { return a.pid < b.pid; });
    ASSERT_EQ(holders.size(), 2u);
    EXPECT_EQ(holders[0].pid, 100);
    EXPECT_EQ(holders[0].name, "gvfsd-gphoto2");
    EXPECT_EQ(holders[1].pid, 400);
    EXPECT_EQ(holders[1].name, "shotwell");
    EXPECT_TRUE(findDeviceHolders((root / "absent").string(), kNode, 1).empty());
}

TEST(UsbAccessDiagnostic, MessagesNameTheHolderOrTheRuleThatGrantsAccess) {
    const std::string line = cameraBusyMessage(kNode, {{1234, "gvfsd-gphoto2"}});
    EXPECT_THAT(line,
                AllOf(HasSubstr("[error]"), HasSubstr(kNode), HasSubstr("gvfsd-gphoto2 (pid 1234)"),
                      HasSubstr("kill 1234"), HasSubstr("docs/linux-usb.md")));
    EXPECT_EQ(line.find('\n'), std::string::npos);

    const std::string unknown = cameraBusyMessage(kNode, {});
    EXPECT_THAT(unknown,
                AllOf(HasSubstr(kNode), HasSubstr("another program"), Not(HasSubstr("kill"))));
    // Without permission, the way to get it.
    EXPECT_THAT(
        cameraAccessDeniedMessage(kNode),
        AllOf(HasSubstr(kNode), HasSubstr("60-corvane-camera.rules"), HasSubstr("plugdev")));
}

}  // namespace
}  // namespace Corvane::CameraController::Impl
