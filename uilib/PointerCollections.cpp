#include "PointerCollections.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace SkinUI {

CPtrArrayUI::CPtrArrayUI(int initialCapacity)
{
    if (initialCapacity <= 0) return;
    m_items = static_cast<void**>(malloc(initialCapacity * sizeof(void*)));
    if (m_items) m_capacity = initialCapacity;
}

CPtrArrayUI::CPtrArrayUI(const CPtrArrayUI& other)
{
    for (int i = 0; i < other.GetSize(); ++i) Add(other.GetAt(i));
}

CPtrArrayUI& CPtrArrayUI::operator=(const CPtrArrayUI& other)
{
    if (this == &other) return *this;
    Empty();
    for (int i = 0; i < other.GetSize(); ++i) Add(other.GetAt(i));
    return *this;
}

CPtrArrayUI::~CPtrArrayUI()
{
    free(m_items);
}

void CPtrArrayUI::Empty()
{
    free(m_items);
    m_items = nullptr;
    m_count = m_capacity = 0;
}

bool CPtrArrayUI::Resize(int count)
{
    Empty();
    if (count <= 0) return true;
    m_items = static_cast<void**>(calloc(count, sizeof(void*)));
    if (!m_items) return false;
    m_count = m_capacity = count;
    return true;
}

int CPtrArrayUI::Find(void* item) const
{
    for (int i = 0; i < m_count; ++i)
        if (m_items[i] == item) return i;
    return -1;
}

bool CPtrArrayUI::grow()
{
    if (m_count + 1 < m_capacity) return true;
    int capacity = m_capacity == 0 ? 11 : m_capacity * 2;
    void** grown = static_cast<void**>(realloc(m_items, capacity * sizeof(void*)));
    if (!grown) return false;
    m_items = grown;
    m_capacity = capacity;
    return true;
}

bool CPtrArrayUI::Add(void* item)
{
    if (!grow()) return false;
    m_items[m_count++] = item;
    return true;
}

bool CPtrArrayUI::SetAt(int index, void* item)
{
    if (index < 0 || index >= m_count) return false;
    m_items[index] = item;
    return true;
}

bool CPtrArrayUI::InsertAt(int index, void* item)
{
    if (index == m_count) return Add(item);
    if (index < 0 || index > m_count) return false;
    if (!grow()) return false;
    memmove(&m_items[index + 1], &m_items[index], (m_count - index) * sizeof(void*));
    m_items[index] = item;
    ++m_count;
    return true;
}

bool CPtrArrayUI::Remove(int index)
{
    if (index < 0 || index >= m_count) return false;
    if (index < --m_count) memmove(&m_items[index], &m_items[index + 1], (m_count - index) * sizeof(void*));
    return true;
}

void* CPtrArrayUI::GetAt(int index) const
{
    if (index < 0 || index >= m_count) return nullptr;
    return m_items[index];
}

CStringPtrMapUI::CStringPtrMapUI(int buckets)
{
    Resize(buckets < 16 ? 16 : buckets);
}

CStringPtrMapUI::~CStringPtrMapUI()
{
    Resize(0);
}

unsigned int CStringPtrMapUI::Hash(const wchar_t* key)
{
    unsigned int hash = 0;
    for (size_t i = wcslen(key); i > 0; --i) hash = hash * 33 + static_cast<unsigned int>(key[i - 1]);
    return hash;
}

void CStringPtrMapUI::freeEntries()
{
    for (int i = 0; i < m_bucketCount; ++i) {
        Entry* entry = m_buckets[i];
        while (entry) {
            Entry* next = entry->next;
            delete entry;
            entry = next;
        }
        m_buckets[i] = nullptr;
    }
    m_count = 0;
}

void CStringPtrMapUI::Resize(int buckets)
{
    freeEntries();
    free(m_buckets);
    m_buckets = nullptr;
    m_bucketCount = 0;
    if (buckets <= 0) return;
    m_buckets = static_cast<Entry**>(calloc(buckets, sizeof(Entry*)));
    if (m_buckets) m_bucketCount = buckets;
}

void CStringPtrMapUI::RemoveAll()
{
    freeEntries();
}

