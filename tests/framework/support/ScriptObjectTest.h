// Shared by the scriptable-object tests: a test host, an object shaped like the
// plug-in's scripting object, a page callback, and the text of a script error.
#pragma once

#include "BroadcastTestAPI.h"
#include "FakePageObject.h"
#include "TestBrowserHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// The text of the script error the call raises, or "ok" when it raises none.
template <class Call>
std::string errorOf(Call&& call)
{
    try {
        call();
        return "ok";
    } catch (const FB::script_error& e) {
        return e.what();
    }
}

class ScriptObjectTest : public testing::Test {
protected:
    std::shared_ptr<TestBrowserHost> host = std::make_shared<TestBrowserHost>();
    std::shared_ptr<BroadcastTestAPI> api = std::make_shared<BroadcastTestAPI>();
    std::shared_ptr<FakePageObject> callback = std::make_shared<FakePageObject>(host);
};
