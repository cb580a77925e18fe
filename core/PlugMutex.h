#pragma once
// PlugMutex: the recursive per-instance lock (a critical section on Windows, a recursive
// pthread mutex elsewhere). ProcessLock: the one process-wide lock taken around the
// creation of plug-in instances; it is created when the library loads and lives until the
// library unloads.

class PlugMutex
{
public:
    PlugMutex();
    ~PlugMutex();
    PlugMutex(const PlugMutex&) = delete;
    PlugMutex& operator=(const PlugMutex&) = delete;

    void Lock();
    void Unlock();

private:
    // Storage for the platform lock, kept opaque so that no system header leaks out.
    alignas(16) unsigned char storage_[64];
};

// Holds a PlugMutex for the lifetime of a scope.
class PlugLockGuard
{
public:
    explicit PlugLockGuard(PlugMutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
    ~PlugLockGuard() { mutex_.Unlock(); }
    PlugLockGuard(const PlugLockGuard&) = delete;
    PlugLockGuard& operator=(const PlugLockGuard&) = delete;

private:
    PlugMutex& mutex_;
};

class ProcessLock
{
public:
    // The process-wide lock. Not for use by other static initialisers.
    static PlugMutex& Get();
};
