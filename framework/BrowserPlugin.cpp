#include "BrowserPlugin.h"

#include "FactoryBase.h"
#include "PluginCore.h"

#include <map>
#include <mutex>
#include <sstream>
#include <vector>

namespace FB {

namespace {

// The MIME types the library registers, with their descriptions.
constexpr char mimeDescriptionText[] = "application/x-parvelplugin::Quorvan Stagecast Plugin V1.0.0.0;";

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

}  // namespace

namespace detail {

std::map<std::string, std::string> parseMimeDescriptions(const std::string& text)
{
    std::map<std::string, std::string> table;
    for (const std::string& entry : split(text, ';')) {
        std::vector<std::string> parts = split(entry, ':');
        if (parts.size() > 2) table[parts[0]] = parts[2];
    }
    return table;
}

}  // namespace detail

namespace {

struct ModulePath {
    std::mutex lock;
    std::string path;
};

ModulePath& processModulePath()
{
    static ModulePath modulePath;
    return modulePath;
}

}  // namespace

BrowserPlugin::BrowserPlugin(const std::string& mimeType)
{
    if (FactoryBasePtr factory = getFactoryInstance()) pluginMain = factory->makePluginCore(mimeType);
}

BrowserPlugin::~BrowserPlugin() = default;

void BrowserPlugin::setModulePath(const std::string& path)
{
    {
        ModulePath& shared = processModulePath();
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.path = path;
    }
    if (pluginMain) pluginMain->setModulePath(path);
}

std::string BrowserPlugin::modulePath()
{
    ModulePath& shared = processModulePath();
    std::lock_guard<std::mutex> guard(shared.lock);
    return shared.path;
}

const std::string& pluginName()
{
    static const std::string name = "parvelplugin";
    return name;
}

std::string pluginDescription(const std::string& mimeType)
{
    static const std::map<std::string, std::string> table = detail::parseMimeDescriptions(mimeDescriptionText);
    auto found = table.find(mimeType);
    return found == table.end() ? "Unknown Description" : found->second;
}

}  // namespace FB
