#include "core/PlugMutex.h"

#include <gtest/gtest.h>
#include <thread>

TEST(PlugMutex, IsRecursiveOnOneThread)
{
    PlugMutex m;
    m.Lock();
    m.Lock();
    m.Unlock();
    m.Unlock();
    SUCCEED();
}

TEST(PlugMutex, ExcludesOtherThreads)
{
    PlugMutex m;
    long counter = 0;
    auto work = [&]
    {
        for (int i = 0; i < 100000; ++i)
        {
            PlugLockGuard outer(m);
            PlugLockGuard inner(m);
            counter = counter + 1;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 200000);
}

TEST(ProcessLock, IsOneLockForTheProcess)
{
    EXPECT_EQ(&ProcessLock::Get(), &ProcessLock::Get());
    PlugLockGuard g(ProcessLock::Get());
    PlugLockGuard again(ProcessLock::Get());
}
