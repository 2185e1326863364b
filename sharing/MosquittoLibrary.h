#pragma once

#include <mosquitto.h>

// The libmosquitto functions the publisher uses. The library (and the TLS libraries it
// brings) is loaded when MQTT is first used, so a reader that does not publish never loads it.
struct TMosquittoLibrary {
    decltype(&mosquitto_lib_init) LibInit;
    decltype(&mosquitto_strerror) Strerror;
    decltype(&mosquitto_connack_string) ConnackString;
    decltype(&mosquitto_new) New;
    decltype(&mosquitto_destroy) Destroy;
    decltype(&mosquitto_connect_callback_set) ConnectCallbackSet;
    decltype(&mosquitto_disconnect_callback_set) DisconnectCallbackSet;
    decltype(&mosquitto_publish_callback_set) PublishCallbackSet;
    decltype(&mosquitto_log_callback_set) LogCallbackSet;
    decltype(&mosquitto_reconnect_delay_set) ReconnectDelaySet;
    decltype(&mosquitto_username_pw_set) UsernamePwSet;
    decltype(&mosquitto_tls_set) TlsSet;
    decltype(&mosquitto_will_set) WillSet;
    decltype(&mosquitto_connect_async) ConnectAsync;
    decltype(&mosquitto_loop_start) LoopStart;
    decltype(&mosquitto_loop_stop) LoopStop;
    decltype(&mosquitto_disconnect) Disconnect;
    decltype(&mosquitto_publish) Publish;
};

// Loads the library of that file name and initialises it; raises EMqttError naming the
// file and the reason when it or one of its functions cannot be found.
TMosquittoLibrary LoadMosquittoLibrary(const char* fileName);

// The system's libmosquitto, loaded on the first call.
const TMosquittoLibrary& Mosquitto();
