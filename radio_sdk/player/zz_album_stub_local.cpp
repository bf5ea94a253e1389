#include "player/player_album_manager.h"
bool album_isPlayerEnable(void) {
    return false;
}
void album_disablePlayer(void) {}
