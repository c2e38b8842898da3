// The safe-for-scripting options every control of ours offers: the two
// scripting bits supported and none enabled at first; a mask reaching outside
// them refused and changing nothing; bits outside a mask kept; an interface the
// control lacks refused with E_NOINTERFACE; a missing out pointer refused.
//
//   expectScriptingSafetyOptions(safety, IID_IPersistStreamInit);  // on a fresh control
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objsafe.h>

inline void expectScriptingSafetyOptions(IObjectSafety* safety, REFIID lacking)
{
    DWORD supported = 9, enabled = 9;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 1), S_OK);
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 6, 6), E_FAIL) << "one bit outside is enough";
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 1u) << "a refused mask changes nothing";
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 2, 2), S_OK);
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
    EXPECT_EQ(enabled, 3u) << "bits outside the mask are kept";
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(lacking, &supported, &enabled), E_NOINTERFACE);
    EXPECT_EQ(supported, 0u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(lacking, 1, 1), E_NOINTERFACE);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
}
