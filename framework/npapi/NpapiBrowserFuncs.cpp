#include "NpapiBrowserFuncs.h"

#include <cstddef>
#include <cstring>

namespace FB {
namespace Npapi {

// Copies one entry when the source's declared size covers it.
#define COPY_ENTRY(entry)                                                                                              \
    do {                                                                                                               \
        if (source->size >= NPN_ENTRY_END(entry)) destination->entry = source->entry;                                  \
    } while (0)

void copyBrowserFuncs(const NPNetscapeFuncs* source, NPNetscapeFuncs* destination)
{
    if (!source || !destination) return;
    destination->size = source->size;
    destination->version = source->version;
    const uint16_t version = source->version;

    COPY_ENTRY(geturl);
    COPY_ENTRY(posturl);
    COPY_ENTRY(requestread);
    COPY_ENTRY(newstream);
    COPY_ENTRY(write);
    COPY_ENTRY(destroystream);
    COPY_ENTRY(status);
    COPY_ENTRY(uagent);
    COPY_ENTRY(memalloc);
    COPY_ENTRY(memfree);
    COPY_ENTRY(memflush);
    COPY_ENTRY(reloadplugins);
    COPY_ENTRY(geturlnotify);
    COPY_ENTRY(posturlnotify);
    COPY_ENTRY(getvalue);
    COPY_ENTRY(setvalue);
    COPY_ENTRY(invalidaterect);
    COPY_ENTRY(invalidateregion);
    COPY_ENTRY(forceredraw);
    COPY_ENTRY(getstringidentifier);
    COPY_ENTRY(getstringidentifiers);
    COPY_ENTRY(getintidentifier);
    COPY_ENTRY(identifierisstring);
    COPY_ENTRY(utf8fromidentifier);
    COPY_ENTRY(intfromidentifier);
    COPY_ENTRY(createobject);
    COPY_ENTRY(retainobject);
    COPY_ENTRY(releaseobject);
    COPY_ENTRY(invoke);
    COPY_ENTRY(invokeDefault);
    COPY_ENTRY(evaluate);
    COPY_ENTRY(getproperty);
    COPY_ENTRY(setproperty);
    COPY_ENTRY(removeproperty);
    COPY_ENTRY(hasproperty);
    COPY_ENTRY(hasmethod);
    COPY_ENTRY(releasevariantvalue);
    COPY_ENTRY(setexception);
    COPY_ENTRY(construct);
    if (version >= NPVERS_HAS_POPUPS_ENABLED_STATE) {
        COPY_ENTRY(pushpopupsenabledstate);
        COPY_ENTRY(poppopupsenabledstate);
    }
    if (version >= NPVERS_HAS_NPOBJECT_ENUM) COPY_ENTRY(enumerate);
    if (version >= NPVERS_HAS_PLUGIN_THREAD_ASYNC_CALL) COPY_ENTRY(pluginthreadasynccall);
    if (version >= NPVERS_HAS_URL_AND_AUTH_INFO) {
        COPY_ENTRY(getvalueforurl);
        COPY_ENTRY(setvalueforurl);
        COPY_ENTRY(getauthenticationinfo);
    }
    if (version >= NPVERS_HAS_TIMERS) {
        COPY_ENTRY(scheduletimer);
        COPY_ENTRY(unscheduletimer);
    }
}

#undef COPY_ENTRY

}  // namespace Npapi
}  // namespace FB
