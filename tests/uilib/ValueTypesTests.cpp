#include "PointerCollections.h"
#include "UIRect.h"
#include "UIString.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace SkinUI;

namespace {

std::wstring repeat(wchar_t c, int n)
{
    return std::wstring(n, c);
}

}  // namespace

TEST(UIString, MovesBetweenInlineAndHeapStorage)
{
    CUIString s(repeat(L'a', 63).c_str());
    EXPECT_FALSE(s.IsInline());
    EXPECT_EQ(63, s.GetLength());
    s = repeat(L'b', 62).c_str();
    EXPECT_TRUE(s.IsInline());
    EXPECT_EQ(repeat(L'b', 62), s.GetData());

    CUIString heap(repeat(L'c', 100).c_str());
    heap.Assign(L"short");
    EXPECT_TRUE(heap.IsInline());
    EXPECT_STREQ(L"short", heap);
}

TEST(UIString, AppendKeepsTheWholeText)
{
    struct Case {
        int start, added;
    } cases[] = {{10, 20}, {40, 30}, {62, 1}, {61, 1}, {70, 5}, {0, 200}};
    for (const Case& c : cases) {
        CUIString s(repeat(L'x', c.start).c_str());
        s.Append(repeat(L'y', c.added).c_str());
        EXPECT_EQ(repeat(L'x', c.start) + repeat(L'y', c.added), s.GetData()) << c.start << "+" << c.added;
    }
    // A heap string shortened and appended to ends inline with its whole text.
    CUIString s(repeat(L'z', 80).c_str());
    s.Assign(s.GetData(), 30);
    s.Append(L"tail");
    EXPECT_EQ(repeat(L'z', 30) + L"tail", s.GetData());
    s.Append(nullptr);
    EXPECT_EQ(34, s.GetLength());
    // Appending itself.
    CUIString self(repeat(L'q', 40).c_str());
    self += self;
    EXPECT_EQ(repeat(L'q', 80), self.GetData());
}

TEST(UIString, SubstringsFindAndReplace)
{
    CUIString s(L"hello world");
    EXPECT_STREQ(L"", s.Mid(20));
    EXPECT_STREQ(L"world", s.Mid(6));
    EXPECT_STREQ(L"wo", s.Mid(6, 2));
    EXPECT_STREQ(L"", s.Left(-3));
    EXPECT_STREQ(L"hel", s.Left(3));
    EXPECT_STREQ(L"hello world", s.Left(99));
    EXPECT_EQ(4, s.Find(L'o'));
    EXPECT_EQ(7, s.Find(L'o', 5));
    EXPECT_EQ(-1, s.Find(L'z'));
    EXPECT_EQ(-1, s.Find(L'o', 50));
    EXPECT_EQ(6, s.Find(L"wor"));
    EXPECT_EQ(7, s.ReverseFind(L'o'));
    EXPECT_EQ(0, s.Compare(L"hello world"));
    EXPECT_LT(s.Compare(L"hello x"), 0);
    EXPECT_TRUE(s == L"hello world");
    EXPECT_FALSE(s == L"Hello world");

    CUIString r(L"a<n>b<n>c");
    EXPECT_EQ(2, r.Replace(L"<n>", L"\r\n"));
    EXPECT_STREQ(L"a\r\nb\r\nc", r);
    CUIString grow(L"aaa");
    EXPECT_EQ(3, grow.Replace(L"a", L"aa"));  // scans on after each replacement
    EXPECT_STREQ(L"aaaaaa", grow);
}

TEST(UIString, FormatCutsAt127Characters)
{
    CUIString s;
    s.Format(L"%d-%02d", 2024, 5);
    EXPECT_STREQ(L"2024-05", s);
    std::wstring longText = repeat(L'k', 300);
    s.Format(L"%ls", longText.c_str());
    EXPECT_EQ(127, s.GetLength());
    EXPECT_EQ(repeat(L'k', 127), s.GetData());
}

TEST(PtrArray, GrowsInsertsAndRemoves)
{
    CPtrArrayUI a;
    int items[30];
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(a.Add(&items[i]));
    EXPECT_EQ(30, a.GetSize());
    EXPECT_EQ(&items[29], a.GetAt(29));
    EXPECT_EQ(nullptr, a.GetAt(30));
    EXPECT_EQ(nullptr, a.GetAt(-1));
    int extra = 0;
    EXPECT_TRUE(a.InsertAt(0, &extra));
    EXPECT_EQ(&extra, a.GetAt(0));
    EXPECT_EQ(&items[0], a.GetAt(1));
    EXPECT_TRUE(a.InsertAt(a.GetSize(), &extra));  // the count appends
    EXPECT_FALSE(a.InsertAt(a.GetSize() + 1, &extra));
    EXPECT_FALSE(a.InsertAt(-1, &extra));
    EXPECT_EQ(0, a.Find(&extra));
    EXPECT_TRUE(a.Remove(0));
    EXPECT_EQ(&items[0], a.GetAt(0));
    EXPECT_FALSE(a.Remove(100));
    EXPECT_EQ(31, a.GetSize());
    a.Resize(5);
    EXPECT_EQ(5, a.GetSize());
    EXPECT_EQ(nullptr, a.GetAt(4));
    a.Empty();
    EXPECT_TRUE(a.IsEmpty());
}

