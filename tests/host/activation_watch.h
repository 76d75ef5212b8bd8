// Notes which window the calling thread activates: test runs that may not take the shared
// desktop's foreground (see KVTEST_DESKTOP) use it to find out whether they did.
#pragma once

#include <windows.h>

#include <string>

namespace kvhost {

class ActivationWatch {
public:
    // Watches the calling thread until the watch ends; one watch per thread at a time.
    ActivationWatch();
    ActivationWatch(const ActivationWatch&) = delete;
    ActivationWatch& operator=(const ActivationWatch&) = delete;
    ~ActivationWatch();

    // The first window activated, as "\"<title>\" (class <class>)"; empty when none was.
    const std::string& First() const { return first_; }

private:
    static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam);

    HHOOK hook_ = nullptr;
    std::string first_;
};

}  // namespace kvhost
