// The component's two registration scripts (registrar text format), compiled in from
// taliscom_appid.rgs and filter_manager.rgs, and what they need to run.
#pragma once

#include <string>
#include <string_view>

#include "hresult.h"

namespace taliscom {

extern const std::string_view kAppIdScript;
extern const std::string_view kClassScript;

// Runs the AppID script and then the class script, with %MODULE% = modulePath and %APPID% = the
// AppID GUID. S_OK, or SELFREG_E_CLASS when a script fails.
HResult RegisterScripts(const std::string& modulePath);
HResult UnregisterScripts(const std::string& modulePath);

}  // namespace taliscom
