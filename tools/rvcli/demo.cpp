#include "commands.h"
namespace rvcli {
std::vector<Command> demo_commands() {
    return {};
}
}  // namespace rvcli
