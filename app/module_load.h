// module_load.h: loads the intro's music module on a helper thread while the screen is already in use.
#pragma once
#include <pthread.h>

class _vktBassModPlayer;

// Loads a module resource into a player on a helper thread. The first module a process makes opens
// libopenmpt and pays for its one-time table set-up, together more than all the rest of start-up, so
// the intro lets that run beside the opening fade instead of before the first frame. The helper runs
// at idle priority: on a busy machine it must not take the core from the frames; at the latest it runs
// while finish() waits. Nothing else may use the player between construction and finish(). Where no
// thread can be started, the load happens at once on the caller's thread.
class ModuleLoad {
public:
    // Starts loading name into player.
    ModuleLoad(_vktBassModPlayer& player, const char* name);
    // Waits for the load.
    ~ModuleLoad();
    ModuleLoad(const ModuleLoad&) = delete;
    ModuleLoad& operator=(const ModuleLoad&) = delete;

    // Waits for the load; the player's status after it (1 loaded, 0 failed). Later calls give the same.
    int finish();

private:
    static void* run(void* self);

    _vktBassModPlayer& player;
    const char* name;
    int result = 0;
    pthread_t worker{};
    bool running = false;
};
