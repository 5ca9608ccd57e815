// Creates the object of a registered in-process component by its class identifier, as
// CoCreateInstance does: the registry's HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 names the
// file, which is loaded and asked for its class factory. An unregistered class fails with
// REGDB_E_CLASSNOTREG. On Windows this is CoCreateInstance with class context CLSCTX_ALL.
#pragma once

#include "hresult.h"
#include "identifiers.h"

namespace taliscom {

HResult CreateComponentInstance(const Guid& clsid, const Guid& iid, void** object);

}  // namespace taliscom
