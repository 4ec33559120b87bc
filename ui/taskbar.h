// The window's taskbar button, which shows the download's progress. The shell says when the
// button exists; calls made before that, or where no shell offers the interface, simply
// change nothing.
#pragma once

#include "ui/screen_view.h"

#include <windows.h>

#include <shobjidl.h>

class TaskbarButton {
public:
    ~TaskbarButton() { reset(); }
    // Takes the shell's interface (again after the shell restarted); COM is entered on this thread.
    void attach();
    void show(HWND window, const TaskbarProgress& progress);
    void reset();

private:
    ITaskbarList3* list_ = nullptr;
    TaskbarProgress shown_;
};
