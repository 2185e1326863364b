#include "sharing/MosquittoLibrary.h"

#include "sharing/MqttCredentials.h"

#include <dlfcn.h>
#include <string>

namespace {

template <class Function>
void Resolve(void* library, const char* fileName, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    if (function == nullptr)
        throw EMqttError(std::string("MQTT is not available: ") + fileName + " has no " + name);
}

} // namespace

TMosquittoLibrary LoadMosquittoLibrary(const char* fileName) {
    // Kept for the life of the process: its threads may still run at exit.
    void* library = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        throw EMqttError(std::string("MQTT is not available: ") + ::dlerror());
    TMosquittoLibrary m{};
    Resolve(library, fileName, "mosquitto_lib_init", m.LibInit);
    Resolve(library, fileName, "mosquitto_strerror", m.Strerror);
    Resolve(library, fileName, "mosquitto_connack_string", m.ConnackString);
    Resolve(library, fileName, "mosquitto_new", m.New);
    Resolve(library, fileName, "mosquitto_destroy", m.Destroy);
    Resolve(library, fileName, "mosquitto_connect_callback_set", m.ConnectCallbackSet);
    Resolve(library, fileName, "mosquitto_disconnect_callback_set", m.DisconnectCallbackSet);
    Resolve(library, fileName, "mosquitto_publish_callback_set", m.PublishCallbackSet);
    Resolve(library, fileName, "mosquitto_log_callback_set", m.LogCallbackSet);
    Resolve(library, fileName, "mosquitto_reconnect_delay_set", m.ReconnectDelaySet);
    Resolve(library, fileName, "mosquitto_username_pw_set", m.UsernamePwSet);
    Resolve(library, fileName, "mosquitto_tls_set", m.TlsSet);
    Resolve(library, fileName, "mosquitto_will_set", m.WillSet);
    Resolve(library, fileName, "mosquitto_connect_async", m.ConnectAsync);
    Resolve(library, fileName, "mosquitto_loop_start", m.LoopStart);
    Resolve(library, fileName, "mosquitto_loop_stop", m.LoopStop);
    Resolve(library, fileName, "mosquitto_disconnect", m.Disconnect);
    Resolve(library, fileName, "mosquitto_publish", m.Publish);
    m.LibInit();
    return m;
}

const TMosquittoLibrary& Mosquitto() {
    static const TMosquittoLibrary library = LoadMosquittoLibrary("libmosquitto.so.1");
    return library;
}
