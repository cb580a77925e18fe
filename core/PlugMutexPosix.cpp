#include "core/PlugMutex.h"

#include <new>
#include <pthread.h>

static_assert(sizeof(pthread_mutex_t) <= 64, "PlugMutex storage too small");

namespace
{
pthread_mutex_t* Native(unsigned char* storage)
{
    return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}
} // namespace

PlugMutex::PlugMutex()
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(new (storage_) pthread_mutex_t, &attr);
    pthread_mutexattr_destroy(&attr);
}

PlugMutex::~PlugMutex()
{
    pthread_mutex_destroy(Native(storage_));
}
void PlugMutex::Lock()
{
    pthread_mutex_lock(Native(storage_));
}
void PlugMutex::Unlock()
{
    pthread_mutex_unlock(Native(storage_));
}

namespace
{
// Created when the library loads, as on Windows: nothing takes it before then.
PlugMutex gProcessLock;
} // namespace

PlugMutex& ProcessLock::Get()
{
    return gProcessLock;
}
