// A filter module that does what the request asks, for the servers' tests of every status a
// filter can return: it sends the status line of an "X-Answer" header, if any, and returns the
// status whose number an "X-Status" header holds (SF_STATUS_REQ_NEXT_NOTIFICATION without one).
#include <cstdlib>

#include "platform/isapi.h"

BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
    version->dwFilterVersion = 0x60000;
    version->dwFlags = SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_NONSECURE_PORT;
    return TRUE;
}

DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* context, DWORD, void* notification) {
    auto* headers = static_cast<HTTP_FILTER_PREPROC_HEADERS*>(notification);
    char value[64];
    DWORD size = sizeof value;
    if (headers->GetHeader(context, const_cast<char*>("X-Answer:"), value, &size)) {
        context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER, value, 0, 0);
    }
    size = sizeof value;
    if (!headers->GetHeader(context, const_cast<char*>("X-Status:"), value, &size)) {
        return SF_STATUS_REQ_NEXT_NOTIFICATION;
    }
    return static_cast<DWORD>(std::strtoul(value, nullptr, 10));
}
