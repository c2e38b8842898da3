// The bridge test plug-in in the test browser with one embed "api" of it, and
// the browser's audit once the plug-in has shut down: nothing reported, no
// browser object alive, nothing of the browser's memory left. BridgeOnRoad
// does the same on one delivery road, its parameter: the hidden message window
// (true) or the browser's asynchronous-call entry.
#pragma once

#include "BridgeTestPlugin.h"
#include "CleanShutdown.h"
#include "ScriptPage.h"
#include "TestBrowser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override { start(); }
    void start()
    {
        ASSERT_TRUE(browser.usePlugin(
            BridgeTestPlugin::getEntryPoints, BridgeTestPlugin::initialize, BridgeTestPlugin::shutdown));
        embed = browser.createInstance("api", "application/x-bridge-test", {});
        ASSERT_NE(embed, nullptr);
    }
    void TearDown() override { expectCleanShutdown(browser); }
    std::wstring text(const std::wstring& expression) { return browser.page().text(expression); }
    BridgeTestPlugin::InstanceData& plugin() { return *BridgeTestPlugin::dataOf(&embed->npp); }

    TestBrowser::Browser browser;
    TestBrowser::Instance* embed = nullptr;
};

class BridgeOnRoad : public BridgeTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        BridgeTestPlugin::windowRoad = GetParam();
        start();
    }
    void TearDown() override
    {
        BridgeTest::TearDown();
        BridgeTestPlugin::windowRoad = false;
    }
};
