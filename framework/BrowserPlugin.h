// Base of the browser-specific plug-in objects (NPAPI plug-in, ActiveX control):
// obtains the plug-in core for its MIME type from the process-wide factory.
//
// Also the plug-in's name and its description by MIME type.
#pragma once

#include <map>
#include <memory>
#include <string>

namespace FB {

class PluginCore;

class BrowserPlugin {
public:
    explicit BrowserPlugin(const std::string& mimeType);
    BrowserPlugin(const BrowserPlugin&) = delete;
    BrowserPlugin& operator=(const BrowserPlugin&) = delete;
    virtual ~BrowserPlugin();

    // The binding's own teardown step.
    virtual void shutdown() = 0;
    // Stores the module's path process-wide and hands it to the core.
    virtual void setModulePath(const std::string& path);

    const std::shared_ptr<PluginCore>& core() const { return pluginMain; }

    // The module path last set by any plug-in object of the process.
    static std::string modulePath();

protected:
    std::shared_ptr<PluginCore> pluginMain;
};

namespace detail {
// "type:unused:description;..." into type -> description; entries with fewer
// than three parts add nothing. Not for use outside the framework.
std::map<std::string, std::string> parseMimeDescriptions(const std::string& text);
}  // namespace detail

// "parvelplugin".
const std::string& pluginName();
// The description registered for the MIME type, else "Unknown Description".
std::string pluginDescription(const std::string& mimeType);

}  // namespace FB