void* CStringPtrMapUI::Find(const wchar_t* key, bool moveToFront)
{
    if (!key || m_bucketCount == 0 || m_count == 0) return nullptr;
    unsigned int slot = Hash(key) % m_bucketCount;
    for (Entry* entry = m_buckets[slot]; entry; entry = entry->next) {
        if (entry->key != key) continue;
        if (moveToFront && entry != m_buckets[slot]) {
            entry->prev->next = entry->next;
            if (entry->next) entry->next->prev = entry->prev;
            entry->prev = nullptr;
            entry->next = m_buckets[slot];
            m_buckets[slot]->prev = entry;
            m_buckets[slot] = entry;
        }
        return entry->value;
    }
    return nullptr;
}

void CStringPtrMapUI::grow()
{
    // Doubling (odd counts) keeps chains short; a failed allocation keeps the map as it is.
    int buckets = m_bucketCount * 2 + 1;
    auto** grown = static_cast<Entry**>(calloc(buckets, sizeof(Entry*)));
    if (!grown) return;
    for (int i = 0; i < m_bucketCount; ++i) {
        Entry* tail = m_buckets[i];
        while (tail && tail->next) tail = tail->next;
        // From the tail, so that entries sharing a new chain keep their order.
        for (Entry* entry = tail; entry;) {
            Entry* prev = entry->prev;
            unsigned int slot = Hash(entry->key) % buckets;
            entry->prev = nullptr;
            entry->next = grown[slot];
            if (grown[slot]) grown[slot]->prev = entry;
            grown[slot] = entry;
            entry = prev;
        }
    }
    free(m_buckets);
    m_buckets = grown;
    m_bucketCount = buckets;
}

bool CStringPtrMapUI::Insert(const wchar_t* key, void* value)
{
    if (!key || m_bucketCount == 0) return false;
    unsigned int slot = Hash(key) % m_bucketCount;
    for (Entry* entry = m_buckets[slot]; entry; entry = entry->next)
        if (entry->key == key) return false;
    if (m_count >= m_bucketCount * 2) {
        grow();
        slot = Hash(key) % m_bucketCount;
    }
    Entry* entry = new (std::nothrow) Entry{CUIString(key), value, nullptr, m_buckets[slot]};
    if (!entry) return false;
    if (m_buckets[slot]) m_buckets[slot]->prev = entry;
    m_buckets[slot] = entry;
    ++m_count;
    return true;
}

void* CStringPtrMapUI::Set(const wchar_t* key, void* value)
{
    if (!key || m_bucketCount == 0) return nullptr;
    unsigned int slot = Hash(key) % m_bucketCount;
    for (Entry* entry = m_buckets[slot]; entry; entry = entry->next) {
        if (entry->key != key) continue;
        void* old = entry->value;
        entry->value = value;
        return old;
    }
    Insert(key, value);
    return nullptr;
}

bool CStringPtrMapUI::Remove(const wchar_t* key)
{
    if (!key || m_bucketCount == 0) return false;
    unsigned int slot = Hash(key) % m_bucketCount;
    for (Entry* entry = m_buckets[slot]; entry; entry = entry->next) {
        if (entry->key != key) continue;
        if (entry->prev)
            entry->prev->next = entry->next;
        else
            m_buckets[slot] = entry->next;
        if (entry->next) entry->next->prev = entry->prev;
        delete entry;
        --m_count;
        return true;
    }
    return false;
}

const wchar_t* CStringPtrMapUI::GetAt(int index) const
{
    if (index < 0 || index >= m_count) return nullptr;
    int seen = 0;
    for (int slot = m_bucketCount - 1; slot >= 0; --slot)
        for (Entry* entry = m_buckets[slot]; entry; entry = entry->next)
            if (seen++ == index) return entry->key;
    return nullptr;
}

const wchar_t* CStringPtrMapUI::GetChainHead(const wchar_t* key) const
{
    if (!key || m_bucketCount == 0) return nullptr;
    Entry* head = m_buckets[Hash(key) % m_bucketCount];
    return head ? head->key.GetData() : nullptr;
}

}  // namespace SkinUI
