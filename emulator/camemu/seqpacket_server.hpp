// Serves the device side of an emulated camera's USB pipes on a Unix SOCK_SEQPACKET socket.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Corvane::CameraController::Emulator {

class CameraModel;

class SeqpacketServer {
public:
    SeqpacketServer(std::shared_ptr<CameraModel> model, std::string path);
    ~SeqpacketServer();
    SeqpacketServer(const SeqpacketServer&) = delete;
    SeqpacketServer& operator=(const SeqpacketServer&) = delete;

    /// Creates the socket (replacing a stale one). False with a reason on failure.
    bool listen(std::string& error);
    /// Accepts connections until a byte arrives on `controlFd`: 'q' ends the loop, 'u' pulls
    /// or puts back the USB cable.
    void run(int controlFd);

private:
    void serve(int fd);
    void togglePlug();
    void dropConnections();

    const std::shared_ptr<CameraModel> model_;
    const std::string path_;
    int listenFd_ = -1;
    bool listening_ = false;
    std::mutex connectionsMutex_;
    std::vector<int> connections_;
    std::vector<std::thread> threads_;
};

}  // namespace Corvane::CameraController::Emulator
