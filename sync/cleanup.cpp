#include "sync/cleanup.h"

#include "sync/state.h"

bool isProtectedName(std::wstring_view name) {
    return name == stateFileName || name == journalFileName || name == sharedMarkerName ||
           name == manifestCopyName || name.ends_with(L".part") || name.ends_with(L".old");
}
