// The UI library's plain containers: CPtrArrayUI, a growable array of untyped
// pointers (it does not own what they point to), and CStringPtrMapUI, a hash map
// from wide-string keys to untyped pointers (it owns its entries, not the values).
// The map starts with the bucket count it is given and adds buckets as it fills,
// so that lookups stay short for any number of keys.
// Single-threaded values.
#pragma once

#include "UIString.h"

namespace SkinUI {

class CPtrArrayUI {
public:
    explicit CPtrArrayUI(int initialCapacity = 0);
    CPtrArrayUI(const CPtrArrayUI& other);
    CPtrArrayUI& operator=(const CPtrArrayUI& other);
    ~CPtrArrayUI();

    void Empty();
    bool Resize(int count);  // count null items
    bool IsEmpty() const { return m_count == 0; }
    int Find(void* item) const;
    bool Add(void* item);
    bool SetAt(int index, void* item);
    bool InsertAt(int index, void* item);
    bool Remove(int index);
    int GetSize() const { return m_count; }
    void* GetData() const { return m_items; }
    void* GetAt(int index) const;
    void* operator[](int index) const { return GetAt(index); }

private:
    bool grow();

    void** m_items = nullptr;
    int m_count = 0;
    int m_capacity = 0;
};

class CStringPtrMapUI {
public:
    explicit CStringPtrMapUI(int buckets = 83);
    ~CStringPtrMapUI();
    CStringPtrMapUI(const CStringPtrMapUI&) = delete;
    CStringPtrMapUI& operator=(const CStringPtrMapUI&) = delete;

    void Resize(int buckets = 83);
    void* Find(const wchar_t* key, bool moveToFront = true);
    bool Insert(const wchar_t* key, void* value);
    void* Set(const wchar_t* key, void* value);
    bool Remove(const wchar_t* key);
    void RemoveAll();
    int GetSize() const { return m_count; }
    const wchar_t* GetAt(int index) const;
    const wchar_t* operator[](int index) const { return GetAt(index); }
    // The key at the head of a key's chain (for tests of the chain order).
    const wchar_t* GetChainHead(const wchar_t* key) const;
    static unsigned int Hash(const wchar_t* key);

private:
    struct Entry {
        CUIString key;
        void* value;
        Entry* prev;
        Entry* next;
    };
    void freeEntries();
    // More buckets once the chains average two entries.
    void grow();

    Entry** m_buckets = nullptr;
    int m_bucketCount = 0;
    int m_count = 0;
};

}  // namespace SkinUI
