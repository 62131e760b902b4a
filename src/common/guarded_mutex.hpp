// A mutex and scoped lock that Clang's -Wthread-safety analysis understands, and the attribute
// macros that tie fields and functions to them. Other compilers see a plain std::mutex.
//
//   mutable Mutex mutex;
//   int count GUARDED_BY(mutex) = 0;
//   void bump() { const MutexLock lock(mutex); ++count; }
//
// The rules these marks check are written in docs/threading.md.
#pragma once

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define CORVANE_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define CORVANE_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) CORVANE_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY CORVANE_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) CORVANE_THREAD_ATTRIBUTE(guarded_by(x))
#define REQUIRES(...) CORVANE_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) CORVANE_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) CORVANE_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) CORVANE_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS CORVANE_THREAD_ATTRIBUTE(no_thread_safety_analysis)

namespace Corvane::CameraController::Impl {

/// std::mutex marked as a capability. Never held across a listener call, a sleep or a wait for
/// a task.
class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { mutex.lock(); }
    void unlock() RELEASE() { mutex.unlock(); }
    /// For a std::condition_variable wait inside a MutexLock's scope.
    std::mutex& native() { return mutex; }

private:
    std::mutex mutex;
};

/// Holds a Mutex for its scope.
class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex(mutex) { mutex.lock(); }
    ~MutexLock() RELEASE() { mutex.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

    /// Waits on `condition` with the mutex released meanwhile; `done` runs with it held.
    template <class Duration, class Predicate>
    bool waitFor(std::condition_variable& condition, Duration duration, Predicate done) {
        std::unique_lock<std::mutex> native(mutex.native(), std::adopt_lock);
        const bool result = condition.wait_for(native, duration, done);
        native.release();
        return result;
    }

private:
    Mutex& mutex;
};

}  // namespace Corvane::CameraController::Impl
