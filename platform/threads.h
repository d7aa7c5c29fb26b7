#pragma once
// Threads, events, locks and sleeping: what the music player's refill thread
// needs of the machine. Handles are opaque; every operation reports failure by
// its result and never throws.
#include <cstdint>

struct PlatformThread;
struct PlatformEvent;
struct PlatformLock;

typedef void (*PlatformThreadEntry)(void* context);

// Starts entry(context) on a new thread at the highest priority the system
// grants (a refused priority is not a failure). Null when no thread started.
PlatformThread* platformStartThread(PlatformThreadEntry entry, void* context);
// Waits at most timeoutMs for the thread to end; true when it has ended.
bool platformWaitThread(PlatformThread* thread, uint32_t timeoutMs);
// Releases the handle; a thread still running goes on detached.
void platformReleaseThread(PlatformThread* thread);

// An auto-reset event, created not signalled. Null on failure.
PlatformEvent* platformCreateEvent();
void platformDestroyEvent(PlatformEvent* event);
// Signals the event; one waiter (or the next wait) consumes it.
void platformSetEvent(PlatformEvent* event);
// Waits at most timeoutMs; true when the event was signalled (and is now reset).
bool platformWaitEvent(PlatformEvent* event, uint32_t timeoutMs);

// A lock that one thread at a time holds. Null on failure.
PlatformLock* platformCreateLock();
void platformDestroyLock(PlatformLock* lock);
void platformEnterLock(PlatformLock* lock);
void platformLeaveLock(PlatformLock* lock);

void platformSleep(uint32_t milliseconds);
