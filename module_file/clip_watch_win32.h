// clip_watch_win32.h - the clip watch on a Windows gauge module's DirectSound
// (clip_watch_win32.cpp), for the Windows module loader.
//
// Usage, on a module just loaded:
//   WatchClipsOf(handle);                        // forget any module before
//   WatchDirectSoundClips(observer, context);    // a host asks for the clips
//   bool started;
//   if (WatchedSoundStarted(&started)) ...       // seen the module ask for a device
#pragma once

#include "host/module_extras.h"

// The module whose DirectSound is to be watched; nothing is hooked yet.
void WatchClipsOf(void* module_handle);

// Tells `observer` from now on of every clip the module starts (a null one
// stops the reports); the first call with an observer puts the watch in the
// module's DirectSound import.
void WatchDirectSoundClips(VornakClipObserver observer, void* context);

// True once the watch has seen the module ask for a sound device, with
// whether it made a buffer in `started`.
bool WatchedSoundStarted(bool* started);
