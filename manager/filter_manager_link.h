// The program's link to the component's FilterManager object: the four IFilterManager calls in
// the program's terms (UTF-16 text, an absent string for the global level), so that the
// catalogue's rules are the same whether COM or the component's Linux exports carry the calls.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "taliscom.h"

class FilterManagerLink {
  public:
    using HResult = taliscom::HResult;
    using Text = std::optional<std::u16string>;  // absent: a null string

    virtual ~FilterManagerLink() = default;

    virtual HResult AddWebFilter(const Text& filterPath, const Text& serverDescription) = 0;
    virtual HResult RemoveWebFilter(const Text& filterName, const Text& serverDescription) = 0;
    // The server descriptions in the component's order (a null one as empty text). On failure
    // the names read before it stay in `names`: that is only the case when ending access to the
    // array failed after every element was read.
    virtual HResult GetVirtualServerList(std::vector<std::u16string>* names) = 0;
    // The answer as a 16-bit integer (nonzero: installed).
    virtual HResult IsWebFilterInstalled(const Text& filterName, const Text& serverDescription,
                                         std::int16_t* installed) = 0;
};

// Joins the thread's multithreaded COM apartment for the object's life (nothing where there is
// no COM). Declared before what it must outlive.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// Creates FilterManager by its class identifier, asking for IFilterManager; null on failure.
std::unique_ptr<FilterManagerLink> CreateFilterManagerLink();
