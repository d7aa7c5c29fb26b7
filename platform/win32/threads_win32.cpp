// Threads, events and locks over the Win32 kernel.
#include <windows.h>

#include <new>

#include "platform/threads.h"

struct PlatformThread {
    HANDLE handle;
    PlatformThreadEntry entry;
    void* context;
};

struct PlatformLock {
    CRITICAL_SECTION section;
};

namespace {
DWORD WINAPI threadMain(LPVOID parameter) {
    PlatformThread* thread = static_cast<PlatformThread*>(parameter);
    thread->entry(thread->context);
    return 0;
}
}  // namespace

PlatformThread* platformStartThread(PlatformThreadEntry entry, void* context) {
    PlatformThread* thread = new (std::nothrow) PlatformThread{nullptr, entry, context};
    if (!thread) return nullptr;
    DWORD id = 0;
    thread->handle = CreateThread(nullptr, 0, threadMain, thread, 0, &id);
    if (!thread->handle) {
        delete thread;
        return nullptr;
    }
    SetThreadPriority(thread->handle, THREAD_PRIORITY_HIGHEST);
    return thread;
}

bool platformWaitThread(PlatformThread* thread, uint32_t timeoutMs) {
    if (!thread) return true;
    return WaitForSingleObject(thread->handle, timeoutMs) == WAIT_OBJECT_0;
}

void platformReleaseThread(PlatformThread* thread) {
    if (!thread) return;
    // A thread still running keeps using its record: leave it to the process.
    if (WaitForSingleObject(thread->handle, 0) != WAIT_OBJECT_0) return;
    CloseHandle(thread->handle);
    delete thread;
}

PlatformEvent* platformCreateEvent() {
    return reinterpret_cast<PlatformEvent*>(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

void platformDestroyEvent(PlatformEvent* event) {
    if (event) CloseHandle(reinterpret_cast<HANDLE>(event));
}

void platformSetEvent(PlatformEvent* event) {
    if (event) SetEvent(reinterpret_cast<HANDLE>(event));
}

bool platformWaitEvent(PlatformEvent* event, uint32_t timeoutMs) {
    if (!event) {
        Sleep(timeoutMs);
        return false;
    }
    return WaitForSingleObject(reinterpret_cast<HANDLE>(event), timeoutMs) == WAIT_OBJECT_0;
}

PlatformLock* platformCreateLock() {
    PlatformLock* lock = new (std::nothrow) PlatformLock;
    if (lock) InitializeCriticalSection(&lock->section);
    return lock;
}

void platformDestroyLock(PlatformLock* lock) {
    if (!lock) return;
    DeleteCriticalSection(&lock->section);
    delete lock;
}

void platformEnterLock(PlatformLock* lock) { EnterCriticalSection(&lock->section); }
void platformLeaveLock(PlatformLock* lock) { LeaveCriticalSection(&lock->section); }

void platformSleep(uint32_t milliseconds) { Sleep(milliseconds); }
