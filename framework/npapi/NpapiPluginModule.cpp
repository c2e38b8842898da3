#include "NpapiPluginModule.h"

#include "NpapiBrowserFuncs.h"

#include <map>

namespace FB {
namespace Npapi {

namespace {

// The registry is keyed by an opaque pointer; this library only uses the null key.
std::map<const void*, std::shared_ptr<NpapiPluginModule>>& modules()
{
    static std::map<const void*, std::shared_ptr<NpapiPluginModule>> registry;
    return registry;
}

int moduleCount = 0;
NpapiPluginModule::Lifecycle lifecycle;

}  // namespace

NpapiPluginModule::NpapiPluginModule() : mainThreadId_(GetCurrentThreadId()) {}

NpapiPluginModule::~NpapiPluginModule() = default;

void NpapiPluginModule::setLifecycle(const Lifecycle& hooks)
{
    lifecycle = hooks;
}

int NpapiPluginModule::liveModules()
{
    return moduleCount;
}

std::shared_ptr<NpapiPluginModule> NpapiPluginModule::getDefault()
{
    if (moduleCount == 0 && lifecycle.globalInit) lifecycle.globalInit();
    auto& registry = modules();
    auto found = registry.find(nullptr);
    if (found != registry.end()) return found->second;
    auto module = std::make_shared<NpapiPluginModule>();
    registry[nullptr] = module;
    ++moduleCount;
    return module;
}

void NpapiPluginModule::releaseDefault()
{
    auto& registry = modules();
    auto found = registry.find(nullptr);
    if (found != registry.end()) {
        std::shared_ptr<NpapiPluginModule> module = std::move(found->second);
        registry.erase(found);
        --moduleCount;
        module->releasePendingObjects();
    }
    if (moduleCount == 0 && lifecycle.globalDeinit) lifecycle.globalDeinit();
}

void NpapiPluginModule::releasePendingObjects()
{
    if (GetCurrentThreadId() != mainThreadId_) return;
    if (!releasesWaiting_.exchange(false, std::memory_order_acquire)) return;
    NPObject* object;
    while (releaseQueue_.pop(object)) ReleaseObject(object);
}

void NpapiPluginModule::setBrowserFuncs(const NPNetscapeFuncs* browserFuncs)
{
    copyBrowserFuncs(browserFuncs, &browserFuncs_);
    identifiers_.clear();
}

void* NpapiPluginModule::MemAlloc(uint32_t size) const
{
    return browserFuncs_.memalloc ? browserFuncs_.memalloc(size) : nullptr;
}

void NpapiPluginModule::MemFree(void* block) const
{
    if (browserFuncs_.memfree) browserFuncs_.memfree(block);
}

NPObject* NpapiPluginModule::RetainObject(NPObject* object) const
{
    return browserFuncs_.retainobject ? browserFuncs_.retainobject(object) : object;
}

void NpapiPluginModule::ReleaseObject(NPObject* object) const
{
    if (browserFuncs_.releaseobject) browserFuncs_.releaseobject(object);
}

void NpapiPluginModule::ReleaseVariantValue(NPVariant* variant) const
{
    if (browserFuncs_.releasevariantvalue) browserFuncs_.releasevariantvalue(variant);
}

NPIdentifier NpapiPluginModule::GetStringIdentifier(const char* name) const
{
    return browserFuncs_.getstringidentifier ? browserFuncs_.getstringidentifier(name) : nullptr;
}

NPIdentifier NpapiPluginModule::GetIntIdentifier(int32_t number) const
{
    return browserFuncs_.getintidentifier ? browserFuncs_.getintidentifier(number) : nullptr;
}

bool NpapiPluginModule::IdentifierIsString(NPIdentifier identifier) const
{
    return browserFuncs_.identifierisstring ? browserFuncs_.identifierisstring(identifier) : true;
}

NPUTF8* NpapiPluginModule::UTF8FromIdentifier(NPIdentifier identifier) const
{
    return browserFuncs_.utf8fromidentifier ? browserFuncs_.utf8fromidentifier(identifier) : nullptr;
}

int32_t NpapiPluginModule::IntFromIdentifier(NPIdentifier identifier) const
{
    return browserFuncs_.intfromidentifier ? browserFuncs_.intfromidentifier(identifier) : 1;
}

std::string NpapiPluginModule::identifierToString(NPIdentifier identifier) const
{
    NPUTF8* name = UTF8FromIdentifier(identifier);
    if (!name) return {};
    std::string text(name);
    MemFree(name);
    return text;
}

const NpapiPluginModule::Identifier& NpapiPluginModule::identifier(NPIdentifier id)
{
    auto found = identifiers_.find(id);
    if (found != identifiers_.end()) return found->second;
    Identifier described{IdentifierIsString(id), std::string(), 0};
    if (described.isString)
        described.name = identifierToString(id);
    else
        described.index = IntFromIdentifier(id);
    return identifiers_.emplace(id, std::move(described)).first->second;
}

}  // namespace Npapi
}  // namespace FB
