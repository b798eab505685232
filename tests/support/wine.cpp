#include "wine.h"

#ifdef _WIN32
#include "windows_api.h"
#endif

namespace tavro::testing {

bool runningUnderWine() {
#ifdef _WIN32
    static const bool wine = [] {
        const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
#else
    return false;
#endif
}

bool creationTimesKept() {
    return !runningUnderWine();
}

}  // namespace tavro::testing
