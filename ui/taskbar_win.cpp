#include "ui/taskbar.h"

void TaskbarButton::attach() {
    reset();
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&list)))) {
        return;
    }
    if (FAILED(list->HrInit())) {
        list->Release();
        return;
    }
    list_ = list;
    shown_ = {TaskbarProgress::None, 1, 0}; // nothing shown yet: the next show sets it
}

void TaskbarButton::show(HWND window, const TaskbarProgress& p) {
    if (!list_ || p == shown_) return;
    static constexpr TBPFLAG flags[] = {TBPF_NOPROGRESS, TBPF_INDETERMINATE, TBPF_NORMAL, TBPF_ERROR};
    list_->SetProgressState(window, flags[p.kind]);
    if (p.kind == TaskbarProgress::Normal || p.kind == TaskbarProgress::Error)
        list_->SetProgressValue(window, p.done, p.total);
    shown_ = p;
}

void TaskbarButton::reset() {
    if (list_) list_->Release();
    list_ = nullptr;
}