TEST(StringPtrMap, HashChainsAndMoveToFront)
{
    CStringPtrMapUI map(16);
    // Find two keys in the same bucket of 16.
    std::wstring first = L"k0", second;
    for (int i = 1; second.empty(); ++i) {
        std::wstring candidate = L"k" + std::to_wstring(i);
        if (CStringPtrMapUI::Hash(candidate.c_str()) % 16 == CStringPtrMapUI::Hash(first.c_str()) % 16)
            second = candidate;
    }
    int a = 1, b = 2;
    EXPECT_TRUE(map.Insert(first.c_str(), &a));
    EXPECT_TRUE(map.Insert(second.c_str(), &b));
    EXPECT_FALSE(map.Insert(first.c_str(), &b));
    EXPECT_STREQ(second.c_str(), map.GetChainHead(first.c_str()));
    EXPECT_EQ(&a, map.Find(first.c_str(), false));
    EXPECT_STREQ(second.c_str(), map.GetChainHead(first.c_str()));
    EXPECT_EQ(&a, map.Find(first.c_str(), true));
    EXPECT_STREQ(first.c_str(), map.GetChainHead(first.c_str()));
    EXPECT_EQ(&b, map.Find(second.c_str()));
    EXPECT_EQ(&b, map.Set(second.c_str(), &a));
    EXPECT_EQ(&a, map.Find(second.c_str()));
    EXPECT_EQ(nullptr, map.Set(L"new", &b));
    EXPECT_EQ(3, map.GetSize());
    EXPECT_TRUE(map.Remove(first.c_str()));
    EXPECT_FALSE(map.Remove(first.c_str()));
    EXPECT_EQ(nullptr, map.Find(first.c_str()));
    EXPECT_EQ(&a, map.Find(second.c_str()));
    EXPECT_EQ(2, map.GetSize());
    EXPECT_EQ(nullptr, map.GetAt(2));
    EXPECT_NE(nullptr, map.GetAt(1));
}

TEST(StringPtrMap, ChainsStayShortAsTheMapFills)
{
    // A window of many named controls: the 83 buckets grow, so that the keys
    // spread over many more chains, and every key is still found and listed.
    CStringPtrMapUI map(83);
    constexpr int kKeys = 10000;
    std::vector<std::wstring> keys;
    for (int i = 0; i < kKeys; ++i) keys.push_back(L"control" + std::to_wstring(i));
    for (std::wstring& key : keys) ASSERT_TRUE(map.Insert(key.c_str(), &key));
    EXPECT_EQ(kKeys, map.GetSize());
    std::set<std::wstring> heads, listed;
    for (std::wstring& key : keys) {
        ASSERT_EQ(&key, map.Find(key.c_str(), false)) << key;
        heads.insert(map.GetChainHead(key.c_str()));
    }
    EXPECT_GT(heads.size(), static_cast<size_t>(kKeys / 4));
    for (int i = 0; i < kKeys; i += 997) listed.insert(map.GetAt(i));
    EXPECT_EQ(static_cast<size_t>((kKeys + 996) / 997), listed.size());
}

TEST(StringPtrMap, EmptyAndBucketlessMapsAnswerNothing)
{
    CStringPtrMapUI map;
    EXPECT_EQ(nullptr, map.Find(L"x"));
    map.Resize(0);
    EXPECT_EQ(nullptr, map.Find(L"x"));
    int v = 0;
    EXPECT_FALSE(map.Insert(L"x", &v));
    EXPECT_EQ(nullptr, map.Set(L"x", &v));
    EXPECT_FALSE(map.Remove(L"x"));
    EXPECT_EQ(nullptr, map.GetAt(0));
    map.Resize(-5);
    EXPECT_EQ(nullptr, map.Find(L"x"));
}

TEST(UIRect, Operations)
{
    CUIRect r(10, 20, 50, 80);
    EXPECT_EQ(40, r.GetWidth());
    EXPECT_EQ(60, r.GetHeight());
    r.Join(CUIRect(0, 30, 20, 100));
    EXPECT_TRUE(r == CUIRect(0, 20, 50, 100));
    r.Offset(5, -5);
    EXPECT_TRUE(r == CUIRect(5, 15, 55, 95));
    r.Deflate(5, 10);
    EXPECT_TRUE(r == CUIRect(10, 25, 50, 85));
    r.ResetOffset();
    EXPECT_TRUE(r == CUIRect(0, 0, 40, 60));
    r.Empty();
    EXPECT_TRUE(r.IsNull());
}
