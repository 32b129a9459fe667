#include "sysex/rtmidi_jack.h"

#include <jack/jack.h>

namespace sf::jack {

namespace {

void silent(const char*) {}

}  // namespace

void quietClientLibrary() {
    static const bool done = [] {
        jack_set_error_function(&silent);
        jack_set_info_function(&silent);
        return true;
    }();
    (void)done;
}

bool serverAnswers() {
    quietClientLibrary();
    jack_status_t status{};
    jack_client_t* client = jack_client_open("Sysforge-probe", JackNoStartServer, &status);
    if (!client) return false;
    jack_client_close(client);
    return true;
}

std::unique_ptr<Watch> Watch::open(const std::string& clientName) {
    quietClientLibrary();
    std::unique_ptr<Watch> watch(new Watch);
    jack_status_t status{};
    watch->client_ = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!watch->client_) return nullptr;
    // The shutdown notice comes through the client's own thread, which runs
    // once the client is active.
    jack_on_shutdown(watch->client_, &Watch::onShutdown, watch.get());
    if (jack_activate(watch->client_) != 0) return nullptr;
    return watch;
}

Watch::~Watch() {
    // Closing a client whose server is gone fails its writes (the process
    // ignores SIGPIPE) and frees what it holds.
    if (client_) jack_client_close(client_);
}

void Watch::onShutdown(void* self) {
    static_cast<Watch*>(self)->gone_.store(true, std::memory_order_release);
}

bool Watch::hasPort(const std::string& name) const {
    if (serverGone()) return false;
    const char** ports = jack_get_ports(client_, nullptr, nullptr, 0);
    bool found = false;
    for (const char** p = ports; p && *p && !found; ++p) found = name == *p;
    if (ports) jack_free(ports);
    return found;
}

}  // namespace sf::jack
