// Captures what the process writes to standard output (or to another descriptor,
// such as standard error) between construction and take(), through a temporary
// file behind that descriptor.
#ifndef RV_TESTS_CAPTURE_STDOUT_H
#define RV_TESTS_CAPTURE_STDOUT_H

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

class CaptureStdout {
  public:
    explicit CaptureStdout(int target = STDOUT_FILENO) : target_(target) {
        fflush(nullptr);
        saved_ = dup(target_);
        char name[] = "/tmp/rv-stdout-XXXXXX";
        int fd = mkstemp(name);
        path_ = name;
        dup2(fd, target_);
        close(fd);
    }
    ~CaptureStdout() {
        restore();
        unlink(path_.c_str());
    }
    CaptureStdout(const CaptureStdout &) = delete;
    CaptureStdout &operator=(const CaptureStdout &) = delete;

    // Everything written so far; stops capturing.
    std::string take() {
        restore();
        std::stringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        unlink(path_.c_str());
        return text.str();
    }

  private:
    void restore() {
        if (saved_ < 0) {
            return;
        }
        fflush(nullptr);
        dup2(saved_, target_);
        close(saved_);
        saved_ = -1;
    }

    int target_;
    int saved_ = -1;
    std::string path_;
};

#endif
