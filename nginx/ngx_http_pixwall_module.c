/*
 * Runs ISAPI filter modules (pixwall.so) in front of nginx: "pixwall_filter PATH;" at http,
 * server or location level, several in load order; a level without the directive inherits the
 * enclosing level's list. Every request passes the filters in the access phase, once, and the
 * filters' answer becomes nginx's response; a request they let through is served as configured.
 * The filter starts a thread when started, and threads do not survive fork: the master only
 * checks the files, and each worker loads and starts the modules itself. A request whose target
 * nginx serves under another path than the filters read from it is answered 400 instead.
 */
#include <ngx_config.h>
#include <ngx_core.h>
#include <ngx_http.h>

#include "filter_bridge.h"

typedef struct {
    ngx_array_t* paths; /* of ngx_str_t, NUL-terminated */
    pixwall_chain_t* chain;
} ngx_http_pixwall_loc_conf_t;

typedef struct {
    ngx_array_t chains; /* of pixwall_chain_t *: every chain of this configuration */
} ngx_http_pixwall_main_conf_t;

typedef struct {
    ngx_http_request_t* request;
} ngx_http_pixwall_response_t;

/* What the module keeps of a request in its pool, where an internal redirect leaves it. */
typedef struct {
    ngx_str_t uri;       /* the path nginx parsed from the request line, before any rewrite */
    ngx_uint_t filtered; /* the filters have run */
} ngx_http_pixwall_mark_t;

static char* ngx_http_pixwall_filter(ngx_conf_t* cf, ngx_command_t* cmd, void* conf);
static void* ngx_http_pixwall_create_main_conf(ngx_conf_t* cf);
static void* ngx_http_pixwall_create_loc_conf(ngx_conf_t* cf);
static char* ngx_http_pixwall_merge_loc_conf(ngx_conf_t* cf, void* parent, void* child);
static ngx_int_t ngx_http_pixwall_init(ngx_conf_t* cf);
static ngx_int_t ngx_http_pixwall_init_process(ngx_cycle_t* cycle);
static void ngx_http_pixwall_exit_process(ngx_cycle_t* cycle);

static ngx_command_t ngx_http_pixwall_commands[] = {
    {ngx_string("pixwall_filter"),
     NGX_HTTP_MAIN_CONF | NGX_HTTP_SRV_CONF | NGX_HTTP_LOC_CONF | NGX_CONF_TAKE1,
     ngx_http_pixwall_filter, NGX_HTTP_LOC_CONF_OFFSET, 0, NULL},
    ngx_null_command};

static ngx_http_module_t ngx_http_pixwall_module_ctx = {
    NULL,                              /* preconfiguration */
    ngx_http_pixwall_init,             /* postconfiguration */
    ngx_http_pixwall_create_main_conf, /* create main configuration */
    NULL,                              /* init main configuration */
    NULL,                              /* create server configuration */
    NULL,                              /* merge server configuration */
    ngx_http_pixwall_create_loc_conf,  /* create location configuration */
    ngx_http_pixwall_merge_loc_conf    /* merge location configuration */
};

ngx_module_t ngx_http_pixwall_module = {NGX_MODULE_V1,
                                        &ngx_http_pixwall_module_ctx,  /* module context */
                                        ngx_http_pixwall_commands,     /* module directives */
                                        NGX_HTTP_MODULE,               /* module type */
                                        NULL,                          /* init master */
                                        NULL,                          /* init module */
                                        ngx_http_pixwall_init_process, /* init process */
                                        NULL,                          /* init thread */
                                        NULL,                          /* exit thread */
                                        ngx_http_pixwall_exit_process, /* exit process */
                                        NULL,                          /* exit master */
                                        NGX_MODULE_V1_PADDING};

