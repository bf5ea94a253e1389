// One export of the player on the session bus: the connection, the object
// with its two interfaces, and the thread that serves them.
#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "mpris_state.h"

namespace rv::mpris {

struct BusClose {
    void operator()(sd_bus *bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotUnref {
    void operator()(sd_bus_slot *slot) const { sd_bus_slot_unref(slot); }
};
using BusPtr = std::unique_ptr<sd_bus, BusClose>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

// A file descriptor that closes itself.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd &operator=(Fd &&) = delete;
    ~Fd();
    int get() const { return fd_; }

  private:
    int fd_;
};

class Exporter {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Through start() only.
    Exporter(Key, std::string identity, Fd wake);
    // Connects and takes org.mpris.MediaPlayer2.`name`; null with the result
    // code in `code` when it cannot (the reason logged at debug level).
    static std::unique_ptr<Exporter> start(const std::string &name, int &code);
    // Removes the listener, stops and joins the thread, closes the connection.
    ~Exporter();
    Exporter(const Exporter &) = delete;
    Exporter &operator=(const Exporter &) = delete;

    // True on the serving thread.
    bool serving_here() const { return std::this_thread::get_id() == thread_.get_id(); }

  private:
    void serve();
    // Tells what changed since the last call: PropertiesChanged, Seeked.
    void publish(bool events);
    void wake() const;

    // sd-bus calls these on the serving thread, with the Exporter as user data.
    static const sd_bus_vtable kRoot[];
    static const sd_bus_vtable kPlayer[];
    static int control(sd_bus_message *m, void *self, sd_bus_error *error);
    static int seek(sd_bus_message *m, void *self, sd_bus_error *error);
    static int set_position(sd_bus_message *m, void *self, sd_bus_error *error);
    static int open_uri(sd_bus_message *m, void *self, sd_bus_error *error);
    static int get(sd_bus *bus, const char *path, const char *interface, const char *property,
                   sd_bus_message *reply, void *self, sd_bus_error *error);
    static int set(sd_bus *bus, const char *path, const char *interface, const char *property,
                   sd_bus_message *value, void *self, sd_bus_error *error);

    const std::string identity_;
    const Fd wake_;
    PlayerState state_;
    BusPtr bus_;
    SlotPtr root_slot_, player_slot_;
    Props told_;  // serving thread only (and start() before it runs)
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace rv::mpris
