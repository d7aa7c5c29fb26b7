// The refill thread must not wait behind a loaded machine: it runs round-robin
// real-time where that is allowed, and the lock it shares with the main thread
// lends its priority to whoever holds it.
#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Whether this process may make a thread real-time (root with the capability,
// or a real-time limit): asked of a thread of its own.
bool realTimeAllowed() {
    bool allowed = false;
    std::thread probe([&allowed]() {
        sched_param param{};
        param.sched_priority = 10;
        allowed = pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
    });
    probe.join();
    return allowed;
}

pid_t threadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// The kernel's current priority of a thread of this process, as /proc shows it:
// 0..39 for nice -20..19, and -1 - p for real-time priority p (boosts included).
int kernelPriority(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 18; ++i) fields >> field;  // field 18 is the priority
    return std::stoi(field);
}

struct Observed {
    int policy = -1;
    int priority = -1;
};

void recordPolicy(void* context) {
    Observed* observed = static_cast<Observed*>(context);
    sched_param param{};
    pthread_getschedparam(pthread_self(), &observed->policy, &param);
    observed->priority = param.sched_priority;
}

struct Waiter {
    PlatformLock* lock;
    std::atomic<bool> entered{false};
};

void waitForLock(void* context) {
    Waiter* waiter = static_cast<Waiter*>(context);
    platformEnterLock(waiter->lock);
    waiter->entered = true;
    platformLeaveLock(waiter->lock);
}

} // namespace

TEST(RefillThread, RunsRoundRobinWhereAllowed) {
    Observed observed;
    PlatformThread* thread = platformStartThread(&recordPolicy, &observed);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(platformWaitThread(thread, 5000));
    platformReleaseThread(thread);
    if (realTimeAllowed()) {
        EXPECT_EQ(observed.policy, SCHED_RR);
        EXPECT_EQ(observed.priority, 10);
    } else {
        EXPECT_EQ(observed.policy, SCHED_OTHER);
    }
}

TEST(RefillThread, LockHolderInheritsItsPriority) {
    if (!realTimeAllowed()) GTEST_SKIP() << "real-time priority is not allowed here";
    PlatformLock* lock = platformCreateLock();
    ASSERT_NE(lock, nullptr);
    const pid_t self = threadId();
    const int plain = kernelPriority(self);
    ASSERT_GE(plain, 0) << "the test thread itself must start at a normal priority";

    platformEnterLock(lock);
    Waiter waiter{lock};
    PlatformThread* thread = platformStartThread(&waitForLock, &waiter);
    ASSERT_NE(thread, nullptr);
    // While the real-time thread waits, the holder runs at its priority.
    int boosted = plain;
    for (int i = 0; i < 400 && boosted == plain; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        boosted = kernelPriority(self);
    }
    EXPECT_EQ(boosted, -11);
    EXPECT_FALSE(waiter.entered);
    platformLeaveLock(lock);

    ASSERT_TRUE(platformWaitThread(thread, 5000));
    platformReleaseThread(thread);
    EXPECT_TRUE(waiter.entered);
    EXPECT_EQ(kernelPriority(self), plain);
    platformDestroyLock(lock);
}
