/*
 * The nginx module's way into the filter host (written in C++): a plain C interface, so that the
 * module itself stays C like the nginx it is compiled with. A chain is the list of filter module
 * files one location runs, in load order.
 */
#ifndef PIXWALL_FILTER_BRIDGE_H
#define PIXWALL_FILTER_BRIDGE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct pixwall_chain_s pixwall_chain_t;

typedef struct {
    const char* data;
    size_t len;
} pixwall_text_t;

typedef struct {
    pixwall_text_t name;
    pixwall_text_t value;
} pixwall_field_t;

/* One request as nginx parsed it; everything is viewed for the duration of one run. */
typedef struct {
    pixwall_text_t method;
    pixwall_text_t target; /* the raw request target */
    pixwall_text_t path;   /* the path nginx serves the target as, escapes decoded */
    int http10;
    const pixwall_field_t* fields;
    size_t field_count;
    pixwall_text_t client_address;
    pixwall_text_t default_server_name;
} pixwall_request_t;

typedef enum {
    PIXWALL_SERVE,   /* nginx serves the request as configured */
    PIXWALL_RESPOND, /* send the status and headers given through the response callbacks */
    PIXWALL_CLOSE,   /* close the connection without an answer */
    PIXWALL_ERROR,   /* answer with a server error */
    PIXWALL_REFUSE   /* answer 400: nginx would serve another file than the filters judge */
} pixwall_action_t;

/* Where a run puts what the filters want sent; each callback returns 0, or -1 when out of memory.
 */
typedef struct {
    void* data;
    int (*status)(void* data, unsigned code, pixwall_text_t reason);
    int (*header)(void* data, pixwall_text_t name, pixwall_text_t value);
} pixwall_response_t;

/* Whether PATH (NUL-terminated) is a filter module, loaded only briefly: 0, or -1 with the reason
 * (naming the file) in ERROR. For the master process, which must not start the filter. */
int pixwall_check_module(const char* path, char* error, size_t error_size);

pixwall_chain_t* pixwall_chain_create(void);
void pixwall_chain_destroy(pixwall_chain_t* chain);
/* Appends a module file; 0, or -1 when out of memory. */
int pixwall_chain_add(pixwall_chain_t* chain, const char* path, size_t len);

/* In a worker: loads the chain's modules (each file once per process) and starts them. On
 * failure returns -1 with the reason in ERROR, and the chain answers every request with
 * PIXWALL_ERROR rather than letting it through unchecked. */
int pixwall_chain_start(pixwall_chain_t* chain, char* error, size_t error_size);

/* At the worker's exit: unloads every module of this process, which writes their stop lines. */
void pixwall_stop(void);

/* Runs the request through the chain, unless nginx serves its target under another path than the
 * filters read from it (ServedPath): a spelling must not make them judge another file than nginx
 * serves, so that request is refused before any filter sees it. *KEEP_ALIVE becomes 0 when the connection must close
 * after the answer. Headers the filters added are given to RESPONSE for every action but
 * PIXWALL_CLOSE. */
pixwall_action_t pixwall_chain_run(const pixwall_chain_t* chain, const pixwall_request_t* request,
                                   const pixwall_response_t* response, int* keep_alive);

#ifdef __cplusplus
}
#endif

#endif