static char* ngx_http_pixwall_filter(ngx_conf_t* cf, ngx_command_t* cmd, void* conf) {
    ngx_http_pixwall_loc_conf_t* plcf = conf;
    ngx_str_t *value, *path;
    char error[1024];

    value = cf->args->elts;
    if (plcf->paths == NULL) {
        plcf->paths = ngx_array_create(cf->pool, 2, sizeof(ngx_str_t));
        if (plcf->paths == NULL) {
            return NGX_CONF_ERROR;
        }
    }
    path = ngx_array_push(plcf->paths);
    if (path == NULL) {
        return NGX_CONF_ERROR;
    }
    *path = value[1];
    /* Relative to the prefix, as load_module reads; the result is NUL-terminated. */
    if (ngx_conf_full_name(cf->cycle, path, 0) != NGX_OK) {
        return NGX_CONF_ERROR;
    }
    if (pixwall_check_module((const char*)path->data, error, sizeof error) != 0) {
        ngx_conf_log_error(NGX_LOG_EMERG, cf, 0, "%s", error);
        return NGX_CONF_ERROR;
    }
    return NGX_CONF_OK;
}

static void* ngx_http_pixwall_create_main_conf(ngx_conf_t* cf) {
    ngx_http_pixwall_main_conf_t* pmcf;

    pmcf = ngx_pcalloc(cf->pool, sizeof(ngx_http_pixwall_main_conf_t));
    if (pmcf == NULL) {
        return NULL;
    }
    if (ngx_array_init(&pmcf->chains, cf->pool, 4, sizeof(pixwall_chain_t*)) != NGX_OK) {
        return NULL;
    }
    return pmcf;
}

static void* ngx_http_pixwall_create_loc_conf(ngx_conf_t* cf) {
    /* paths and chain NULL: not set at this level */
    return ngx_pcalloc(cf->pool, sizeof(ngx_http_pixwall_loc_conf_t));
}

static void ngx_http_pixwall_destroy_chain(void* data) { pixwall_chain_destroy(data); }

/* The chain of a level's list, made once per level and freed with the configuration. */
static ngx_int_t ngx_http_pixwall_make_chain(ngx_conf_t* cf, ngx_http_pixwall_loc_conf_t* plcf) {
    ngx_http_pixwall_main_conf_t* pmcf;
    ngx_pool_cleanup_t* cln;
    pixwall_chain_t** slot;
    ngx_str_t* path;
    ngx_uint_t i;

    if (plcf->paths == NULL || plcf->chain != NULL) {
        return NGX_OK;
    }
    cln = ngx_pool_cleanup_add(cf->pool, 0);
    if (cln == NULL) {
        return NGX_ERROR;
    }
    plcf->chain = pixwall_chain_create();
    if (plcf->chain == NULL) {
        return NGX_ERROR;
    }
    cln->handler = ngx_http_pixwall_destroy_chain;
    cln->data = plcf->chain;

    path = plcf->paths->elts;
    for (i = 0; i < plcf->paths->nelts; i++) {
        if (pixwall_chain_add(plcf->chain, (const char*)path[i].data, path[i].len) != 0) {
            return NGX_ERROR;
        }
    }
    pmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_pixwall_module);
    slot = ngx_array_push(&pmcf->chains);
    if (slot == NULL) {
        return NGX_ERROR;
    }
    *slot = plcf->chain;
    return NGX_OK;
}

static char* ngx_http_pixwall_merge_loc_conf(ngx_conf_t* cf, void* parent, void* child) {
    ngx_http_pixwall_loc_conf_t* prev = parent;
    ngx_http_pixwall_loc_conf_t* conf = child;

    if (conf->paths == NULL) {
        if (ngx_http_pixwall_make_chain(cf, prev) != NGX_OK) {
            return NGX_CONF_ERROR;
        }
        conf->paths = prev->paths;
        conf->chain = prev->chain;
    }
    if (ngx_http_pixwall_make_chain(cf, conf) != NGX_OK) {
        return NGX_CONF_ERROR;
    }
    return NGX_CONF_OK;
}

