// The ISAPI filter interface: the SDK header on Windows; elsewhere the same structs, fields
// and constants in the same order and with the Windows widths, so a host written against the
// SDK header drives either module.
#pragma once

#ifdef _WIN32
#include <windows.h>
// windows.h first: httpfilt.h relies on its types.
#include <httpfilt.h>
#else
#include <cstdint>

using DWORD = std::uint32_t;
using BOOL = std::int32_t;
using WINBOOL = BOOL;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using PVOID = void*;
using LPVOID = void*;
using LPDWORD = DWORD*;
using ULONG_PTR = std::uintptr_t;
#define WINAPI
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

extern "C" {
#define SF_MAX_FILTER_DESC_LEN (256 + 1)

enum SF_REQ_TYPE {
    SF_REQ_SEND_RESPONSE_HEADER,
    SF_REQ_ADD_HEADERS_ON_DENIAL,
    SF_REQ_SET_NEXT_READ_SIZE,
    SF_REQ_SET_PROXY_INFO,
    SF_REQ_GET_CONNID,
    SF_REQ_SET_CERTIFICATE_INFO,
    SF_REQ_GET_PROPERTY,
    SF_REQ_NORMALIZE_URL,
    SF_REQ_DISABLE_NOTIFICATIONS
};

enum SF_STATUS_TYPE {
    SF_STATUS_REQ_FINISHED = 0x8000000,
    SF_STATUS_REQ_FINISHED_KEEP_CONN,
    SF_STATUS_REQ_NEXT_NOTIFICATION,
    SF_STATUS_REQ_HANDLED_NOTIFICATION,
    SF_STATUS_REQ_ERROR,
    SF_STATUS_REQ_READ_NEXT
};

typedef struct _HTTP_FILTER_CONTEXT {
    DWORD cbSize;
    DWORD Revision;
    PVOID ServerContext;
    DWORD ulReserved;
    BOOL fIsSecurePort;
    PVOID pFilterContext;
    BOOL(WINAPI* GetServerVariable)
    (struct _HTTP_FILTER_CONTEXT* pfc, LPSTR lpszVariableName, LPVOID lpvBuffer, LPDWORD lpdwSize);
    BOOL(WINAPI* AddResponseHeaders)
    (struct _HTTP_FILTER_CONTEXT* pfc, LPSTR lpszHeaders, DWORD dwReserved);
    BOOL(WINAPI* WriteClient)
    (struct _HTTP_FILTER_CONTEXT* pfc, LPVOID Buffer, LPDWORD lpdwBytes, DWORD dwReserved);
    void*(WINAPI* AllocMem)(struct _HTTP_FILTER_CONTEXT* pfc, DWORD cbSize, DWORD dwReserved);
    BOOL(WINAPI* ServerSupportFunction)
    (struct _HTTP_FILTER_CONTEXT* pfc, enum SF_REQ_TYPE sfReq, PVOID pData, ULONG_PTR ul1,
     ULONG_PTR ul2);
} HTTP_FILTER_CONTEXT, *PHTTP_FILTER_CONTEXT;

typedef struct _HTTP_FILTER_PREPROC_HEADERS {
    BOOL(WINAPI* GetHeader)
    (struct _HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPVOID lpvBuffer, LPDWORD lpdwSize);
    BOOL(WINAPI* SetHeader)(struct _HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue);
    BOOL(WINAPI* AddHeader)(struct _HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue);
    DWORD HttpStatus;
    DWORD dwReserved;
} HTTP_FILTER_PREPROC_HEADERS, *PHTTP_FILTER_PREPROC_HEADERS;

typedef struct _HTTP_FILTER_VERSION {
    DWORD dwServerFilterVersion;
    DWORD dwFilterVersion;
    CHAR lpszFilterDesc[SF_MAX_FILTER_DESC_LEN];
    DWORD dwFlags;
} HTTP_FILTER_VERSION, *PHTTP_FILTER_VERSION;

#define SF_NOTIFY_SECURE_PORT 0x00000001
#define SF_NOTIFY_NONSECURE_PORT 0x00000002
#define SF_NOTIFY_READ_RAW_DATA 0x00008000
#define SF_NOTIFY_PREPROC_HEADERS 0x00004000
#define SF_NOTIFY_AUTHENTICATION 0x00002000
#define SF_NOTIFY_URL_MAP 0x00001000
#define SF_NOTIFY_ACCESS_DENIED 0x00000800
#define SF_NOTIFY_SEND_RESPONSE 0x00000040
#define SF_NOTIFY_SEND_RAW_DATA 0x00000400
#define SF_NOTIFY_LOG 0x00000200
#define SF_NOTIFY_END_OF_REQUEST 0x00000080
#define SF_NOTIFY_END_OF_NET_SESSION 0x00000100
#define SF_NOTIFY_ORDER_HIGH 0x00080000
#define SF_NOTIFY_ORDER_MEDIUM 0x00040000
#define SF_NOTIFY_ORDER_LOW 0x00020000
#define SF_NOTIFY_ORDER_DEFAULT SF_NOTIFY_ORDER_LOW
#define SF_NOTIFY_ORDER_MASK (SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_ORDER_MEDIUM | SF_NOTIFY_ORDER_LOW)

DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD NotificationType, void* pvNotification);
BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* pVer);
}

static_assert(sizeof(DWORD) == 4 && sizeof(BOOL) == 4 && sizeof(ULONG_PTR) == sizeof(void*));
#endif

// The two exports, as a host finds them in a loaded module.
using GetFilterVersionFn = BOOL(WINAPI*)(HTTP_FILTER_VERSION*);
using HttpFilterProcFn = DWORD(WINAPI*)(HTTP_FILTER_CONTEXT*, DWORD, void*);
