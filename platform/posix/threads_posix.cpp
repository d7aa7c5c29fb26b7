// Threads, events and locks over the C++ standard library and POSIX.
#include "platform/threads.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// What the thread and its handle share; the last of the two frees it.
struct ThreadShared {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

void raisePriority() {
    // Per-thread nice value on Linux; refused without privileges, which is fine.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -10);
}

} // namespace

struct PlatformThread {
    std::thread thread;
    std::shared_ptr<ThreadShared> shared;
};

struct PlatformEvent {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
};

struct PlatformLock {
    std::mutex mutex;
};

PlatformThread* platformStartThread(PlatformThreadEntry entry, void* context) {
    PlatformThread* handle = new (std::nothrow) PlatformThread;
    if (!handle) return nullptr;
    try {
        handle->shared = std::make_shared<ThreadShared>();
        std::shared_ptr<ThreadShared> shared = handle->shared;
        handle->thread = std::thread([entry, context, shared]() {
            raisePriority();
            entry(context);
            std::lock_guard<std::mutex> guard(shared->mutex);
            shared->done = true;
            shared->ended.notify_all();
        });
    } catch (...) {
        delete handle;
        return nullptr;
    }
    return handle;
}

bool platformWaitThread(PlatformThread* thread, uint32_t timeoutMs) {
    if (!thread) return true;
    std::unique_lock<std::mutex> guard(thread->shared->mutex);
    bool done = thread->shared->ended.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                               [thread]() { return thread->shared->done; });
    guard.unlock();
    if (done && thread->thread.joinable()) thread->thread.join();
    return done;
}

void platformReleaseThread(PlatformThread* thread) {
    if (!thread) return;
    if (thread->thread.joinable()) {
        bool done;
        {
            std::lock_guard<std::mutex> guard(thread->shared->mutex);
            done = thread->shared->done;
        }
        if (done)
            thread->thread.join();
        else
            thread->thread.detach();
    }
    delete thread;
}

PlatformEvent* platformCreateEvent() { return new (std::nothrow) PlatformEvent; }

void platformDestroyEvent(PlatformEvent* event) { delete event; }

void platformSetEvent(PlatformEvent* event) {
    if (!event) return;
    std::lock_guard<std::mutex> guard(event->mutex);
    event->signalled = true;
    event->changed.notify_one();
}

bool platformWaitEvent(PlatformEvent* event, uint32_t timeoutMs) {
    if (!event) return false;
    std::unique_lock<std::mutex> guard(event->mutex);
    bool signalled = event->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                             [event]() { return event->signalled; });
    event->signalled = false; // auto-reset
    return signalled;
}

PlatformLock* platformCreateLock() { return new (std::nothrow) PlatformLock; }

void platformDestroyLock(PlatformLock* lock) { delete lock; }

void platformEnterLock(PlatformLock* lock) {
    if (lock) lock->mutex.lock();
}

void platformLeaveLock(PlatformLock* lock) {
    if (lock) lock->mutex.unlock();
}

void platformSleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
