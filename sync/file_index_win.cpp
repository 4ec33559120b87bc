#include "sync/file_index.h"

#include "store/paths.h"
#include "store/unicode_case.h"

#include <windows.h>

FileIndex::Folder& FileIndex::folder(const std::wstring& path) {
    Folder* f = nullptr;
    {
        std::lock_guard guard(lock_);
        std::unique_ptr<Folder>& slot = folders_[upcased(path)];
        if (!slot) slot = std::make_unique<Folder>();
        f = slot.get();
    }
    // Threads that need other folders meanwhile list them at the same time.
    std::call_once(f->once, [&] {
        f->listed = listDirectoryUnsorted(path, f->entries);
        // A folder that is not there holds nothing: a fresh install asks nothing of its files.
        if (!f->listed && !fileInfo(path)) {
            const DWORD code = GetLastError();
            f->listed = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        }
        f->byName.reserve(f->entries.size());
        for (std::size_t i = 0; i < f->entries.size(); ++i)
            f->byName.emplace(upcased(f->entries[i].name), i);
    });
    return *f;
}

const std::vector<DirEntry>* FileIndex::entries(const std::wstring& path) {
    const Folder& f = folder(path);
    return f.listed ? &f.entries : nullptr;
}

bool FileIndex::find(const std::wstring& path, std::int64_t* size, std::int64_t* mtime, bool* isDir) {
    const std::wstring_view name = fileNameOf(path);
    const Folder& f = folder(parentFolder(path));
    // A short name matches no listed name, and a link's own entry tells nothing of its target.
    if (!f.listed || name.find(L'~') != std::wstring_view::npos) return fileInfo(path, size, mtime, isDir);
    const auto entry = f.byName.find(upcased(name));
    if (entry == f.byName.end()) return false;
    const DirEntry& e = f.entries[entry->second];
    if (e.isLink) return fileInfo(path, size, mtime, isDir);
    if (size) *size = e.size;
    if (mtime) *mtime = e.mtime;
    if (isDir) *isDir = e.isDir;
    return true;
}
