// FB::Npapi::NpapiPlugin: the plug-in object of one NPAPI instance. It receives
// the instance's NPP_* calls from the entry handlers, reads the embed's
// parameters, makes the plug-in core ready and hands the browser the instance's
// script object (one NPJavascriptObject over the core's scripting object).
//
// The plug-in core's side (parameters, readiness, windowless wish, scripting
// object, shutdown hook) is reached through the protected operations below,
// which the application's browser plug-in supplies.
//
// NpapiApplication is what the application hands to the NPAPI road at load
// time: global set-up, the plug-in maker and the plug-in's texts (in the
// product: its plug-in factory).
//
// Threading: the browser's main thread only.
#pragma once

#include "JSAPI.h"
#include "NpapiInterface.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace FB {
namespace Npapi {

class NpapiBrowserHost;

// Raised by a plug-in maker that cannot make the plug-in; NPP_New answers 8.
class PluginCreateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class NpapiPlugin {
 public:
  NpapiPlugin(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType,
              const std::string& pluginName, const std::string& pluginDescription);
  virtual ~NpapiPlugin();
  NpapiPlugin(const NpapiPlugin&) = delete;
  NpapiPlugin& operator=(const NpapiPlugin&) = delete;

  virtual void shutdown();
  virtual void init(NPMIMEType mimeType, int16_t argc, char* argn[], char* argv[]);
  virtual bool setReady();
  virtual NPError setWindow(NPWindow* window);
  virtual NPError newStream(NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* stype);
  virtual NPError destroyStream(NPStream* stream, NPReason reason);
  virtual int32_t writeReady(NPStream* stream);
  virtual int32_t write(NPStream* stream, int32_t offset, int32_t length, void* buffer);
  virtual void streamAsFile(NPStream* stream, const char* fileName);
  virtual void print(NPPrint* platformPrint);
  virtual int16_t handleEvent(void* event);
  virtual void urlNotify(const char* url, NPReason reason, void* notifyData);
  virtual NPError getValue(NPPVariable variable, void* value);
  virtual NPError setValue(NPNVariable variable, void* value);

  // The instance's script object, made on first request; retained once more for
  // the browser on every request. Null when there is none.
  NPObject* getScriptableObject();
  bool isReady() const { return ready_; }
  const std::shared_ptr<NpapiBrowserHost>& host() const { return host_; }

 protected:
  // ---- the plug-in core's side
  virtual JSAPIPtr scriptApi() = 0;
  virtual void setParams(const VariantDict& params) = 0;
  virtual bool wantsWindowless() { return false; }
  virtual bool markReady() { return true; }
  virtual void beforeShutdown() {}
  virtual void clearWindow() {}

 private:
  NPObject* scriptObject_ = nullptr;
  std::shared_ptr<NpapiBrowserHost> host_;
  bool retainReturnedObject_ = true;
  bool ready_ = false;
  std::string mimeType_;
  std::string pluginName_;
  std::string pluginDescription_;
};

using NpapiPluginPtr = std::shared_ptr<NpapiPlugin>;

struct NpapiApplication {
  void (*globalInit)() = nullptr;
  void (*globalDeinit)() = nullptr;
  // A new plug-in object for the instance of this host, or null.
  NpapiPluginPtr (*makePlugin)(const std::shared_ptr<NpapiBrowserHost>& host, const std::string& mimeType) = nullptr;
  std::string (*pluginName)() = nullptr;
  std::string (*pluginDescription)(const std::string& mimeType) = nullptr;
};

// Installs the application; the entry points use it from then on.
void setNpapiApplication(const NpapiApplication& application);
const NpapiApplication& npapiApplication();

}  // namespace Npapi
}  // namespace FB
