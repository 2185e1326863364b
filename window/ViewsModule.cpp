#include "window/ViewsModule.h"

#include "core/UiSeams.h"
#include "platform/Exception.h"

#include <cstdlib>
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

// Defined when the process links the views itself.
extern "C" const TViewFactories* NightluxViews(const TViewsHost* host) __attribute__((weak));

namespace {

const char ModuleName[] = "libnightlux_views.so";

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string program(path, static_cast<std::size_t>(n));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

bool Exists(const std::string& fileName) {
    return ::access(fileName.c_str(), F_OK) == 0;
}

const TViewFactories* LoadViews() {
    static const TViewsHost host{&GetLocalTime, &ShowMessage, &Beep};
    if (NightluxViews != nullptr)
        return NightluxViews(nullptr);
    const std::string fileName = ViewsModuleFileName();
    // Kept for the life of the process: the views it makes belong to the window.
    void* module = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        throw Exception("The charts cannot be shown: their module could not be loaded (" +
                        std::string(::dlerror()) + ").");
    auto entry = reinterpret_cast<TViewsEntry>(::dlsym(module, "NightluxViews"));
    if (entry == nullptr)
        throw Exception("The charts cannot be shown: " + fileName +
                        " is not this program's views module.");
    return entry(&host);
}

const TViewFactories& Views() {
    // A failed load is tried again at the next opening (the module may have been installed).
    static const TViewFactories* views = nullptr;
    if (views == nullptr)
        views = LoadViews();
    return *views;
}

} // namespace

std::string ViewsModuleFileName() {
    if (const char* set = std::getenv("NIGHTLUX_VIEWS_MODULE"); set != nullptr && *set != '\0')
        return set;
    const std::string folder = ProgramFolder();
    const std::string beside = folder + "/" + ModuleName;
    if (folder.empty() || Exists(beside))
        return folder.empty() ? std::string(ModuleName) : beside;
    return folder + "/" NIGHTLUX_VIEWS_INSTALLED_FOLDER "/" + ModuleName;
}

TNightChartFm* NewNightChartFm(const TNight& night, QWidget* parent) {
    return Views().NewNightChart(night, parent);
}

THistoryFm* NewHistoryFm(QWidget* parent) {
    return Views().NewHistory(parent);
}
