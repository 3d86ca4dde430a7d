// module_load.cpp: the module load on a helper thread.
#include "module_load.h"

#include <system_error>

#include "bassmod_player.h"

ModuleLoad::ModuleLoad(_vktBassModPlayer& player, const char* name) : player(player), name(name) {
    try {
        worker = std::thread([this] { result = this->player.loadResource(this->name); });
    } catch (const std::system_error&) {
        result = player.loadResource(name);
    }
}

ModuleLoad::~ModuleLoad() {
    finish();
}

int ModuleLoad::finish() {
    // The join orders the helper's writes (result, the player, the music layer) before what follows.
    if (worker.joinable()) worker.join();
    return result;
}
