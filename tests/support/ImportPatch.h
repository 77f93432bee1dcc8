#pragma once
// Swaps entries of a loaded module's import table, so a test host decides what
// one system call of that module does: behave as Windows documents where Wine
// is kinder, keep a virtual clock, or fail with its documented failure value.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tolltone::fakes {

struct ImportSlot {
    std::string library;   // as the import names it, e.g. "KERNEL32.dll"
    std::string function;
    void** slot;           // the entry the module calls through
};

// Every function the module imports by name, with the entry it calls through.
inline std::vector<ImportSlot> ImportSlots(HMODULE module) {
    std::vector<ImportSlot> slots;
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return slots;
    for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); import->Name != 0;
         ++import) {
        const char* library = reinterpret_cast<const char*>(base + import->Name);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (import->OriginalFirstThunk != 0
                                                                      ? import->OriginalFirstThunk
                                                                      : import->FirstThunk));
        auto* entries = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++entries) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            slots.push_back({library, reinterpret_cast<const char*>(byName->Name),
                             reinterpret_cast<void**>(&entries->u1.Function)});
        }
    }
    return slots;
}

// Points the module's import of function at replacement and gives the original.
// An import the module does not have ends the process, named: a layer that
// never runs would let every test built on it pass.
inline void* PatchImport(HMODULE module, const char* function, void* replacement) {
    for (const ImportSlot& entry : ImportSlots(module)) {
        if (entry.function != function) continue;
        DWORD protection = 0;
        ::VirtualProtect(entry.slot, sizeof(void*), PAGE_READWRITE, &protection);
        void* original = *entry.slot;
        *entry.slot = replacement;
        ::VirtualProtect(entry.slot, sizeof(void*), protection, &protection);
        return original;
    }
    std::fprintf(stderr, "PatchImport: the module does not import %s\n", function);
    std::fflush(stderr);
    std::abort();
}

// The address of the function itself, as the module's table holds it before
// any patch.
template <class Function>
Function Original(const char* library, const char* function) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA(library), function)));
}

} // namespace tolltone::fakes
