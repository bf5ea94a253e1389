// Records what reaches playerCb: one handler per slot, each appending a line
// such as "Progress 500 1000". Installed for the life of the recorder.
#ifndef RV_TESTS_PLAYER_NOTIFICATION_RECORDER_H
#define RV_TESTS_PLAYER_NOTIFICATION_RECORDER_H

#include <mutex>
#include <string>
#include <vector>

namespace rv::test {

class Notifications {
  public:
    Notifications();
    ~Notifications();
    Notifications(const Notifications &) = delete;
    Notifications &operator=(const Notifications &) = delete;

    std::vector<std::string> take();  // what arrived since the last take, in order
    int count(const std::string &line) const;

    static void add(std::string line);

  private:
    static std::mutex mutex_;  // guards lines_ (handlers may run on any thread)
    static std::vector<std::string> lines_;
};

}  // namespace rv::test

#endif
