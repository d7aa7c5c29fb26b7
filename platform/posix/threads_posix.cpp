// Threads, events and locks over the C++ standard library and POSIX.
#include "platform/threads.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include <pthread.h>
#include <sched.h>
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

// The sound refill thread must run within a ring's length (about 93 ms) of
// waking, whatever else loads the machine. A real-time round-robin priority
// does that; where it is not allowed (no privilege, no RLIMIT_RTPRIO), a high
// nice value is the next best. The thread sleeps between refills, so it never
// holds a core.
const int kRealTimePriority = 10;

void raisePriority() {
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0) return;
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

// A priority-inheriting mutex: the main thread holding the player's lock runs
// at the refill thread's priority until it lets go, so a loaded machine cannot
// keep the refill waiting behind it.
struct PlatformLock {
    pthread_mutex_t mutex;
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

PlatformLock* platformCreateLock() {
    PlatformLock* lock = new (std::nothrow) PlatformLock;
    if (!lock) return nullptr;
    pthread_mutexattr_t attributes;
    bool made = pthread_mutexattr_init(&attributes) == 0;
    if (made) {
        // Without priority inheritance the lock still works, only plainly.
        pthread_mutexattr_setprotocol(&attributes, PTHREAD_PRIO_INHERIT);
        made = pthread_mutex_init(&lock->mutex, &attributes) == 0;
        pthread_mutexattr_destroy(&attributes);
    }
    if (!made) {
        delete lock;
        return nullptr;
    }
    return lock;
}

void platformDestroyLock(PlatformLock* lock) {
    if (!lock) return;
    pthread_mutex_destroy(&lock->mutex);
    delete lock;
}

void platformEnterLock(PlatformLock* lock) {
    if (lock) pthread_mutex_lock(&lock->mutex);
}

void platformLeaveLock(PlatformLock* lock) {
    if (lock) pthread_mutex_unlock(&lock->mutex);
}

void platformSleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
