#include "tools/rasterjob/Plugin.h"

#include <cstdlib>
#include <cxxabi.h>
#include <dlfcn.h>

namespace rasterjob {

std::unique_ptr<Plugin> Plugin::Load(const std::string& path, std::string& error)
{
    // A bare file name means a file in the current folder, not a library on
    // the loader's search path.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = "plug-in does not load: " + std::string(why ? why : file);
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(handle, kCreateSymbol);
    if (!symbol) {
        ::dlclose(handle);
        error = "plug-in " + path + " exports no Create (" + kCreateSymbol + ")";
        return nullptr;
    }
    return std::unique_ptr<Plugin>(new Plugin(handle, reinterpret_cast<CreateFn>(symbol), path));
}

Plugin::~Plugin()
{
    ::dlclose(m_handle);
}

std::string DefaultPluginPath()
{
    if (const char* env = std::getenv("MIMAKI_PLUGIN"); env && *env)
        return env;
#ifdef RASTERJOB_DEFAULT_PLUGIN
    return RASTERJOB_DEFAULT_PLUGIN;
#else
    return {};
#endif
}

std::string TypeName(const std::type_info& type)
{
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string out = status == 0 && name ? name : type.name();
    std::free(name);
    return out;
}

} // namespace rasterjob
