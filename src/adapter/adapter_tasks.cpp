#include "adapter/adapter_tasks.hpp"

namespace Corvane::CameraController::Impl {

namespace {

thread_local const void* runningOwner = nullptr;
thread_local AdapterTask runningTask = AdapterTask::None;

}  // namespace

AdapterTaskMark::AdapterTaskMark(const void* owner, AdapterTask task)
    : previousOwner(runningOwner), previousTask(runningTask) {
    runningOwner = owner;
    runningTask = task;
}

AdapterTaskMark::~AdapterTaskMark() {
    runningOwner = previousOwner;
    runningTask = previousTask;
}

AdapterTask AdapterTaskMark::current(const void* owner) {
    return owner != nullptr && owner == runningOwner ? runningTask : AdapterTask::None;
}

}  // namespace Corvane::CameraController::Impl
