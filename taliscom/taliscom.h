// The component's public header: what a client such as the manager program needs to create
// FilterManager by its class identifier and call it. On Windows the interface is the COM one
// declared by the header that widl generates from taliscom.idl; elsewhere it is the C++
// interface of component_abi.h with the same slots. Link the taliscom_client library.
#pragma once

#include "component_instance.h"
#include "hresult.h"
#include "identifiers.h"

#ifdef _WIN32
#include "taliscom_idl.h"
#else
#include "component_abi.h"
#endif
