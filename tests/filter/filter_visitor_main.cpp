// filter_visitor FOLDER page|image ADDRESS: a second web server process in miniature. Loads the
// filter module already in FOLDER, starts it, sends one request from ADDRESS (a page, or the
// protected image), and exits 0 when the filter let it through, 1 when it blocked it, 2 when the
// module could not be loaded or started.
#include <cstring>
#include <string>

#include "fake_isapi_host.h"
#include "filter_module_copy.h"
#include "platform/paths.h"
#include "platform/shared_library.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string folder = argv[1];
    platform::SharedLibrary library(folder + platform::kPathSeparator +
                                    FilterModuleCopy::FileName());
    const auto getFilterVersion = library.Find<GetFilterVersionFn>("GetFilterVersion");
    const auto httpFilterProc = library.Find<HttpFilterProcFn>("HttpFilterProc");
    HTTP_FILTER_VERSION version{};
    version.dwServerFilterVersion = 0x60000;
    if (!getFilterVersion || !httpFilterProc || !getFilterVersion(&version)) return 2;

    FakeRequest request;
    request.Server("imgserver")
        .Url(std::strcmp(argv[2], "page") == 0 ? "/index.html" : "/images/cat.gif")
        .Client(argv[3]);
    const DWORD status =
        httpFilterProc(request.Context(), SF_NOTIFY_PREPROC_HEADERS, request.Headers());
    return status == SF_STATUS_REQ_NEXT_NOTIFICATION ? 0 : 1;
}
