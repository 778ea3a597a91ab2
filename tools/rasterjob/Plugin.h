// Loading the plug-in library and naming the classes it makes.
#pragma once

#include <memory>
#include <string>
#include <typeinfo>

class CPrintEnv;
class IPrinterDriver;

namespace rasterjob {

class Plugin {
public:
    // The decorated name of IPrinterDriver* Create(CPrintEnv*).
    static constexpr const char* kCreateSymbol = "_Z6CreateP9CPrintEnv";

    // Null with a one-line message when the library does not load or does
    // not export Create.
    static std::unique_ptr<Plugin> Load(const std::string& path, std::string& error);
    ~Plugin();

    IPrinterDriver* Create(CPrintEnv* env) const { return m_create(env); }
    const std::string& Path() const { return m_path; }

private:
    using CreateFn = IPrinterDriver* (*)(CPrintEnv*);
    Plugin(void* handle, CreateFn create, std::string path)
        : m_handle(handle), m_create(create), m_path(std::move(path))
    {
    }
    void* m_handle;
    CreateFn m_create;
    std::string m_path;
};

// $MIMAKI_PLUGIN, else the plug-in of the build this tool belongs to (empty
// when the build had none).
std::string DefaultPluginPath();

// The readable name of a type ("CMimakiMRLIIIDriver").
std::string TypeName(const std::type_info& type);
template <class T> std::string ClassName(const T* object)
{
    return object ? TypeName(typeid(*object)) : std::string();
}

} // namespace rasterjob
