#pragma once
// PtrList: an ordered list of object pointers. OwnedPtrList deletes its objects, last
// first, when it is destroyed. An index outside the list reads as no object.

#include "core/GrowBuffer.h"

template <class T> class PtrList
{
public:
    PtrList() : items_(0) {}
    PtrList(const PtrList&) = delete;
    PtrList& operator=(const PtrList&) = delete;

    int Count() const { return items_.Count(); }

    T* Get(int index) const
    {
        if (index < 0 || index >= Count())
            return nullptr;
        return items_.Get()[index];
    }

    // Appends; answers the object, or none when the list cannot grow.
    T* Add(T* item) { return items_.Append(&item, 1) ? item : nullptr; }

    // Inserts before index (clamped to [0, Count]); answers the object or none.
    T* Insert(int index, T* item)
    {
        const int n = Count();
        if (index < 0)
            index = 0;
        if (index > n)
            index = n;
        if (!items_.Resize(n + 1))
            return nullptr;
        T** p = items_.Get();
        for (int i = n; i > index; --i)
            p[i] = p[i - 1];
        p[index] = item;
        return item;
    }

    // Removes the entry at index without deleting the object; answers it or none.
    T* Remove(int index)
    {
        T* item = Get(index);
        if (!item && (index < 0 || index >= Count()))
            return nullptr;
        T** p = items_.Get();
        const int n = Count();
        for (int i = index; i < n - 1; ++i)
            p[i] = p[i + 1];
        items_.Resize(n - 1);
        return item;
    }

    int Find(const T* item) const
    {
        for (int i = 0; i < Count(); ++i)
            if (items_.Get()[i] == item)
                return i;
        return -1;
    }

    // Forgets every entry without deleting the objects.
    void Clear() { items_.Free(); }

    // Deletes every object, last first, and empties the list.
    void DeleteAll()
    {
        for (int i = Count() - 1; i >= 0; --i)
        {
            T* item = items_.Get()[i];
            items_.Resize(i);
            delete item;
        }
        items_.Free();
    }

    // Deletes the object at index and removes its entry.
    void Delete(int index)
    {
        if (index < 0 || index >= Count())
            return;
        delete Remove(index);
    }

private:
    GrowBuffer<T*> items_;
};

template <class T> class OwnedPtrList : public PtrList<T>
{
public:
    OwnedPtrList() = default;
    ~OwnedPtrList() { this->DeleteAll(); }
};
