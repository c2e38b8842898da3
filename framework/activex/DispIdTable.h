// The process-wide table of member ids (DISPIDs) of the plug-in's COM objects.
//
// It starts with the standard control, ambient, browser and event-method ids,
// so that the ids the browser passes on its own (ready state, enabled, the this
// argument) have names; every other script name gets a fresh id from 100 up the
// first time it is looked up, and keeps it for the life of the process, so one
// name has one id in every object.
//
//     long id = FB::ActiveX::dispIdForName(FB::variant(L"echo"));   // 100 or above
//     std::wstring name = FB::ActiveX::dispIdToName(-525);          // L"readystate"
//
// Names of the standard rows are held as narrow texts, names looked up by the
// bridges as wide texts (two different values, see TypeIDMap).
//
// Threading: any thread (the table has its own lock).
#pragma once

#include "TypeIDMap.h"

#include <span>
#include <string>

namespace FB::ActiveX {

struct StandardDispId {
    const char* name;
    long id;
};

// The rows the table starts with, in the order they are entered.
std::span<const StandardDispId> standardDispIds();

// The table itself, filled with the standard rows on first use.
TypeIDMap<long>& dispIdTable();

// The id of a name; an unknown name takes the next free id.
long dispIdForName(const variant& name);
// The same for a wide name (as the bridges look names up): the table's ids of
// wide names, found by hash; in the table's own order every wide name sorts
// after all the standard (narrow) rows, each step there comparing type names.
long dispIdForName(const std::wstring& name);
bool isKnownDispId(long id);
// The name of an id as wide text; an unknown id throws FB::bad_variant_cast.
std::wstring dispIdToName(long id);

}  // namespace FB::ActiveX
