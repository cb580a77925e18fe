#include "core/PtrList.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{

struct Tracked
{
    Tracked(int id, std::vector<int>* log) : id(id), log(log) {}
    ~Tracked() { log->push_back(id); }
    int id;
    std::vector<int>* log;
};

} // namespace

TEST(PtrList, OwningListDeletesLastFirst)
{
    std::vector<int> log;
    {
        OwnedPtrList<Tracked> list;
        for (int i = 0; i < 4; ++i)
            list.Add(new Tracked(i, &log));
    }
    EXPECT_EQ(log, (std::vector<int>{3, 2, 1, 0}));
}

TEST(PtrList, IndexOutsideReadsAsNone)
{
    PtrList<int> list;
    int a = 1, b = 2;
    EXPECT_EQ(list.Get(0), nullptr);
    list.Add(&a);
    list.Add(&b);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Get(2), nullptr);
    EXPECT_EQ(list.Get(1), &b);
}

TEST(PtrList, InsertRemoveAndDeleteKeepOrder)
{
    std::vector<int> log;
    OwnedPtrList<Tracked> list;
    list.Add(new Tracked(1, &log));
    list.Add(new Tracked(3, &log));
    list.Insert(1, new Tracked(2, &log));
    list.Insert(0, new Tracked(0, &log));
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(list.Get(i)->id, i);
    list.Delete(1);
    EXPECT_EQ(log, (std::vector<int>{1}));
    EXPECT_EQ(list.Get(1)->id, 2);
    EXPECT_EQ(list.Count(), 3);
    Tracked* removed = list.Remove(0);
    EXPECT_EQ(removed->id, 0);
    EXPECT_EQ(list.Find(removed), -1);
    delete removed;
}
