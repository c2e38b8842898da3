// Shared by the scriptable-object tests: a test host with its page, an object
// shaped like the plug-in's scripting object, a page callback, and the text of a
// script error.
#pragma once

#include "BroadcastTestAPI.h"
#include "PageObject.h"
#include "TestBrowserHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// The text of the script error (or of the Error given) the call raises, or
// "ok" when it raises none; any other exception fails the test.
template <class Error = FB::script_error, class Call>
std::string errorOf(Call&& call)
{
    try {
        call();
        return "ok";
    } catch (const Error& e) {
        return e.what();
    }
}

class ScriptObjectTest : public testing::Test {
protected:
    std::shared_ptr<fbtest::TestBrowserHost> host = std::make_shared<fbtest::TestBrowserHost>();
    std::shared_ptr<fbtest::TestPage> page = host->attachPage();
    std::shared_ptr<BroadcastTestAPI> api = std::make_shared<BroadcastTestAPI>();
    std::shared_ptr<fbtest::PageObject> callback = std::make_shared<fbtest::PageObject>(host);
};
