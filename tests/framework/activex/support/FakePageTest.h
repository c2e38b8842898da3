// A test over the fake Internet Explorer page with an ActiveX browser host on
// it; at the end every reference handed to a fake must have come back.
#pragma once

#include "ActiveXBrowserHost.h"
#include "FakePage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace activextest {

class FakePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        page = PageFakes::Page::make();
        host = std::make_shared<FB::ActiveX::ActiveXBrowserHost>(page.browser.Get(), page.site.Get());
    }
    void TearDown() override
    {
        host->shutDownHost();
        host.reset();
        page.release();
        EXPECT_THAT(PageFakes::liveObjects(), ::testing::IsEmpty()) << "a reference to a fake did not come back";
    }

    PageFakes::Page page;
    std::shared_ptr<FB::ActiveX::ActiveXBrowserHost> host;
};

// The text of the exception a call throws, or "none".
template <class Call>
std::string errorOf(Call call)
{
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "none";
}

}  // namespace activextest