static ngx_int_t ngx_http_pixwall_init_process(ngx_cycle_t* cycle) {
    ngx_http_pixwall_main_conf_t* pmcf;
    pixwall_chain_t** chain;
    ngx_uint_t i;
    char error[1024];

    /* Cache managers and loaders serve no requests. */
    if (ngx_process != NGX_PROCESS_WORKER && ngx_process != NGX_PROCESS_SINGLE) {
        return NGX_OK;
    }
    pmcf = ngx_http_cycle_get_module_main_conf(cycle, ngx_http_pixwall_module);
    if (pmcf == NULL) {
        return NGX_OK;
    }
    chain = pmcf->chains.elts;
    for (i = 0; i < pmcf->chains.nelts; i++) {
        if (pixwall_chain_start(chain[i], error, sizeof error) != 0) {
            /* The worker keeps serving; the locations of this chain answer 500. */
            ngx_log_error(NGX_LOG_EMERG, cycle->log, 0, "pixwall: %s", error);
        }
    }
    if (pmcf->chains.nelts > 0) {
        /* The master binds the ports before the workers start: this says the filters run. */
        ngx_log_error(NGX_LOG_NOTICE, cycle->log, 0, "pixwall: filters started");
    }
    return NGX_OK;
}

static void ngx_http_pixwall_exit_process(ngx_cycle_t* cycle) { pixwall_stop(); }

static int ngx_http_pixwall_set_status(void* data, unsigned code, pixwall_text_t reason) {
    ngx_http_request_t* r = ((ngx_http_pixwall_response_t*)data)->request;
    u_char* line;

    /* The status line exactly as the filter gave it: "302 Object Moved". */
    line = ngx_pnalloc(r->pool, NGX_INT_T_LEN + 1 + reason.len);
    if (line == NULL) {
        return -1;
    }
    r->headers_out.status = code;
    r->headers_out.status_line.data = line;
    r->headers_out.status_line.len = ngx_sprintf(line, "%ui%s%*s", (ngx_uint_t)code,
                                                 reason.len ? " " : "", reason.len, reason.data) -
                                     line;
    return 0;
}

static int ngx_http_pixwall_add_header(void* data, pixwall_text_t name, pixwall_text_t value) {
    ngx_http_request_t* r = ((ngx_http_pixwall_response_t*)data)->request;
    ngx_table_elt_t* h;

    h = ngx_list_push(&r->headers_out.headers);
    if (h == NULL) {
        return -1;
    }
    h->hash = 1;
    h->key.data = ngx_pnalloc(r->pool, name.len);
    h->value.data = ngx_pnalloc(r->pool, value.len);
    if (h->key.data == NULL || h->value.data == NULL) {
        h->hash = 0;
        return -1;
    }
    h->key.len = name.len;
    ngx_memcpy(h->key.data, name.data, name.len);
    h->value.len = value.len;
    ngx_memcpy(h->value.data, value.data, value.len);
    h->lowcase_key = NULL;
#if (nginx_version >= 1023000)
    h->next = NULL;
#endif
    return 0;
}

/* Tags the request's mark; found again after an internal redirect, which clears the modules'
 * contexts but keeps the request's pool. */
static void ngx_http_pixwall_marked(void* data) {}

/* The request's mark, made on first sight with the path nginx serves it as now. */
static ngx_http_pixwall_mark_t* ngx_http_pixwall_mark(ngx_http_request_t* r) {
    ngx_http_pixwall_mark_t* mark;
    ngx_pool_cleanup_t* cln;

    for (cln = r->pool->cleanup; cln; cln = cln->next) {
        if (cln->handler == ngx_http_pixwall_marked) {
            return cln->data;
        }
    }
    cln = ngx_pool_cleanup_add(r->pool, sizeof(ngx_http_pixwall_mark_t));
    if (cln == NULL) {
        return NULL;
    }
    cln->handler = ngx_http_pixwall_marked;
    mark = cln->data;
    mark->uri = r->uri;
    mark->filtered = 0;
    return mark;
}

/* Before the rewrites: the filters judge the target as the client sent it, and nginx's own
 * reading of it is what they are checked against; a configured rewrite then maps it as before. */
static ngx_int_t ngx_http_pixwall_post_read(ngx_http_request_t* r) {
    return ngx_http_pixwall_mark(r) == NULL ? NGX_HTTP_INTERNAL_SERVER_ERROR : NGX_DECLINED;
}

static ngx_int_t ngx_http_pixwall_send(ngx_http_request_t* r) {
    ngx_int_t rc;

    if (ngx_http_discard_request_body(r) != NGX_OK) {
        r->keepalive = 0;
    }
    r->headers_out.content_length_n = 0;
    rc = ngx_http_send_header(r);
    if (rc == NGX_ERROR || rc > NGX_OK || r->header_only) {
        return rc;
    }
    return ngx_http_send_special(r, NGX_HTTP_LAST);
}

