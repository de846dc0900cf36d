#include "platform/win32/Win32Dialogs.h"

// shlobj.h needs the types of windows.h.
#include <commdlg.h>
#include <shlobj.h>

#include <memory>

namespace platform::win32 {

namespace {

struct TaskMemFree {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};
// The shell hands out item lists in COM task memory.
using ItemIdList = std::unique_ptr<ITEMIDLIST, TaskMemFree>;

// The dialog takes its first selection only once its window exists.
int CALLBACK selectInitialFolder(HWND dialog, UINT message, LPARAM, LPARAM initialFolder) {
    if (message == BFFM_INITIALIZED) SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, initialFolder);
    return 0;
}

}  // namespace

void Win32Dialogs::messageBox(const std::string& text, const std::string& caption,
                              platform::MessageIcon icon) {
    HWND owner = liveOwner();
    UINT flags = MB_OK | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL);
    if (icon == platform::MessageIcon::Error) flags |= MB_ICONERROR;
    MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

std::optional<std::string> Win32Dialogs::chooseFileToSave(const std::string& proposedName,
                                                          const std::string& typeName) {
    const std::size_t dot = proposedName.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : proposedName.substr(dot + 1);
    // "Type (*.ext)", its pattern, and the end of the list: each ends in a NUL.
    std::string filter = typeName + " (*." + extension + ")";
    filter += '\0';
    filter += "*." + extension;
    filter += '\0';
    filter += '\0';
    std::string file = proposedName;
    file.resize(MAX_PATH * 4, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = liveOwner();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&dialog)) return std::nullopt;
    file.resize(file.find('\0'));
    return file;
}

std::string Win32Dialogs::browseForFolder(const std::string& initialFolder,
                                          const std::string& instruction) {
    const ComApartment com;
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = liveOwner();
    info.pszDisplayName = displayName;
    info.lpszTitle = instruction.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | (com.joined() ? BIF_NEWDIALOGSTYLE : 0);
    info.lpfn = &selectInitialFolder;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());

    const ItemIdList chosen(SHBrowseForFolderA(&info));
    if (!chosen) return initialFolder;
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(chosen.get(), path)) return std::string();
    return path;
}

}  // namespace platform::win32
