// module_load.h: loads the intro's music module on a helper thread while the screen is already in use.
#pragma once
#include <thread>

class _vktBassModPlayer;

// Loads a module resource into a player on a helper thread. The first module a process creates pays
// for libopenmpt's one-time table set-up, about 10 ms and more than all the rest of start-up, so the
// intro lets it run beside the opening fade instead of before the first frame. Nothing else may use
// the player between construction and finish(). Where no thread can be started, the load happens at
// once on the caller's thread.
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
    _vktBassModPlayer& player;
    const char* name;
    int result = 0;
    std::thread worker;
};