static ngx_int_t ngx_http_pixwall_handler(ngx_http_request_t* r) {
    ngx_http_pixwall_loc_conf_t* plcf;
    ngx_http_core_srv_conf_t* cscf;
    ngx_http_pixwall_response_t response_data;
    ngx_http_pixwall_mark_t* mark;
    pixwall_response_t response;
    pixwall_request_t request;
    pixwall_field_t* field;
    ngx_table_elt_t* h;
    ngx_list_part_t* part;
    ngx_uint_t i, count;
    int keep_alive;

    plcf = ngx_http_get_module_loc_conf(r, ngx_http_pixwall_module);
    if (plcf->chain == NULL) {
        return NGX_DECLINED;
    }
    mark = ngx_http_pixwall_mark(r);
    if (mark == NULL) {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    if (mark->filtered) {
        return NGX_DECLINED;
    }
    mark->filtered = 1;

    count = 0;
    for (part = &r->headers_in.headers.part; part; part = part->next) {
        count += part->nelts;
    }
    field = ngx_palloc(r->pool, (count ? count : 1) * sizeof(pixwall_field_t));
    if (field == NULL) {
        return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
    count = 0;
    for (part = &r->headers_in.headers.part; part; part = part->next) {
        h = part->elts;
        for (i = 0; i < part->nelts; i++) {
            field[count].name.data = (const char*)h[i].key.data;
            field[count].name.len = h[i].key.len;
            field[count].value.data = (const char*)h[i].value.data;
            field[count].value.len = h[i].value.len;
            count++;
        }
    }
    cscf = ngx_http_get_module_srv_conf(r, ngx_http_core_module);
    request.method.data = (const char*)r->method_name.data;
    request.method.len = r->method_name.len;
    request.target.data = (const char*)r->unparsed_uri.data;
    request.target.len = r->unparsed_uri.len;
    request.path.data = (const char*)mark->uri.data;
    request.path.len = mark->uri.len;
    request.http10 = r->http_version == NGX_HTTP_VERSION_10;
    request.fields = field;
    request.field_count = count;
    request.client_address.data = (const char*)r->connection->addr_text.data;
    request.client_address.len = r->connection->addr_text.len;
    request.default_server_name.data = (const char*)cscf->server_name.data;
    request.default_server_name.len = cscf->server_name.len;

    response_data.request = r;
    response.data = &response_data;
    response.status = ngx_http_pixwall_set_status;
    response.header = ngx_http_pixwall_add_header;

    switch (pixwall_chain_run(plcf->chain, &request, &response, &keep_alive)) {
        case PIXWALL_SERVE:
            return NGX_DECLINED;
        case PIXWALL_RESPOND:
            if (!keep_alive) {
                r->keepalive = 0;
            }
            ngx_http_finalize_request(r, ngx_http_pixwall_send(r));
            return NGX_DONE;
        case PIXWALL_CLOSE:
            return NGX_HTTP_CLOSE;
        case PIXWALL_REFUSE:
            return NGX_HTTP_BAD_REQUEST;
        default:
            return NGX_HTTP_INTERNAL_SERVER_ERROR;
    }
}

static ngx_int_t ngx_http_pixwall_init(ngx_conf_t* cf) {
    ngx_http_pixwall_main_conf_t* pmcf;
    ngx_http_core_main_conf_t* cmcf;
    ngx_http_handler_pt* h;

    cmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_core_module);
    h = ngx_array_push(&cmcf->phases[NGX_HTTP_ACCESS_PHASE].handlers);
    if (h == NULL) {
        return NGX_ERROR;
    }
    *h = ngx_http_pixwall_handler;
    /* The chains are made by now (the levels are merged first); without one no request needs
     * its mark. */
    pmcf = ngx_http_conf_get_module_main_conf(cf, ngx_http_pixwall_module);
    if (pmcf->chains.nelts > 0) {
        h = ngx_array_push(&cmcf->phases[NGX_HTTP_POST_READ_PHASE].handlers);
        if (h == NULL) {
            return NGX_ERROR;
        }
        *h = ngx_http_pixwall_post_read;
    }
    return NGX_OK;
}
