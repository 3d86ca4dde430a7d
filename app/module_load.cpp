// module_load.cpp: the module load on a helper thread.
#include "module_load.h"

#include <sched.h>

#include "bassmod_player.h"

ModuleLoad::ModuleLoad(_vktBassModPlayer& player, const char* name) : player(player), name(name) {
    running = pthread_create(&worker, nullptr, run, this) == 0;
    if (!running) result = player.loadResource(name);
}

ModuleLoad::~ModuleLoad() {
    finish();
}

void* ModuleLoad::run(void* self) {
    // Idle priority where the system grants it (some containers do not); the default otherwise.
    const sched_param none{};
    sched_setscheduler(0, SCHED_IDLE, &none);
    ModuleLoad& load = *static_cast<ModuleLoad*>(self);
    load.result = load.player.loadResource(load.name);
    return nullptr;
}

int ModuleLoad::finish() {
    // The join orders the helper's writes (result, the player, the music layer) before what follows.
    if (running) pthread_join(worker, nullptr);
    running = false;
    return result;
}
