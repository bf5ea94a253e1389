#include "commands.h"
namespace rvcli {
std::vector<Command> play_commands() {
    return {};
}
}  // namespace rvcli
